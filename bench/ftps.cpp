// What FTPS costs: the same run of five files over one connection, to a plain server and to
// an explicit-FTPS one (certificates made for the run), rounds alternating; median per run.
//
//   bench_ftps [rounds] [KB per file]
#include "UploadBench.h"

#include <QCoreApplication>
#include <QTemporaryDir>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 21;
    const qint64 kilobytes = argc > 2 ? std::atoll(argv[2]) : 100;

    QTemporaryDir work;
    const QString peers = QFileInfo(bench::PeerScript()).path();
    QProcess make;
    make.start(QStringLiteral("/usr/bin/python3"), {peers + "/make_certificates.py", work.filePath("certs")});
    QFile authority(work.filePath("certs/ca.pem"));
    if (!make.waitForFinished(60000) || make.exitCode() != 0 || !authority.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "could not make the test certificates\n");
        return 2;
    }
    const QByteArray authorities = authority.readAll();
    const QStringList files = bench::WriteExport(work.filePath("export"), kilobytes << 10);
    FtpPeer plain({}, bench::PeerScript());
    FtpPeer secure({"--tls", work.filePath("certs/server.pem"), work.filePath("certs/server.key")},
                   bench::PeerScript());
    if (!plain.Started() || !secure.Started()) {
        std::fprintf(stderr, "the FTP servers did not start\n");
        return 2;
    }

    QList<double> clear, tls;
    for (int round = 0; round < rounds; ++round) {
        const double a = bench::UploadWithComponent(plain.Host(), files);
        const double b = bench::UploadWithComponent(secure.Host(), files, true, authorities);
        if (a < 0 || b < 0)
            return 1;
        clear << a;
        tls << b;
    }
    std::printf("FTPS, 5 x %lld KB on loopback, median of %d rounds: %.1f ms plain, %.1f ms with TLS, "
                "ratio %.2f\n",
                kilobytes, rounds, bench::Median(clear) * 1000, bench::Median(tls) * 1000,
                bench::Median(tls) / bench::Median(clear));
    return 0;
}
