#pragma once
class QWidget;

// When the last scheduled run failed for good and the clerk has not been told yet: once
// `mainWindow` has appeared, a message box with the stop icon says so, and the record
// remembers that it was said.
void TellOfFailedScheduledRun(QWidget* mainWindow);
