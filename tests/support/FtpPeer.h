#pragma once
// The test FTP server (tests/peers/ftp_server.py) as one object: started on 127.0.0.1 on a
// free port with the program's fixed account, serving a fresh folder, stopped when the
// object goes. Header-only, so the benchmarks can use it too.
#include "PeerLink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

class FtpPeer {
public:
    // switches: ftp_server.py's own (--refuse-writes, --throttle N, --cut-after N, ...).
    explicit FtpPeer(const QStringList& switches = {},
                     const QString& script = QStringLiteral("ftp_server.py"))
    {
        QDir(dir_.path()).mkdir(QStringLiteral("root"));
        port_ = process_.Start(QFileInfo(script).fileName(),
                               QStringList{QStringLiteral("--root"), Root(), QStringLiteral("--log"),
                                           LogPath(), QStringLiteral("--stop-with-stdin")} + switches)
                    .toInt();
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

    // Forgets what the log holds so far; the server goes on appending.
    void Clear() const { QFile::resize(LogPath(), 0); }

    // Its log is written line by line: nothing is lost when it ends.
    void Stop() { process_.Stop(); }

private:
    QString LogPath() const { return dir_.filePath(QStringLiteral("server.log")); }

    QTemporaryDir dir_;
    PeerLink process_;
    int port_ = 0;
};
