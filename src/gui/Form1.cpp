#include "gui/Form1.h"
#include "core/transfer/Inet.h"
#include "core/settings/SettingsFile.h"
#include "core/transfer/TransferSequence.h"
#include "gui/CheckForUpdate.h"
#include "gui/Form3.h"
#include "gui/MessageBox.h"
#include "gui/ScheduledRunNotice.h"
#include "gui/WindowRegistry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

Form1::Form1(const ServerAddresses& servers)
    : Inet1(new Inet(this, servers.requestTimeoutSeconds)), servers_(servers)
{
    Inet1->setObjectName(QStringLiteral("Inet1"));
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    // A window closed during an upload stops the transfer, which removes the file it cut
    // short and says QUIT; the run then ends quietly.
    connect(this, &Window::Unloaded, Inet1, &Inet::Stop);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
}

void Form1::Load()
{
#if MORVANTIL_SELF_UPDATE
    CheckForUpdate(*this, *Inet1, servers_.updateBaseUrl, servers_.updatePublicKey);
    // Once the new version's installer runs, this window is closed and the program ends.
    if (IsUnloaded())
        return;
#endif

    TellOfFailedScheduledRun(this);

    const QStringList names = TransferSequence::LocalNames();
    dia = names[0];
    cil = names[1];
    diaimp = names[2];
    cilimp = names[3];
    prof = names[4];

    const Settings settings = ReadSettings();
    if (!settings.filesExist) {
        OpenSettings();
        return;
    }
    path = settings.path;
    com = settings.com;
    if (path.isEmpty() || com.isEmpty())
        OpenSettings();
}

void Form1::OpenSettings()
{
    Hide();
    Form3* settings = WindowRegistry::Instance().Get<Form3>();
    connect(settings, &Form3::Saved, this, &Form1::SettingsSaved, Qt::UniqueConnection);
    connect(settings, &Form3::Done, this, &Window::Show, Qt::UniqueConnection);
    settings->Show();
}

void Form1::SettingsSaved(const QString& folder, const QString& code)
{
    path = folder;
    com = code;
}

void Form1::Command2_Click()
{
    Unload();
}

void Form1::Command3_Click()
{
    OpenSettings();
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

    TransferSequence transfer(*Inet1, servers_, {dia, cil, diaimp, cilimp, prof});
    switch (transfer.Prepare(path, com)) {
    case TransferSequence::Readiness::NotConfigured:
        MsgBox(TransferSequence::NotConfiguredText);
        OpenSettings();
        return;
    case TransferSequence::Readiness::FilesMissing:
        MsgBox(TransferSequence::FilesMissingText, MbOkStop, QStringLiteral("Attenzione!"));
        return;
    case TransferSequence::Readiness::AnotherRun:
        MsgBox(TransferSequence::AnotherRunText, MbOkStop, QStringLiteral("Attenzione!"));
        return;
    case TransferSequence::Readiness::LockUnusable:
        MsgBox(TransferSequence::FailedText, MbOkStop);
        return;
    case TransferSequence::Readiness::Ready:
        break;
    }

    // Disabling the focused button would pass the focus along the tab order to "chiudi",
    // where the operator's next Space or Enter would end the program mid-upload. During
    // the run the focus rests on the status label, where a screen reader hears each step,
    // and no button can take it from the keyboard; a mouse click on "chiudi" still closes.
    Label1->setFocusPolicy(Qt::TabFocus);
    Label1->setFocus(Qt::OtherFocusReason);
    Command2->setFocusPolicy(Qt::NoFocus);
    const QKeySequence closeKey = Command2->shortcut();
    Command2->setShortcut(QKeySequence());
    Command1->setEnabled(false);
    Command3->setEnabled(false);

    const auto outcome = transfer.Send([this](const QString& text) { Label1->setText(text); },
                                       [this] { return IsUnloaded(); });
    // Closed meanwhile: the transfer has been stopped and nobody is left to tell.
    if (outcome == TransferSequence::Outcome::Cancelled)
        return;
    if (outcome == TransferSequence::Outcome::Failed)
        MsgBox(TransferSequence::FailedText, MbOkStop);
    Command2->setShortcut(closeKey);
    ButtonsBack();
}

void Form1::ButtonsBack()
{
    Command1->setEnabled(true);
    Command3->setEnabled(true);
    Command2->setFocusPolicy(Qt::StrongFocus);
    Command1->setFocus(Qt::OtherFocusReason);
    Label1->setFocusPolicy(Qt::NoFocus);
}
