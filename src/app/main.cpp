#include "app/BuiltServers.h"
#include "app/CommandLine.h"
#include "app/SendUnattended.h"
#include "core/Console.h"

#include <QCoreApplication>

#ifdef Q_OS_WIN
#include "app/WindowsFront.h"
#else
#include <algorithm>
#include <climits>
#include <string>
#include <unistd.h>
#endif

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

#ifndef Q_OS_WIN
// On Linux the windows are an executable of their own, so that the command line (a
// scheduled --invia) never waits for the dynamic loader to bring in Qt's widget libraries:
// beside this one in a build, under ../libexec/morvantil/ once installed.
int RunWithWindows(int, char* argv[])
{
    char self[PATH_MAX] = {};
    std::string folder(self, size_t(std::max<ssize_t>(readlink("/proc/self/exe", self, sizeof self - 1), 0)));
    folder.erase(std::min(folder.rfind('/'), folder.size()));
    for (const char* windows : {"/morvantil-windows", "/../libexec/morvantil/morvantil-windows"})
        execv((folder + windows).c_str(), argv);
    PrintLine(QStringLiteral("Impossibile aprire le finestre: manca %1")
                  .arg(QString::fromStdString(folder + "/morvantil-windows")),
              true);
    return 1;
}
#endif

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
