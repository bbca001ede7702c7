#pragma once
#include <QLabel>

// Shows one stored image unscaled from its top-left corner and reports a click.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    PictureBox(const QString& imageResource, QWidget* parent);

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
