// What the arrival check costs: five files over one connection to the local FTP server,
// rounds alternating with and without the check; the median wall time of each, their
// ratio, and the control-connection commands per run, which set the cost on a slow link.
//
//   bench_arrival_check [rounds] [KB per file]
#include "UploadBench.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// The commands of the last run, as the server logged them ("USER", "STOR", ...).
QStringList LastRunCommands(const FtpPeer& peer)
{
    const QStringList log = peer.Log();
    const qsizetype start = log.lastIndexOf(QStringLiteral("CONNECT"));
    QStringList commands;
    for (const QString& line : log.mid(start))
        if (line.startsWith(QStringLiteral("CMD ")))
            commands << line.mid(4).section(u' ', 0, 0);
    return commands;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 21;
    const qint64 kilobytes = argc > 2 ? std::atoll(argv[2]) : 100;

    QTemporaryDir local;
    const QStringList files = bench::WriteExport(local.filePath("export"), kilobytes << 10);
    FtpPeer peer({}, bench::PeerScript());
    if (!peer.Started()) {
        std::fprintf(stderr, "the FTP server did not start\n");
        return 2;
    }

    QList<double> with, without;
    QStringList commandsWith, commandsWithout;
    for (int round = 0; round < rounds; ++round) {
        const double a = bench::UploadWithComponent(peer.Host(), files, true);
        commandsWith = LastRunCommands(peer);
        const double b = bench::UploadWithComponent(peer.Host(), files, false);
        commandsWithout = LastRunCommands(peer);
        if (a < 0 || b < 0)
            return 1;
        with << a;
        without << b;
    }
    const double checked = bench::Median(with);
    const double unchecked = bench::Median(without);
    std::printf("arrival check, 5 x %lld KB on loopback, median of %d rounds: %.1f ms with, "
                "%.1f ms without, ratio %.2f\n",
                kilobytes, rounds, checked * 1000, unchecked * 1000, checked / unchecked);
    std::printf("control-connection commands per run: %lld without (%s), %lld with (%s)\n",
                qint64(commandsWithout.size()), qPrintable(commandsWithout.join(u' ')),
                qint64(commandsWith.size()), qPrintable(commandsWith.join(u' ')));
    // Each command waits for its reply, and so does every connection's opening (the control
    // connection's greeting, one data connection per file): one round trip each.
    constexpr double roundTrip = 0.050;
    const auto trips = [](const QStringList& commands) {
        return commands.size() + 1 + commands.count(QStringLiteral("STOR"));
    };
    const double slowWithout = unchecked + trips(commandsWithout) * roundTrip;
    const double slowWith = checked + trips(commandsWith) * roundTrip;
    std::printf("at 50 ms round trips (computed from the counts, no netem on this kernel): "
                "%lld round trips, %.0f ms without; %lld, %.0f ms with; ratio %.2f\n",
                qint64(trips(commandsWithout)), slowWithout * 1000, qint64(trips(commandsWith)),
                slowWith * 1000, slowWith / slowWithout);
    return 0;
}
