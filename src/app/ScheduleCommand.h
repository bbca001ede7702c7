#pragma once
#include <QString>
#include <functional>

// "--pianifica": `value` "HH:MM" registers the daily run from the working folder, "no"
// removes it, "" tells what is set and how the last scheduled run ended. Returns the exit
// status (ExitStatus).
int ScheduleCommand(const QString& value, const std::function<void(const QString&)>& out,
                    const std::function<void(const QString&)>& err);
