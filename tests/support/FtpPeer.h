#pragma once
// The test FTP server (tests/peers/ftp_server.py) as one object: started on 127.0.0.1 on a
// free port with the program's fixed account, serving a fresh folder, stopped when the
// object goes. Header-only, so the benchmarks can use it too.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#ifndef MORVANTIL_PEERS_DIR
#define MORVANTIL_PEERS_DIR ""
#endif
#ifndef MORVANTIL_PYTHON
#define MORVANTIL_PYTHON "/usr/bin/python3"
#endif

class FtpPeer {
public:
    // switches: ftp_server.py's own (--refuse-writes, --throttle N, --cut-after N, ...).
    explicit FtpPeer(const QStringList& switches = {},
                     const QString& script = QStringLiteral(MORVANTIL_PEERS_DIR "/ftp_server.py"))
    {
        QDir(dir_.path()).mkdir(QStringLiteral("root"));
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(MORVANTIL_PYTHON),
                       QStringList{script, QStringLiteral("--root"), Root(),
                                   QStringLiteral("--log"), LogPath(),
                                   QStringLiteral("--stop-with-stdin")} + switches);
        while (!process_.canReadLine() && process_.waitForReadyRead(15000)) {
        }
        port_ = process_.readLine().trimmed().toInt();
    }

    ~FtpPeer() { Stop(); }
    FtpPeer(const FtpPeer&) = delete;
    FtpPeer& operator=(const FtpPeer&) = delete;

    bool Started() const { return port_ > 0; }
    int Port() const { return port_; }
    // What the program's FTP host setting holds: address and port.
    QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    QString Url() const { return QStringLiteral("ftp://") + Host(); }
    // The folder the account sees.
    QString Root() const { return dir_.filePath(QStringLiteral("root")); }

    // An uploaded file's bytes, or "<missing>".
    QByteArray Received(const QString& name) const
    {
        QFile f(QDir(Root()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QStringList Log() const
    {
        QFile f(LogPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    // How many log lines are exactly line, or begin with it when it ends with a blank.
    int Count(const QString& line) const
    {
        int count = 0;
        for (const QString& entry : Log())
            if (line.endsWith(u' ') ? entry.startsWith(line) : entry == line)
                ++count;
        return count;
    }

    void Stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        // Its log is written line by line: nothing is lost by not waiting for a clean end.
        process_.kill();
        process_.waitForFinished();
    }

private:
    QString LogPath() const { return dir_.filePath(QStringLiteral("server.log")); }

    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};
