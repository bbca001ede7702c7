// How late the transfer component gives up after its time-outs, with the worker's bounded
// sleep: a server that never greets, one that stops reading in the middle of an upload,
// one that answers SIZE too late (the cut file then removed over a new connection), and a
// stopped upload that cannot reach its next read before its grace ends. Each is timed from
// the command's start; the figure is how far past its due time it ended.
//
//   bench_late_limits [time-out in seconds]
#include "UploadBench.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Seconds from the command's start to its end, and the cause it ended with.
std::pair<double, std::string> Timed(Inet& inet, const QString& command, int stopAfterMs = -1)
{
    QElapsedTimer clock;
    clock.start();
    if (command.isEmpty())
        inet.Execute();
    else
        inet.Execute(QString(), command);
    if (stopAfterMs >= 0)
        QTimer::singleShot(stopAfterMs, &inet, [&inet] { inet.Stop(); });
    try {
        WaitWhileBusy(inet);
        return {clock.nsecsElapsed() / 1e9, "(nessun errore)"};
    } catch (const InetError& e) {
        return {clock.nsecsElapsed() / 1e9, e.what()};
    }
}

void Report(const char* what, double due, const std::pair<double, std::string>& end)
{
    std::printf("%-34s due %5.2f s, ended %5.2f s (%+.2f): %s\n", what, due, end.first, end.first - due,
                end.second.c_str());
}

Inet& LoggedIn(Inet& inet, const FtpPeer& peer)
{
    inet.URL(peer.Url());
    inet.UserName(QStringLiteral("lorvenzab"));
    inet.Password(QStringLiteral("kqz3817t42"));
    inet.Execute();
    WaitWhileBusy(inet);
    return inet;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int timeout = argc > 1 ? std::atoi(argv[1]) : 3;
    QTemporaryDir work;
    const QStringList files = bench::WriteExport(work.filePath("export"), 64 << 20);
    const QString put = QStringLiteral("PUT %1 x.txt").arg(LocalPart(files[0]));
    const QString small = bench::WriteExport(work.filePath("small"), 1000)[0];

    {
        FtpPeer mute({QStringLiteral("--mute")}, bench::PeerScript());
        Inet inet(nullptr, timeout);
        inet.URL(mute.Url());
        Report("greeting never comes", timeout, Timed(inet, {}));
    }
    {
        FtpPeer stalling({QStringLiteral("--stall-after"), QStringLiteral("300000")}, bench::PeerScript());
        Inet inet(nullptr, timeout);
        Report("server stops reading", timeout, Timed(LoggedIn(inet, stalling), put));
    }
    {
        FtpPeer late({QStringLiteral("--late-size"), QString::number(timeout + 2)}, bench::PeerScript());
        Inet inet(nullptr, timeout);
        Report("SIZE answered late", timeout,
               Timed(LoggedIn(inet, late), QStringLiteral("PUT %1 x.txt").arg(LocalPart(small))));
    }
    {
        // The server stops reading at once: the stopped upload never gets to its next read.
        FtpPeer stalling({QStringLiteral("--stall-after"), QStringLiteral("1")}, bench::PeerScript());
        Inet inet(nullptr, 60);
        Report("stop grace (10 s) ends", 10.5, Timed(LoggedIn(inet, stalling), put, 500));
    }
    return 0;
}
