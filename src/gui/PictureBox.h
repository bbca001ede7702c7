#pragma once
#include <QLabel>

// Shows one stored image unscaled from its top-left corner; the screen readers' text
// for it is its accessible name.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    PictureBox(const QString& imageResource, QWidget* parent);
};
