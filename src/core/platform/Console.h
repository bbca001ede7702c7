#pragma once
#include <QString>

// The command-line modes' output. A Windows program built for windows has no console of its
// own: started from one, it writes to that console; started by the Task Scheduler, to
// nothing at all (or to the files its output was redirected to).
void AttachToParentConsole();
// One line on standard output (error = false) or standard error, in UTF-8, or as the
// console's own text where it is a Windows console.
void PrintLine(const QString& text, bool error = false);
// False where no window can be shown (a Linux session without a display: cron, ssh).
bool CanShowWindows();
// Makes the process safe to start before anything else runs: output that cannot be written
// (a closed pipe) never ends it, and no environment variable makes TLS write its secrets to
// a file.
void HardenProcess();
