#pragma once
#include "core/schedule/DailyRun.h"

// The daily run as one line of the user's crontab, marked as ours; the other lines are
// left as they are.
namespace UserCrontab {

// The line, marker included.
QString Line(const DailyRun& run);
// Replaces our line, or adds it. Throws ScheduleError.
void Install(const DailyRun& run);
// Removes our line; false when there was none. Throws ScheduleError.
bool Remove();
std::optional<DailyRun> Installed();

}  // namespace UserCrontab
