#pragma once
#include "core/schedule/DailyRun.h"

// The daily run as a task of the current user in Windows' Task Scheduler, registered
// through its COM interface from the XML definition (TaskDefinition).
namespace WindowsTask {

// The task's name in the scheduler's root folder: one per user.
QString Name();
// The scheduler and the task's name, in the operator's words.
QString Where();
// Registers or replaces the task. Throws ScheduleError.
void Install(const DailyRun& run);
// False when there was none. Throws ScheduleError.
bool Remove();
// The task as stored; with no time, program or folder where the scheduler kept none (Wine).
std::optional<DailyRun> Installed();
// The definition as the scheduler stores it; "" when there is none.
QString StoredXml();

}  // namespace WindowsTask
