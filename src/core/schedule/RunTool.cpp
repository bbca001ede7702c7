#include "core/schedule/RunTool.h"

#include <QProcess>

QString ToolResult::Complaint() const
{
    const QString first = QString::fromLocal8Bit(err.trimmed()).section(u'\n', 0, 0);
    if (!started)
        return QStringLiteral("comando non disponibile");
    return first.isEmpty() ? QStringLiteral("stato di uscita %1").arg(exitCode) : first;
}

ToolResult RunTool(const QString& tool, const QStringList& arguments, const QByteArray& input)
{
    ToolResult result;
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForStarted(10000))
        return result;
    result.started = true;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        result.err = "nessuna risposta in 30 s";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
