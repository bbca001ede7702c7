#include "gui/CheckForUpdate.h"
#include "core/platform/FileExists.h"
#include "core/transfer/Inet.h"
#include "core/log/ProgramLog.h"
#include "core/update/Installer.h"
#include "core/update/UpdateAttempt.h"
#include "core/update/UpdateRules.h"
#include "gui/Form4.h"
#include "gui/MessageBox.h"
#include "gui/WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>

#include <exception>
#include <functional>
#include <thread>

namespace {

const QString InstallerFile = QStringLiteral("update.exe");
const QString InstallerCommand = QStringLiteral("./update.exe");
const QString UpdateTitle = QStringLiteral("Aggiornamento");
const QString Downloading = QStringLiteral("Nuova versione disponibile. Scaricamento in corso...");

// Lets the progress window draw what it shows. User input stays queued, so no handler of
// the program can start meanwhile.
void PaintNow()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Runs `work` on a thread of its own while this one keeps the windows painted and
// answering the system (a window that handles no messages for a few seconds is marked as
// not responding); user input stays queued. Raises what `work` raised.
void WhileWindowsPaint(const std::function<void()>& work)
{
    std::exception_ptr failure;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

// The label's text with how far the download has come, posted from the download's thread.
Inet::Progress ShowProgress(Form4* progress)
{
    return [label = QPointer<QLabel>(progress->Label1), shown = QString()](qint64 received, qint64 total) mutable {
        if (total <= 0 && received == 0)
            return;
        const QString now = total > 0 ? QStringLiteral(" %1%").arg(received * 100 / total)
                                      : QStringLiteral(" %1 KB").arg(received / 1024);
        if (now == std::exchange(shown, now))
            return;
        QMetaObject::invokeMethod(label, [label, now] {
            if (label)
                label->setText(Downloading + now);
        });
    };
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
void Install(Window& main, Inet& inet, QPointer<Form4> progress, const QString& address,
             const QByteArray& publicKey, const ProgramLog& log)
{
    progress->Label1->setText(Downloading);
    PaintNow();

    UpdateSignature signature;
    try {
        WhileWindowsPaint([&, show = ShowProgress(progress)] {
            signature = DownloadInstaller(inet, address, InstallerFile, publicKey, show);
        });
    } catch (const SignatureError& error) {
        // Whoever can change the office's traffic or the web server must not get a program
        // of theirs started: only what the region signed is.
        log.Write(QStringLiteral("Aggiornamento non scaricato: firma dell'aggiornamento non valida: ")
                  + QString::fromStdString(error.what()));
        return;
    } catch (const InetError& error) {
        // The service's fault, not the operator's: the next start tries again.
        log.Write(QStringLiteral("Aggiornamento non scaricato: ") + QString::fromStdString(error.what()));
        return;
    } catch (const InstallerError& error) {
        log.Write(QStringLiteral("Aggiornamento non salvato: impossibile scrivere %1: %2")
                      .arg(InstallerFile, QString::fromStdString(error.what())));
        if (progress)
            progress->Unload();
        TellOperator(QStringLiteral("Impossibile scrivere il file %1 nella cartella %2.")
                         .arg(InstallerFile, QDir::toNativeSeparators(QDir::currentPath())),
                     error);
        return;
    }

    // Asked to end meanwhile (a shutdown): nothing is started.
    if (main.IsUnloaded() || !progress) {
        log.Write(QStringLiteral("Aggiornamento non avviato: chiusura del programma richiesta"));
        return;
    }
    // The file was renamed into place just now: a look-up that finds nothing means another
    // program took it away at once, and nothing would start.
    if (!FileExists(InstallerFile)) {
        log.Write(QStringLiteral("Aggiornamento non avviato: %1 è sparito dopo lo scaricamento").arg(InstallerFile));
        return;
    }

    // The main window has never been shown; it is closed only once the installer runs,
    // so that the program can still start if the installer cannot. (Closing it now would
    // also let the message box's event loop destroy it under its own load step.)
    progress->Unload();
    {
        // A request to end (a shutdown) closes the announcement, and nothing starts then.
        QObject whileShown;
        QObject::connect(&main, &Window::Unloaded, &whileShown, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        MsgBox(QStringLiteral("Verrà installata ora la nuova versione"), MbOk, UpdateTitle);
    }
    if (main.IsUnloaded()) {
        log.Write(QStringLiteral("Aggiornamento non avviato: chiusura del programma richiesta"));
        return;
    }
    // Noted first: the installer may end this program before it says anything.
    if (!NoteInstallerStarted(signature.Version()))
        log.Write(QStringLiteral("Aggiornamento: impossibile annotare l'avvio dell'installazione in %1")
                      .arg(QDir::toNativeSeparators(QDir::currentPath())));
    try {
        StartInstaller(InstallerCommand, InstallerFile, signature);
    } catch (const SignatureError& error) {
        ForgetInstallerStarted();
        log.Write(QStringLiteral("Aggiornamento non avviato: firma dell'aggiornamento non valida: ")
                  + QString::fromStdString(error.what()));
        return;
    } catch (const InstallerError& error) {
        ForgetInstallerStarted();
        log.Write(QStringLiteral("Aggiornamento non avviato: %1: %2")
                      .arg(InstallerFile, QString::fromStdString(error.what())));
        TellOperator(QStringLiteral("Impossibile avviare %1 nella cartella %2.")
                         .arg(InstallerFile, QDir::toNativeSeparators(QDir::currentPath())),
                     error);
        return;
    }
    log.Write(QStringLiteral("Aggiornamento alla versione %1 scaricato da %2 e avviato")
                  .arg(signature.Version(), Inet::ShownAddress(address)));
    main.Unload();
}

}  // namespace

void CheckForUpdate(Window& main, Inet& Inet1, const QString& updateBaseUrl, const QByteArray& updatePublicKey)
{
    WindowRegistry& windows = WindowRegistry::Instance();
    Form4* progress = windows.Get<Form4>();
    progress->Show();
    PaintNow();

    const ProgramLog log;
    log.Trim();
    // An installer started at the last start that left this version in place failed on this
    // PC: this start goes on without it, the next one tries again.
    if (const auto failed = TakeUninstalledUpdate()) {
        log.Write(QStringLiteral("Aggiornamento alla versione %1 non installato: il programma è ancora alla "
                                 "versione %2; nuovo tentativo al prossimo avvio")
                      .arg(*failed, VersionText()));
        progress->Unload();
        return;
    }
    QString answer;
    bool answered = false;
    try {
        WhileWindowsPaint([&] { answer = Inet1.OpenURL(UpdateQueryAddress(updateBaseUrl), 0).toString(); });
        answered = true;
    } catch (const InetError& error) {
        // No answer means no update: the program starts as it is.
        log.Write(QStringLiteral("Controllo aggiornamenti: nessuna risposta dal servizio: ")
                  + QString::fromStdString(error.what()));
    }
    // The answer goes on unchanged; the transfer component reads it as a browser would.
    if (main.IsUnloaded()) {
        // Asked to end meanwhile: nothing more is fetched.
    } else if (IsDownloadAddress(answer)) {
        log.Write(QStringLiteral("Controllo aggiornamenti: nuova versione in %1").arg(Inet::ShownAddress(answer)));
        Install(main, Inet1, progress, answer, updatePublicKey, log);
    } else if (answered) {
        log.Write(QStringLiteral("Controllo aggiornamenti: nessun aggiornamento"));
    }
    // Looked up afresh: a message box may already have closed and destroyed it.
    if (Form4* stillOpen = windows.Loaded<Form4>())
        stillOpen->Unload();
}
