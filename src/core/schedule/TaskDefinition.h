#pragma once
#include "core/schedule/DailyRun.h"

// The Windows Task Scheduler's XML definition of the daily run: at that time every day, as
// soon as possible when the PC was off then, only with a network, one instance at a time,
// stopped after an hour, started in the working folder.
QString TaskDefinitionXml(const DailyRun& run);
// The time, program and folder of a stored definition; nothing when it holds no daily run.
std::optional<DailyRun> ParseTaskDefinition(const QString& xml);
