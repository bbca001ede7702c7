#include "support/WindowTestSupport.h"
#include "gui/WindowRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

void ResetWindows()
{
    WindowRegistry::Instance().UnloadAll();
    WindowRegistry::Instance().ClearFactories();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct MessageBoxWatcher::State {
    QTimer timer;
    QList<SeenMessageBox> seen;
};

MessageBoxWatcher::MessageBoxWatcher() : state_(new State)
{
    // Polls for the modal box: it runs its own event loop, in which this timer fires.
    QObject::connect(&state_->timer, &QTimer::timeout, [this] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            state_->seen.append({box->text(), box->windowTitle(),
                                 box->icon() == QMessageBox::Critical,
                                 box->icon() != QMessageBox::NoIcon, QFile::exists("morvantil.lock")});
            box->button(QMessageBox::Ok)->click();
        }
    });
    state_->timer.start(10);
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    delete state_;
}

const QList<SeenMessageBox>& MessageBoxWatcher::seen() const
{
    return state_->seen;
}
