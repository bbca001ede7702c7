#pragma once
// What the upload benchmarks share: the local FTP server, export files written without
// holding them in memory, an upload through the transfer component, the curl tool as the
// reference, and the process's own resource figures.
#include "../tests/support/FtpPeer.h"
#include "core/transfer/GetShortFileName.h"
#include "core/transfer/Inet.h"
#include "core/transfer/WaitWhileBusy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace bench {

inline QString PeerScript()
{
    return QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../tests/peers/ftp_server.py"));
}

inline const QStringList& ExportNames()
{
    static const QStringList names{"DIA.TXT", "PERMCOSTR.TXT", "DIA_IMPRESE.TXT", "CLI_IMPRESE.TXT",
                                   "PROFESSIONISTI.TXT"};
    return names;
}

// The five export files in folder, each of bytes bytes, written a megabyte at a time.
inline QStringList WriteExport(const QString& folder, qint64 bytes)
{
    QDir().mkpath(folder);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = char((i * 131 + (i >> 9)) & 0xff);
    QStringList paths;
    for (const QString& name : ExportNames()) {
        const QString path = QDir(folder).filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(2);
        }
        for (qint64 left = bytes; left > 0; left -= chunk.size())
            f.write(chunk.constData(), std::min<qint64>(left, chunk.size()));
        paths << path;
    }
    return paths;
}

// Connects, sends every file under remote names "<i>.txt", QUIT; seconds, or -1 on failure.
// verify: the arrival check after each file; tlsAuthorities, when not null: FTPS.
inline double UploadWithComponent(const QString& host, const QStringList& files, bool verify = true,
                                  const QByteArray& tlsAuthorities = {})
{
    Inet inet(nullptr, 60);
    inet.VerifyArrival(verify);
    inet.RequireTls(!tlsAuthorities.isNull(), tlsAuthorities);
    QElapsedTimer clock;
    clock.start();
    try {
        inet.URL(QStringLiteral("ftp://") + host);
        inet.UserName(QStringLiteral("lorvenzab"));
        inet.Password(QStringLiteral("kqz3817t42"));
        inet.Execute();
        WaitWhileBusy(inet);
        for (int i = 0; i < files.size(); ++i) {
            inet.Execute(QString(), QStringLiteral("PUT %1 component%2.txt").arg(LocalPart(files[i])).arg(i));
            WaitWhileBusy(inet);
        }
        inet.Execute(QString(), QStringLiteral("QUIT"));
        WaitWhileBusy(inet);
    } catch (const InetError& e) {
        std::fprintf(stderr, "upload failed: %s\n", e.what());
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

// The same with the curl tool: every file over one connection; seconds, or -1.
inline double UploadWithCurl(const QString& host, const QStringList& files)
{
    QStringList arguments{"-sS", "--user", "lorvenzab:kqz3817t42"};
    for (int i = 0; i < files.size(); ++i)
        arguments << "-T" << files[i] << QStringLiteral("ftp://%1/curl%2.txt").arg(host).arg(i);
    QProcess curl;
    curl.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    curl.start(QStringLiteral("curl"), arguments);
    if (!curl.waitForFinished(-1) || curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        std::fprintf(stderr, "curl failed\n");
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

// Processor time of this process (who = RUSAGE_SELF) or of its ended children.
inline double CpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline long PeakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

}  // namespace bench
