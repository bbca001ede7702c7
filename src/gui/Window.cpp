#include "gui/Window.h"
#include "gui/Twips.h"

#include "gui/Accessibility.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>

Window::Window(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    InstallAccessibility();
}

void Window::RunLoad()
{
    loading_ = true;
    Load();
    loading_ = false;
    // Unloaded by its own load step, or meanwhile: destroyed once that step has returned.
    if (unloaded_)
        deleteLater();
}

void Window::Show()
{
    if (unloaded_)
        return;
    show();
    raise();
    activateWindow();
}

void Window::Hide()
{
    if (loading_)
        hiddenDuringLoad_ = true;
    hide();
}

void Window::Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    hide();
    emit Unloaded(this);
    // Never under its own load step, which may wait in an event loop of its own.
    if (!loading_)
        deleteLater();
}

void Window::closeEvent(QCloseEvent* event)
{
    // The window decides itself; Qt's own close would only hide it.
    event->ignore();
    TitleBarClose();
}

void Window::SetClientSizeTwips(int width, int height)
{
    setFixedSize(TwipsToPixels(width), TwipsToPixels(height));
}

bool Window::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // The focus shows from the start, not only once Tab has been pressed: the operator
    // may never touch the mouse.
    if (event->type() == QEvent::WindowActivate)
        setAttribute(Qt::WA_KeyboardFocusChange);
    return handled;
}

void Window::keyPressEvent(QKeyEvent* event)
{
    // Keys the focused control leaves unused arrive here. A held key presses once.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && plain) {
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
            button && button->isEnabled() && !event->isAutoRepeat())
            button->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && plain) {
        if (!event->isAutoRepeat())
            EscapeKey();
        return;
    }
    QWidget::keyPressEvent(event);
}
