#pragma once
#include "core/schedule/DailyRun.h"

// The daily run as a systemd user timer and its service (~/.config/systemd/user): missed
// runs are made at the next start of the user manager (Persistent).
namespace SystemdUserTimer {

// Whether a user manager runs for this user.
bool Available();
// The unit files' text.
QString ServiceUnit(const DailyRun& run);
QString TimerUnit(const DailyRun& run);
// Writes both units and starts the timer. Throws ScheduleError.
void Install(const DailyRun& run);
// Stops the timer and removes both units; false when there were none.
bool Remove();
std::optional<DailyRun> Installed();

}  // namespace SystemdUserTimer
