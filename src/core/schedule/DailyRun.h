#pragma once
#include <QString>
#include <QTime>

#include <optional>
#include <stdexcept>

// The daily scheduled run of "morvantil --invia --automatico", left to the platform's own
// scheduler: Task Scheduler on Windows (a task of the current user); on Linux a systemd
// user timer where a user manager runs, the user's crontab otherwise. Never a service of
// our own, never administrator rights.
struct DailyRun {
    QTime time;
    QString folder;    // the working folder it starts in
    QString program;   // the program it starts
    QString where;     // the scheduler that holds it, in the operator's words

    // What the scheduled command line adds to the program.
    static const QString Arguments;  // "--invia --automatico"
};

// A scheduler refused, or cannot be reached; the text says why, in Italian.
class ScheduleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Registers (or replaces) the daily run at `time`, starting `program` in `folder`. Returns
// where it went. Throws ScheduleError.
DailyRun ScheduleDailyRun(const QTime& time, const QString& folder, const QString& program);
// Removes it from wherever it is; false when there was none. Throws ScheduleError.
bool RemoveDailyRun();
// The run as the scheduler holds it, if any. Throws ScheduleError.
std::optional<DailyRun> ScheduledDailyRun();
