// Memory: peak resident size of a process that uploads five files of 200 MB each through
// the transfer component, against one that uploads five files of 1 MB; prints both and
// the ratio. Each upload runs in a fresh child process, so each peak is its own.
//
//   bench_upload_memory [large MB] [small MB]
//   bench_upload_memory --child HOST FOLDER    one upload, printing "peak <KiB>"
#include "UploadBench.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

int Child(const QString& host, const QString& folder)
{
    QStringList files;
    for (const QString& name : bench::ExportNames())
        files << QDir(folder).filePath(name);
    if (bench::UploadWithComponent(host, files) < 0)
        return 1;
    std::printf("peak %ld\n", bench::PeakRssKiB());
    return 0;
}

long PeakOfUpload(const QString& host, const QString& folder)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"--child", host, folder});
    child.waitForFinished(-1);
    const QByteArray out = child.readAllStandardOutput();
    if (child.exitCode() != 0 || !out.startsWith("peak ")) {
        std::fprintf(stderr, "the upload of %s failed\n", qPrintable(folder));
        std::exit(1);
    }
    return out.mid(5).trimmed().toLong();
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--child")
        return Child(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    const qint64 large = argc > 1 ? std::atoll(argv[1]) : 200;
    const qint64 small = argc > 2 ? std::atoll(argv[2]) : 1;

    QTemporaryDir local;
    bench::WriteExport(local.filePath("large"), large << 20);
    bench::WriteExport(local.filePath("small"), small << 20);
    FtpPeer peer({}, bench::PeerScript());
    if (!peer.Started()) {
        std::fprintf(stderr, "the FTP server did not start\n");
        return 2;
    }
    const long smallPeak = PeakOfUpload(peer.Host(), local.filePath("small"));
    const long largePeak = PeakOfUpload(peer.Host(), local.filePath("large"));
    std::printf("peak RSS uploading 5 x %lld MB: %.1f MiB; 5 x %lld MB: %.1f MiB; ratio %.3f "
                "(target < 1.2)\n",
                large, largePeak / 1024.0, small, smallPeak / 1024.0, double(largePeak) / smallPeak);
    return 0;
}
