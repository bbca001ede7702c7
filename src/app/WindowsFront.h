#pragma once

// The program with its windows, from the main window on, until the last one is unloaded;
// the exit status.
int RunWithWindows(int argc, char* argv[]);
