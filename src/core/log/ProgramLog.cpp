#include "core/log/ProgramLog.h"
#include "core/platform/LocalFile.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QThread>

#include <algorithm>

namespace {

#ifdef Q_OS_WIN
constexpr char LineEnd[] = "\r\n";
#else
constexpr char LineEnd[] = "\n";
#endif

// An event longer than this (a hostile megabyte-long address, say) is cut, with a mark.
constexpr qsizetype MaxEventBytes = 4000;

// Held by every write and every trim: a trim replaces the file with its newest part, and a
// line appended by another run between its read and that replacement would be lost.
// QLockFile is taken by one holder at a time. A live holder keeps its lock file open
// (locked), so no one removes it; a dead run's lock of this computer is stale at once,
// whatever its date, and one whose holder cannot be asked (another computer's, one that
// cannot be read) once it is StaleMs old or dated that far ahead. Nobody holds it for more
// than a moment: past MaxWaitMs, or where it cannot be made, the log goes on without it.
class LogLock {
public:
    explicit LogLock(const QString& logName) : lock_(logName + QStringLiteral(".lock"))
    {
        const QString name = logName + QStringLiteral(".lock");
        // Anything else under its name (a folder, a FIFO whose reading would block) is nobody's
        // lock: out of the way with it, or no lock (a folder with files in it).
        if (const QFileInfo in(name); in.isSymLink() || (in.exists() && !in.isFile()))
            if (!QFile::remove(name) && !QDir().rmdir(name))
                return;
        lock_.setStaleLockTime(StaleMs);
        const QDeadlineTimer deadline(MaxWaitMs);
        // Held for a moment by its owner: short pauses first, never a fixed tick.
        for (int pauseMs = 1; !lock_.tryLock(0); pauseMs = std::min(2 * pauseMs, 64)) {
            if (lock_.error() != QLockFile::LockFailedError || deadline.hasExpired())
                return;
            QThread::msleep(std::min<qint64>(pauseMs, deadline.remainingTime()));
        }
    }
    bool Held() const { return lock_.isLocked(); }

private:
    static constexpr int StaleMs = 10000;
    static constexpr int MaxWaitMs = 1000;
    QLockFile lock_;
};

}  // namespace

ProgramLog::ProgramLog(const QString& fileName) : fileName_(fileName) {}

void ProgramLog::Trim() const
{
    if (QFileInfo(fileName_).size() <= MaxBytes)
        return;
    // Without the lock another run may be trimming, or writing: the next run trims.
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
    // the lock's wait the line is written all the same: only a trim stuck just then (a frozen
    // disk) could drop it.
    const LogLock lock(fileName_);
    AppendToRegularFile(fileName_, line);
}
