#include "update/CheckForUpdate.h"
#include "platform/FileExists.h"
#include "platform/Inet.h"
#include "platform/MessageBox.h"
#include "platform/WindowRegistry.h"
#include "transfer/Form1.h"
#include "ui/Form4.h"
#include "update/Installer.h"
#include "update/UpdateRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>

namespace {

const QString InstallerFile = QStringLiteral("update.exe");
const QString InstallerCommand = QStringLiteral("./update.exe");
const QString UpdateTitle = QStringLiteral("Aggiornamento");

// The transfers below block this thread; let the progress window draw what it shows
// first. User input stays queued, so no handler of the program can start meanwhile.
void PaintNow()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TellOperator(const QString& what, const InstallerError& error)
{
    MsgBox(what + QStringLiteral("\nL'aggiornamento non verrà installato; il programma si avvia "
                                 "nella versione attuale.\n\nDettagli: ")
               + QString::fromStdString(error.what()),
           MbOkStop, UpdateTitle);
}

// Fetches and starts the new version named by `address`. Returns once the installer
// runs (the main window is then closed) or once the attempt has been given up.
void Install(Form1* main, Form4* progress, const QString& address)
{
    progress->Label1->setText(QStringLiteral("Nuova versione disponibile. Scaricamento in corso..."));
    PaintNow();

    try {
        DownloadInstaller(*main->Inet1, address, InstallerFile);
    } catch (const InetError&) {
        // The service's fault, not the operator's: the next start tries again.
        return;
    } catch (const InstallerError& error) {
        progress->Unload();
        TellOperator(QStringLiteral("Impossibile scrivere il file %1 nella cartella %2.")
                         .arg(InstallerFile, QDir::toNativeSeparators(QDir::currentPath())),
                     error);
        return;
    }

    // Another program (a virus scanner, say) may hold the new file back for a moment.
    for (int look = 0; look < 100 && !FileExists(InstallerFile); ++look)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!FileExists(InstallerFile))
        return;

    // The main window has never been shown; it is closed only once the installer runs,
    // so that the program can still start if the installer cannot. (Closing it now would
    // also let the message box's event loop destroy it under its own load step.)
    progress->Unload();
    MsgBox(QStringLiteral("Verrà installata ora la nuova versione"), MbOk, UpdateTitle);
    try {
        StartInstaller(InstallerCommand);
    } catch (const InstallerError& error) {
        TellOperator(QStringLiteral("Impossibile avviare %1 nella cartella %2.")
                         .arg(InstallerFile, QDir::toNativeSeparators(QDir::currentPath())),
                     error);
        return;
    }
    main->Unload();
}

}  // namespace

void CheckForUpdate()
{
    WindowRegistry& windows = WindowRegistry::Instance();
    Form1* main = windows.Loaded<Form1>();
    Form4* progress = windows.Get<Form4>();
    progress->Show();
    PaintNow();

    QString answer;
    try {
        answer = main->Inet1->OpenURL(UpdateQueryAddress(main->Servers().updateBaseUrl), 0).toString();
    } catch (const InetError&) {
        // No answer means no update: the program starts as it is.
    }
    // The answer goes on unchanged; the transfer component reads it as a browser would.
    if (IsDownloadAddress(answer))
        Install(main, progress, answer);
    // Looked up afresh: a message box may already have closed and destroyed it.
    if (Form4* stillOpen = windows.Loaded<Form4>())
        stillOpen->Unload();
}
