#include "platform/Inet.h"
#include "platform/MessageBox.h"
#include "transfer/Form1.h"
#include "transfer/TransferSequence.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

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
    // the run no button holds the focus or can take it from the keyboard; a mouse click
    // on "chiudi" still closes.
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    Command2->setFocusPolicy(Qt::NoFocus);
    Command1->setEnabled(false);
    Command3->setEnabled(false);

    const auto outcome = transfer.Send([this](const QString& text) { Label1->setText(text); },
                                       [this] { return IsUnloaded(); });
    // Closed meanwhile: the transfer has been stopped and nobody is left to tell.
    if (outcome == TransferSequence::Outcome::Cancelled)
        return;
    if (outcome == TransferSequence::Outcome::Failed)
        MsgBox(TransferSequence::FailedText, MbOkStop);
    ButtonsBack();
}

void Form1::ButtonsBack()
{
    Command1->setEnabled(true);
    Command3->setEnabled(true);
    Command2->setFocusPolicy(Qt::StrongFocus);
    Command1->setFocus();
}
