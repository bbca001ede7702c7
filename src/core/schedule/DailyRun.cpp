#include "core/schedule/DailyRun.h"

#ifdef Q_OS_WIN
#include "core/schedule/win32/WindowsTask.h"
#else
#include "core/schedule/SystemdUserTimer.h"
#include "core/schedule/UserCrontab.h"
#endif

const QString DailyRun::Arguments = QStringLiteral("--invia --automatico");

namespace {

void RefuseControlCharacters(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20)
            throw ScheduleError("il percorso contiene caratteri di controllo: " + text.toStdString());
}

#ifndef Q_OS_WIN
// The run as the scheduler holds it after a registration that it accepted.
DailyRun Confirmed(const std::optional<DailyRun>& run)
{
    if (!run)
        throw ScheduleError("la pianificazione registrata non si ritrova");
    return *run;
}
#endif

}  // namespace

DailyRun ScheduleDailyRun(const QTime& time, const QString& folder, const QString& program)
{
    RefuseControlCharacters(folder);
    RefuseControlCharacters(program);
    DailyRun run{QTime(time.hour(), time.minute()), folder, program, {}};
#ifdef Q_OS_WIN
    WindowsTask::Install(run);
    run.where = WindowsTask::Where();
    return run;
#else
    // One of the two, never both: a run twice a day would send twice.
    if (SystemdUserTimer::Available()) {
        SystemdUserTimer::Install(run);
        UserCrontab::Remove();
        return Confirmed(SystemdUserTimer::Installed());
    }
    SystemdUserTimer::Remove();
    UserCrontab::Install(run);
    return Confirmed(UserCrontab::Installed());
#endif
}

bool RemoveDailyRun()
{
#ifdef Q_OS_WIN
    return WindowsTask::Remove();
#else
    const bool timer = SystemdUserTimer::Remove();
    const bool line = UserCrontab::Remove();
    return timer || line;
#endif
}

std::optional<DailyRun> ScheduledDailyRun()
{
#ifdef Q_OS_WIN
    return WindowsTask::Installed();
#else
    if (std::optional<DailyRun> run = SystemdUserTimer::Installed())
        return run;
    return UserCrontab::Installed();
#endif
}
