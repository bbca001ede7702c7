#include "gui/PictureBox.h"

PictureBox::PictureBox(const QString& imageResource, QWidget* parent) : QLabel(parent)
{
    setPixmap(QPixmap(imageResource));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setScaledContents(false);
    setFocusPolicy(Qt::NoFocus);
}
