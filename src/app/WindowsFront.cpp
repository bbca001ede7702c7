#include "app/WindowsFront.h"
#include "app/BuiltServers.h"
#include "app/CommandLine.h"
#include "core/platform/Console.h"
#include "core/platform/StopRequests.h"
#include "gui/Form1.h"
#include "gui/WindowRegistry.h"

#include <QApplication>

#include <cstdlib>

namespace {

QtMessageHandler qtHandler = nullptr;

// Qt ends the program (abort, status 134) when the display it was given does not answer
// (DISPLAY=:99 with no server): said in Italian, ending as a start that cannot go on.
void DisplayMissing(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        qtHandler(type, context, message);
        return;
    }
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY", qEnvironmentVariable("DISPLAY"));
    PrintLine(QStringLiteral("Impossibile aprire le finestre: lo schermo \"%1\" non risponde. Avviare "
                             "Morvantil in una sessione grafica; senza finestre: morvantil --invia")
                  .arg(display),
              true);
    std::_Exit(ExitUsage);
}

}  // namespace

int RunWithWindows(int argc, char* argv[])
{
    qtHandler = qInstallMessageHandler(DisplayMissing);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    QApplication::setApplicationName(QStringLiteral("Morvantil"));
    // Hidden windows count as open: only the registry decides when the program ends.
    QApplication::setQuitOnLastWindowClosed(false);

    const ServerAddresses servers = BuiltServers();
    WindowRegistry& windows = WindowRegistry::Instance();
    windows.SetFactory<Form1>([servers] { return new Form1(servers); });
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
