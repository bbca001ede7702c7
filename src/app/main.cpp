#include "app/BuiltServers.h"
#include "app/CommandLine.h"
#include "app/SendUnattended.h"
#include "core/platform/Console.h"

#include <QCoreApplication>

#include "app/WindowsFront.h"

namespace {

// The command-line modes: no window, no display needed (cron, the Task Scheduler).
int RunWithoutWindows(int argc, char* argv[], CommandLineMode mode)
{
    QCoreApplication app(argc, argv);
    AttachToParentConsole();
    switch (mode) {
    case CommandLineMode::Send:
        return SendUnattended(
            BuiltServers(), [](const QString& line) { PrintLine(line); },
            [](const QString& line) { PrintLine(line, true); });
    case CommandLineMode::Version:
        PrintLine(VersionLine());
        return ExitSent;
    case CommandLineMode::Help:
        PrintLine(UsageText());
        return ExitSent;
    default:
        PrintLine(QStringLiteral("Opzione non riconosciuta: nulla è stato inviato.\n") + UsageText(), true);
        return ExitUsage;
    }
}


}  // namespace

int main(int argc, char* argv[])
{
    HardenProcess();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLineMode mode = ParseCommandLine(arguments);
    // Without a display Qt would abort; "-invia" from cron deserves the usage instead.
    if (mode == CommandLineMode::Window && !CanShowWindows())
        mode = CommandLineMode::UsageError;
    if (mode != CommandLineMode::Window)
        return RunWithoutWindows(argc, argv, mode);
    return RunWithWindows(argc, argv);
}
