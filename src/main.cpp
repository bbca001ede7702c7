#include "platform/WindowRegistry.h"
#include "transfer/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvantil"));
    // Hidden windows count as open: only the registry decides when the program ends.
    QApplication::setQuitOnLastWindowClosed(false);

    WindowRegistry& windows = WindowRegistry::Instance();
    const ServerAddresses servers{QStringLiteral(MORVANTIL_FTP_HOST),
                                  QStringLiteral(MORVANTIL_UPDATE_BASE_URL)};
    windows.SetFactory<Form1>([servers] { return new Form1(servers); });
    QObject::connect(&windows, &WindowRegistry::LastWindowUnloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    // The main window is the start-up window: loaded, then shown unless its load step
    // sent the operator elsewhere or ended the program.
    windows.Start<Form1>();
    if (windows.LoadedCount() == 0)
        return 0;
    return app.exec();
}
