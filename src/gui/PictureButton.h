#pragma once
#include <QAbstractButton>
#include <QPixmap>

// A picture that works as a button: its stored image drawn unscaled from the top-left
// corner over the window's background, as a picture box shows it, but reached with Tab,
// pressed with Space or Enter, and seen by screen readers as a button.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    PictureButton(const QString& imageResource, QWidget* parent);

    QPixmap pixmap() const { return image_; }
    QSize sizeHint() const override { return image_.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap image_;
};
