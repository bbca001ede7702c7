#include "gui/PictureBox.h"

#include <QMouseEvent>

PictureBox::PictureBox(const QString& imageResource, QWidget* parent) : QLabel(parent)
{
    setPixmap(QPixmap(imageResource));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setScaledContents(false);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}
