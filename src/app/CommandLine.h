#pragma once
#include <QString>
#include <QStringList>

// What the program was asked to do by its arguments (the program's name excluded).
enum class CommandLineMode {
    Window,      // no option of ours: the windows, as always
    Send,        // --invia: one transfer without any window
    Version,     // --version
    Help,        // --help
    UsageError,  // anything else: nothing is done
};

// Options of ours begin with "--"; one given alone chooses its mode. Arguments with a
// single '-' belong to Qt (-platform, -style...) and only go with the windows.
CommandLineMode ParseCommandLine(const QStringList& arguments);

// The exit statuses of the command-line modes.
enum ExitStatus {
    ExitSent = 0,            // all five files arrived, or --version/--help
    ExitTransferFailed = 1,  // connection, login, a refused file, a stall, a size mismatch,
                             // or another transfer from the same working folder
    ExitNotReady = 2,        // not configured, or a file missing: nothing was sent
    ExitUsage = 64,          // an unknown option
};

// "Morvantil " and the program's version
QString VersionLine();
// The usage, in Italian.
QString UsageText();
