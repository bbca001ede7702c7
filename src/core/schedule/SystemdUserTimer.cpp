#include "core/schedule/SystemdUserTimer.h"
#include "core/schedule/RunTool.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace SystemdUserTimer {

namespace {

const QString unitName = QStringLiteral("morvantil-invio");

QString UnitFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/systemd/user");
}

QString UnitPath(const char* suffix)
{
    return UnitFolder() + u'/' + unitName + QLatin1StringView(suffix);
}

// systemd takes '%' for a specifier everywhere, and '$' for a variable in a command line.
QString Escaped(QString text, bool command = false)
{
    text.replace(u'%', QStringLiteral("%%"));
    return command ? text.replace(u'$', QStringLiteral("$$")) : text;
}

QString Unescaped(QString text, bool command = false)
{
    text.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return command ? text.replace(QStringLiteral("$$"), QStringLiteral("$")) : text;
}

void Systemctl(const QStringList& arguments)
{
    const ToolResult result = RunTool(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
    if (!result.Succeeded())
        throw ScheduleError("systemctl --user " + arguments.join(u' ').toStdString() + ": "
                            + result.Complaint().toStdString());
}

void Write(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw ScheduleError("impossibile scrivere " + path.toStdString() + ": " + file.errorString().toStdString());
}

}  // namespace

bool Available()
{
    return RunTool(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("show-environment")})
        .Succeeded();
}

QString ServiceUnit(const DailyRun& run)
{
    QString program = run.program;
    program.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return QStringLiteral("[Unit]\n"
                          "Description=Morvantil: invio automatico dei file di Brenola\n"
                          "\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "WorkingDirectory=%1\n"
                          "ExecStart=\"%2\" %3\n"
                          "TimeoutStartSec=1h\n")
        .arg(Escaped(run.folder), Escaped(program, true), DailyRun::Arguments);
}

QString TimerUnit(const DailyRun& run)
{
    return QStringLiteral("[Unit]\n"
                          "Description=Morvantil: invio automatico ogni giorno alle %1\n"
                          "\n"
                          "[Timer]\n"
                          "OnCalendar=*-*-* %1:00\n"
                          "Persistent=true\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(run.time.toString(QStringLiteral("HH:mm")));
}

void Install(const DailyRun& run)
{
    if (!QDir().mkpath(UnitFolder()))
        throw ScheduleError("impossibile creare la cartella " + UnitFolder().toStdString());
    Write(UnitPath(".service"), ServiceUnit(run));
    Write(UnitPath(".timer"), TimerUnit(run));
    Systemctl({QStringLiteral("daemon-reload")});
    Systemctl({QStringLiteral("enable"), unitName + QStringLiteral(".timer")});
    // Restarted, a timer that ran already takes the new time.
    Systemctl({QStringLiteral("restart"), unitName + QStringLiteral(".timer")});
}

bool Remove()
{
    if (!QFile::exists(UnitPath(".timer")) && !QFile::exists(UnitPath(".service")))
        return false;
    // A manager that is gone cannot run the timer either: the files go all the same.
    RunTool(QStringLiteral("systemctl"),
            {QStringLiteral("--user"), QStringLiteral("disable"), QStringLiteral("--now"), unitName + QStringLiteral(".timer")});
    for (const char* suffix : {".timer", ".service"})
        if (QFile::exists(UnitPath(suffix)) && !QFile::remove(UnitPath(suffix)))
            throw ScheduleError("impossibile rimuovere " + UnitPath(suffix).toStdString());
    RunTool(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("daemon-reload")});
    return true;
}

std::optional<DailyRun> Installed()
{
    QFile timer(UnitPath(".timer"));
    QFile service(UnitPath(".service"));
    if (!timer.open(QIODevice::ReadOnly) || !service.open(QIODevice::ReadOnly))
        return std::nullopt;
    DailyRun run;
    run.where = QStringLiteral("timer systemd dell'utente (%1.timer)").arg(unitName);
    const QString timerText = QString::fromUtf8(timer.readAll());
    const QString serviceText = QString::fromUtf8(service.readAll());
    static const QRegularExpression calendar(QStringLiteral("^OnCalendar=\\*-\\*-\\* (\\d\\d:\\d\\d):00$"),
                                             QRegularExpression::MultilineOption);
    static const QRegularExpression folder(QStringLiteral("^WorkingDirectory=(.*)$"), QRegularExpression::MultilineOption);
    static const QRegularExpression program(QStringLiteral("^ExecStart=\"((?:[^\"\\\\]|\\\\.)*)\""),
                                            QRegularExpression::MultilineOption);
    run.time = QTime::fromString(calendar.match(timerText).captured(1), QStringLiteral("HH:mm"));
    run.folder = Unescaped(folder.match(serviceText).captured(1));
    run.program = Unescaped(program.match(serviceText).captured(1), true)
                      .replace(QStringLiteral("\\\""), QStringLiteral("\""))
                      .replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    return run;
}

}  // namespace SystemdUserTimer
