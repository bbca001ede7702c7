// Throughput: five files to one local FTP server over one connection, by the transfer
// component (as an operator's run does it, arrival check included) and by the curl tool,
// rounds alternating. Timed on the server's clock from USER to QUIT; the best round of each,
// and the ratio of throughputs (curl's time over ours: 1.00 is as fast as curl). Beside it,
// each client's processor time per run, which the machine's other work disturbs less.
//
//   bench_upload_throughput [rounds] [MB per file, comma-separated]
#include "UploadBench.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

// Seconds from the last USER to the last QUIT the server saw.
double ServerSeconds(const QString& timingFile)
{
    QFile file(timingFile);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    double user = -1, quit = -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("USER "))
            user = line.mid(5).toDouble();
        else if (line.startsWith("QUIT "))
            quit = line.mid(5).toDouble();
    }
    return user >= 0 && quit > user ? quit - user : -1;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const QStringList sizes = QString::fromLocal8Bit(argc > 2 ? argv[2] : "1,60").split(u',');

    for (const QString& size : sizes) {
        const qint64 megabytes = size.toLongLong();
        QTemporaryDir local;
        const QStringList files = bench::WriteExport(local.filePath("export"), megabytes << 20);
        const QString timing = local.filePath("timing.txt");
        FtpPeer peer({QStringLiteral("--timing"), timing}, bench::PeerScript());
        if (!peer.Started()) {
            std::fprintf(stderr, "the FTP server did not start\n");
            return 2;
        }
        double mine = 1e9, theirs = 1e9;
        QList<double> myCpu, theirCpu;
        for (int round = 0; round < rounds; ++round) {
            double cpu = bench::CpuSeconds();
            if (bench::UploadWithComponent(peer.Host(), files) < 0)
                return 1;
            myCpu << bench::CpuSeconds() - cpu;
            mine = std::min(mine, ServerSeconds(timing));
            cpu = bench::CpuSeconds(RUSAGE_CHILDREN);
            if (bench::UploadWithCurl(peer.Host(), files) < 0)
                return 1;
            theirCpu << bench::CpuSeconds(RUSAGE_CHILDREN) - cpu;
            theirs = std::min(theirs, ServerSeconds(timing));
        }
        for (int i = 0; i < 5; ++i)
            if (QFileInfo(QDir(peer.Root()).filePath(QStringLiteral("component%1.txt").arg(i))).size()
                != megabytes << 20) {
                std::fprintf(stderr, "a file arrived short\n");
                return 1;
            }
        std::printf("upload 5 x %lld MB, server's clock USER to QUIT, best of %d: transfer component "
                    "%.1f ms, curl %.1f ms, ratio %.2f (target >= 0.95); processor time per run "
                    "(median): %.1f ms, curl %.1f ms\n",
                    megabytes, rounds, mine * 1000, theirs * 1000, theirs / mine,
                    bench::Median(myCpu) * 1000, bench::Median(theirCpu) * 1000);
    }
    return 0;
}
