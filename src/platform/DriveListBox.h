#pragma once
#include <QComboBox>

// The drive list: the machine's drives (on Linux the mounted file systems' roots).
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);
};
