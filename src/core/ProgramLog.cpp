#include "core/ProgramLog.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

namespace {

#ifdef Q_OS_WIN
constexpr char LineEnd[] = "\r\n";
#else
constexpr char LineEnd[] = "\n";
#endif

}  // namespace

ProgramLog::ProgramLog(const QString& fileName) : fileName_(fileName) {}

void ProgramLog::Trim() const
{
    QFile log(fileName_);
    if (log.size() <= MaxBytes || !log.open(QIODevice::ReadOnly))
        return;
    if (!log.seek(log.size() - MaxBytes / 2))
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
    // One write per line, appended: two programs writing at once never mix their lines.
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral("  ") + text).toUtf8()
        + LineEnd;
    QFile log(fileName_);
    if (log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        log.write(line);
}
