// Throughput: five files of 50 MB each to one local FTP server, by the transfer component
// and by the curl tool (all five over one connection), rounds alternating; prints the
// median of each and the ratio.
//
//   bench_upload_throughput [rounds] [MB per file]
#include "UploadBench.h"

#include <QCoreApplication>
#include <QTemporaryDir>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 11;
    const qint64 megabytes = argc > 2 ? std::atoll(argv[2]) : 50;

    QTemporaryDir local;
    const QStringList files = bench::WriteExport(local.filePath("export"), megabytes << 20);
    const double totalMB = 5.0 * megabytes;
    FtpPeer peer({}, bench::PeerScript());
    if (!peer.Started()) {
        std::fprintf(stderr, "the FTP server did not start\n");
        return 2;
    }

    QList<double> component, curl;
    for (int round = 0; round < rounds; ++round) {
        const double a = bench::UploadWithComponent(peer.Host(), files);
        const double b = bench::UploadWithCurl(peer.Host(), files);
        if (a < 0 || b < 0)
            return 1;
        component << totalMB / a;
        curl << totalMB / b;
        // Each round overwrites the last one's files; the server's disk holds one set.
    }
    for (int i = 0; i < 5; ++i)
        if (QFileInfo(QDir(peer.Root()).filePath(QStringLiteral("component%1.txt").arg(i))).size()
            != megabytes << 20) {
            std::fprintf(stderr, "a file arrived short\n");
            return 1;
        }

    const double mine = bench::Median(component);
    const double theirs = bench::Median(curl);
    std::printf("upload 5 x %lld MB, median of %d rounds: transfer component %.0f MB/s, "
                "curl %.0f MB/s, ratio %.2f (target >= 0.95)\n",
                megabytes, rounds, mine, theirs, mine / theirs);
    std::printf("control connections: %d for %d runs of five files (one per run)\n",
                peer.Count(QStringLiteral("CONNECT")), rounds * 2);
    return 0;
}
