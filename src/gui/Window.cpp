#include "gui/Window.h"
#include "gui/Twips.h"

#include <QCloseEvent>

Window::Window(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
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
