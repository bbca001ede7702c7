#include "app/CommandLine.h"
#include "app/SendUnattended.h"
#include "core/Console.h"
#include "core/StopRequests.h"
#include "gui/Form1.h"
#include "gui/WindowRegistry.h"

#include "FtpAuthorities.h"
#include "UpdateKey.h"

#include <QApplication>

namespace {

#ifdef MORVANTIL_FTP_TLS_REQUIRED
constexpr bool FtpTls = true;
#else
constexpr bool FtpTls = false;
#endif

const ServerAddresses Servers{QStringLiteral(MORVANTIL_FTP_HOST), QStringLiteral(MORVANTIL_UPDATE_BASE_URL), 60,
                              FtpTls, QByteArray(FtpAuthoritiesPem), QByteArray(UpdatePublicKey)};

// The command-line modes: no window, no display needed (cron, the Task Scheduler).
int RunWithoutWindows(int argc, char* argv[], CommandLineMode mode)
{
    QCoreApplication app(argc, argv);
    AttachToParentConsole();
    switch (mode) {
    case CommandLineMode::Send:
        return SendUnattended(
            Servers, [](const QString& line) { PrintLine(line); }, [](const QString& line) { PrintLine(line, true); });
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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvantil"));
    // Hidden windows count as open: only the registry decides when the program ends.
    QApplication::setQuitOnLastWindowClosed(false);

    WindowRegistry& windows = WindowRegistry::Instance();
    windows.SetFactory<Form1>([] { return new Form1(Servers); });
    QObject::connect(&windows, &WindowRegistry::LastWindowUnloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // A shutdown closes every window as the operator would: a run under way ends cleanly.
    StopRequests requests;
    QObject::connect(&requests, &StopRequests::Requested, &windows, &WindowRegistry::UnloadAll);

    // The main window is the start-up window: loaded, then shown unless its load step
    // sent the operator elsewhere or ended the program.
    windows.Start<Form1>();
    if (windows.LoadedCount() == 0)
        return 0;
    return app.exec();
}
