#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// What the program was asked to do by its arguments (the program's name excluded).
enum class CommandLineMode {
    Window,      // no option of ours: the windows, as always
    Send,        // --invia: one transfer without any window
    Schedule,    // --pianifica [HH:MM | no]: the daily scheduled run
    Version,     // --version
    Help,        // --help
    UsageError,  // anything else: nothing is done
};

struct CommandLine {
    CommandLineMode mode = CommandLineMode::Window;
    // --automatico (with or without --invia): the scheduled run, with its retries
    bool automatic = false;
    QList<int> retryWaits;  // --riprova S1,S2,S3, or the default
    // --pianifica's value: "HH:MM", "no", or empty to show what is set
    QString schedule;
};

// Options of ours begin with "--"; --invia, --version, --help and --pianifica each go
// alone, but for --invia's --automatico and --riprova. Arguments with a single '-' belong
// to Qt (-platform, -style...) and only go with the windows.
CommandLine ParseCommandLine(const QStringList& arguments);

// The exit statuses of the command-line modes.
enum ExitStatus {
    ExitSent = 0,            // all five files arrived (or, scheduled, none was new), or
                             // --version/--help/--pianifica did what it was asked
    ExitTransferFailed = 1,  // connection, login, a refused file, a stall, a size mismatch,
                             // or another transfer from the same working folder; a
                             // scheduler that refused
    ExitNotReady = 2,        // not configured, or a file missing: nothing was sent
    ExitUsage = 64,          // an unknown option
};

// "Morvantil " and the program's version
QString VersionLine();
// The usage, in Italian.
QString UsageText();
