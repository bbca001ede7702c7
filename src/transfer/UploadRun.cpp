#include "platform/FileExists.h"
#include "platform/Inet.h"
#include "platform/MessageBox.h"
#include "transfer/Form1.h"
#include "transfer/GetShortFileName.h"
#include "transfer/WaitWhileBusy.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace {

// The transfer table, in the order of upload.
struct Row {
    QString Form1::*local;
    const char16_t* status;
    const char16_t* suffix;
};

const Row transferTable[] = {
    {&Form1::dia, u"Caricamento file DIA in corso...", u"_DIA.txt"},
    {&Form1::cil, u"Caricamento file CIL in corso...", u"_CIL.txt"},
    {&Form1::diaimp, u"Caricamento file imprese DIA in corso...", u"_DIAIMP.txt"},
    {&Form1::cilimp, u"Caricamento file imprese CIL in corso...", u"_CILIMP.txt"},
    {&Form1::prof, u"Caricamento file PROFESSIONISTI in corso...", u"_PROF.txt"},
};

const QString ftpUserName = QStringLiteral("lorvenzab");
const QString ftpPassword = QStringLiteral("kqz3817t42");

}  // namespace

QString Form1::LocalFullPath(const QString& name) const
{
    return path + QDir::separator() + name;
}

bool Form1::event(QEvent* event)
{
    if (event->type() == QEvent::DeferredDelete && running_) {
        destroyAfterRun_ = true;
        return true;
    }
    return Form1Layout::event(event);
}

void Form1::Command1_Click()
{
    running_ = true;
    struct RunEnd {
        Form1* window;
        ~RunEnd()
        {
            window->running_ = false;
            // Qt posts a window's deferred deletion only once, and that one has been held
            // back: destroy it from the event loop, once this click has been handled.
            if (window->destroyAfterRun_)
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [doomed = QPointer<Form1>(window)] { delete doomed.data(); },
                    Qt::QueuedConnection);
        }
    } runEnd{this};

    const bool noPath = path.isEmpty();
    const bool noCom = com.isEmpty();
    if (noPath || noCom) {
        MsgBox(QStringLiteral("Impostare il software prima si utilizzarlo"));
        OpenSettings();
        return;
    }

    bool allPresent = true;
    for (const Row& row : transferTable)
        allPresent = FileExists(LocalFullPath(this->*row.local)) && allPresent;
    if (!allPresent) {
        MsgBox(QStringLiteral("Mancano tutti o alcuni dei file per il trasferimento"), MbOkStop,
               QStringLiteral("Attenzione!"));
        return;
    }

    // Disabling the focused button would pass the focus along the tab order to "chiudi",
    // where the operator's next Space or Enter would end the program mid-upload. During
    // the run no button holds the focus or can take it from the keyboard; a mouse click
    // on "chiudi" still closes.
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    Command2->setFocusPolicy(Qt::NoFocus);
    Command1->setEnabled(false);
    Command3->setEnabled(false);
    Label1->setText(QStringLiteral("elaborazione in corso..."));

    try {
        Inet1->URL(QStringLiteral("ftp://") + servers_.ftpHost);
        Inet1->UserName(ftpUserName);
        Inet1->Password(ftpPassword);
        Inet1->Execute();
        WaitWhileBusy(*Inet1);
        // Closed meanwhile: the transfer has been stopped and nobody is left to tell.
        if (IsUnloaded())
            return;

        for (const Row& row : transferTable) {
            const QString fullPath = LocalFullPath(this->*row.local);
            // Gone since the presence test: the other files still go.
            if (!FileExists(fullPath))
                continue;
            Label1->setText(QString::fromUtf16(row.status));
            const QString shortName = GetShortFileName(fullPath);
            Inet1->Execute(QString(), QStringLiteral("PUT ") + shortName + u' ' + com +
                                          QString::fromUtf16(row.suffix));
            WaitWhileBusy(*Inet1);
            if (IsUnloaded())
                return;
        }

        Label1->setText(QStringLiteral("File caricati. Attendere chiusura collegamento..."));
        Inet1->Execute(QString(), QStringLiteral("QUIT"));
        WaitWhileBusy(*Inet1);
        if (IsUnloaded())
            return;

        Label1->setText(QStringLiteral("Operazione completata"));
        ButtonsBack();
    } catch (const InetError&) {
        if (IsUnloaded())
            return;
        MsgBox(QStringLiteral("ERRORE: Impossibile Connettersi. Riprovare fra qualche istante"),
               MbOkStop);
        ButtonsBack();
    }
}

void Form1::ButtonsBack()
{
    Command1->setEnabled(true);
    Command3->setEnabled(true);
    Command2->setFocusPolicy(Qt::StrongFocus);
    Command1->setFocus();
}
