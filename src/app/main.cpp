#include "app/BuiltServers.h"
#include "app/CommandLine.h"
#include "app/ScheduleCommand.h"
#include "app/SendAutomatic.h"
#include "app/SendUnattended.h"
#include "core/platform/Console.h"

#include <QCoreApplication>

#include "app/WindowsFront.h"

namespace {

// The command-line modes: no window, no display needed (cron, the Task Scheduler).
int RunWithoutWindows(int argc, char* argv[], const CommandLine& line)
{
    QCoreApplication app(argc, argv);
    AttachToParentConsole();
    const auto out = [](const QString& text) { PrintLine(text); };
    const auto err = [](const QString& text) { PrintLine(text, true); };
    switch (line.mode) {
    case CommandLineMode::Send:
        if (line.automatic)
            return SendAutomatic(BuiltServers(), line.retryWaits, out, err);
        return SendUnattended(BuiltServers(), out, err);
    case CommandLineMode::Schedule:
        return ScheduleCommand(line.schedule, out, err);
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
    CommandLine line = ParseCommandLine(arguments);
    // Without a display Qt would abort; "-invia" from cron deserves the usage instead.
    if (line.mode == CommandLineMode::Window && !CanShowWindows())
        line.mode = CommandLineMode::UsageError;
    if (line.mode != CommandLineMode::Window)
        return RunWithoutWindows(argc, argv, line);
    return RunWithWindows(argc, argv);
}
