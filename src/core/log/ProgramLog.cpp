#include "core/log/ProgramLog.h"
#include "core/platform/LocalFile.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

namespace {

#ifdef Q_OS_WIN
constexpr char LineEnd[] = "\r\n";
#else
constexpr char LineEnd[] = "\n";
#endif

// An event longer than this (a hostile megabyte-long address, say) is cut, with a mark.
constexpr qsizetype MaxEventBytes = 4000;

// Held by every write and every trim. A trim replaces the file with its newest part, and a
// line appended by another run between its read and its replacement would be lost. Nobody
// holds it for more than a moment, so one left by a killed run is stale after a while; past
// the wait, or where it cannot be made at all, the log goes on without it.
class LogLock {
public:
    explicit LogLock(const QString& logName) : lock_(logName + QStringLiteral(".lock"))
    {
        const QDeadlineTimer deadline(2000);
        for (int vanished = 0; !deadline.hasExpired(); QThread::msleep(2)) {
            // Made afresh, never opened if it is there: a FIFO in its place is never waited for.
            if (lock_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                held_ = true;
                return;
            }
            const QFileInfo holder(lock_.fileName());
            // Gone each time, yet never made: it cannot be made here (a read-only folder, say).
            // Once or twice it is only another run's lock, let go just now.
            vanished = holder.exists() ? 0 : vanished + 1;
            if (vanished > 10)
                return;
            if (holder.exists() && !holder.isFile())
                return;
            if (holder.exists() && holder.lastModified().msecsTo(QDateTime::currentDateTime()) > StaleMs)
                QFile::remove(lock_.fileName());
        }
    }
    ~LogLock()
    {
        if (!held_)
            return;
        lock_.close();
        // A virus scanner may hold a fresh file for a moment.
        for (int attempt = 0; attempt < 50 && !lock_.remove(); ++attempt)
            QThread::msleep(2);
    }
    bool Held() const { return held_; }

private:
    static constexpr qint64 StaleMs = 10000;
    QFile lock_;
    bool held_ = false;
};

}  // namespace

ProgramLog::ProgramLog(const QString& fileName) : fileName_(fileName) {}

void ProgramLog::Trim() const
{
    if (QFileInfo(fileName_).size() <= MaxBytes)
        return;
    // Without the lock another run may be trimming: the next run trims.
    const LogLock lock(fileName_);
    QFile log;
    if (!lock.Held() || !OpenRegularFile(log, fileName_) || log.size() <= MaxBytes
        || !log.seek(log.size() - MaxBytes / 2))
        return;
    QByteArray newest = log.readAll();
    // From the first whole line on.
    newest.remove(0, newest.indexOf('\n') + 1);
    log.close();
    QSaveFile trimmed(fileName_);
    if (trimmed.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && trimmed.write(newest) == newest.size())
        trimmed.commit();
}

void ProgramLog::Write(const QString& event) const
{
    // A value may hold a line end (a folder read from path.dat): shown, never obeyed.
    QString text = event;
    text.replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n"));
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > MaxEventBytes) {
        qsizetype cut = MaxEventBytes;
        while ((bytes[cut] & 0xC0) == 0x80)  // never inside a character
            --cut;
        bytes = bytes.left(cut) + QStringLiteral(" [... riga troncata: %1 byte in tutto]").arg(bytes.size()).toUtf8();
    }
    const QByteArray line =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8() + "  " + bytes + LineEnd;
    // One write per line, appended: two programs writing at once never mix their lines. Past
    // the lock's wait the line is written all the same: only a trim just then could drop it.
    const LogLock lock(fileName_);
    AppendToRegularFile(fileName_, line);
}
