#include "app/WindowsFront.h"
#include "app/BuiltServers.h"
#include "core/platform/StopRequests.h"
#include "gui/Form1.h"
#include "gui/WindowRegistry.h"

#include <QApplication>

int RunWithWindows(int argc, char* argv[])
{
    QApplication app(argc, argv);
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
