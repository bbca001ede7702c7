#include "support/TestSupport.h"
#include "support/PeerLink.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#endif

ScratchDir::ScratchDir() : previous_(QDir::currentPath())
{
    QDir::setCurrent(dir_.path());
}

ScratchDir::~ScratchDir()
{
    QDir::setCurrent(previous_);
}

void ScratchDir::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(name));
    f.write(bytes);
}

QByteArray ScratchDir::read(const QString& name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

int RunProgram(const QString& program, const QStringList& arguments, QByteArray* out, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

struct StallingFolder::Peer {
    PeerLink link;
};

StallingFolder::StallingFolder(qint64 size, qint64 stallAfter) : peer_(new Peer)
{
    const QByteArray answer = peer_->link.Start(
        QStringLiteral("stall_fs.py"), {dir_.path(), QStringLiteral("--size"), QString::number(size),
                                       QStringLiteral("--stall-after"), QString::number(stallAfter)});
    if (answer.trimmed() != "ready" || !QFileInfo::exists(dir_.filePath(QStringLiteral("DIA.TXT"))))
        reason_ = QStringLiteral("cannot mount a FUSE file system here (root, /dev/fuse and "
                                 "python3-fusepy are needed)");
}

StallingFolder::~StallingFolder()
{
    // The file system unmounts itself and ends once its input closes.
    delete peer_;
}

bool MakeTestCertificates(const QString& folder)
{
    PeerLink maker;
    const QByteArray answer = maker.Start(QStringLiteral("make_certificates.py"), {folder});
    if (answer.trimmed() != "ready")
        qWarning("test certificates: %s", answer.constData());
    return answer.trimmed() == "ready";
}

FullDisk::FullDisk() : previous_(QDir::currentPath())
{
#ifndef Q_OS_WIN
    mounted_ = mount("tmpfs", qPrintable(dir_.path()), "tmpfs", 0, "size=1m") == 0;
#endif
    QDir::setCurrent(dir_.path());
}

FullDisk::~FullDisk()
{
    QDir::setCurrent(previous_);
#ifndef Q_OS_WIN
    if (limited_) {
        const rlimit none{RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &none);
    }
    if (mounted_)
        umount2(qPrintable(dir_.path()), MNT_DETACH);
#endif
}

void FullDisk::Fill(qint64 leaveBytes)
{
#ifndef Q_OS_WIN
    if (!mounted_) {
        // Writes past the limit fail with EFBIG instead of ENOSPC: the same failed write.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(leaveBytes), RLIM_INFINITY};
        limited_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
        QVERIFY2(limited_, "no tmpfs and no file size limit");
        return;
    }
    QFile filler(dir_.filePath(QStringLiteral("filler")));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray page(4096, 'f');
    while (filler.write(page) == page.size()) {
    }
    QVERIFY(filler.resize(filler.size() - (leaveBytes + 4095) / 4096 * 4096));
#else
    Q_UNUSED(leaveBytes);
#endif
}
