#include "core/schedule/UserCrontab.h"
#include "core/schedule/RunTool.h"

#include <QRegularExpression>

namespace UserCrontab {

namespace {

const QString marker = QStringLiteral("# morvantil-invio-automatico");

// Single quotes for the shell; cron itself takes '%' for a line end unless escaped.
QString Quoted(QString text)
{
    text.replace(u'\'', QStringLiteral("'\\''")).replace(u'%', QStringLiteral("\\%"));
    return u'\'' + text + u'\'';
}

QString Unquoted(QString text)
{
    return text.replace(QStringLiteral("'\\''"), QStringLiteral("'")).replace(QStringLiteral("\\%"), QStringLiteral("%"));
}

// The crontab's lines; none when the user has no crontab yet.
QStringList Lines()
{
    const ToolResult result = RunTool(QStringLiteral("crontab"), {QStringLiteral("-l")});
    // No cron on this machine: nothing of ours in it either.
    if (!result.started)
        return {};
    if (result.Succeeded())
        return QString::fromLocal8Bit(result.out).split(u'\n', Qt::SkipEmptyParts);
    if (result.started && result.out.isEmpty() && result.err.startsWith("no crontab for"))
        return {};
    throw ScheduleError("crontab -l: " + result.Complaint().toStdString());
}

void Replace(const QStringList& lines)
{
    const QByteArray text = lines.isEmpty() ? QByteArray() : (lines.join(u'\n') + u'\n').toLocal8Bit();
    const ToolResult result = RunTool(QStringLiteral("crontab"), {QStringLiteral("-")}, text);
    if (!result.Succeeded())
        throw ScheduleError("crontab: " + result.Complaint().toStdString());
}

}  // namespace

QString Line(const DailyRun& run)
{
    return QStringLiteral("%1 %2 * * * cd %3 && %4 %5 >/dev/null 2>&1 %6")
        .arg(run.time.minute())
        .arg(run.time.hour())
        .arg(Quoted(run.folder), Quoted(run.program), DailyRun::Arguments, marker);
}

void Install(const DailyRun& run)
{
    QStringList lines = Lines();
    lines.removeIf([](const QString& line) { return line.endsWith(marker); });
    lines << Line(run);
    Replace(lines);
}

bool Remove()
{
    QStringList lines = Lines();
    if (lines.removeIf([](const QString& line) { return line.endsWith(marker); }) == 0)
        return false;
    Replace(lines);
    return true;
}

std::optional<DailyRun> Installed()
{
    static const QRegularExpression ours(QStringLiteral("^(\\d+) (\\d+) \\* \\* \\* cd ('(?:[^']|'\\\\'')*') && "
                                                        "('(?:[^']|'\\\\'')*') "));
    for (const QString& line : Lines()) {
        const QRegularExpressionMatch match = ours.match(line);
        if (!line.endsWith(marker) || !match.hasMatch())
            continue;
        DailyRun run;
        run.time = QTime(match.captured(2).toInt(), match.captured(1).toInt());
        run.folder = Unquoted(match.captured(3).mid(1).chopped(1));
        run.program = Unquoted(match.captured(4).mid(1).chopped(1));
        run.where = QStringLiteral("crontab dell'utente");
        return run;
    }
    return std::nullopt;
}

}  // namespace UserCrontab
