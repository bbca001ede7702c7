#pragma once
#include <QComboBox>

// The drive list: the machine's drives ("c:" and so on on Windows; elsewhere the roots of
// the mounted file systems), starting on the one that holds the working directory.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // The selected drive, as the list names it.
    QString Drive() const { return currentText(); }
    // False for a drive that cannot be read now (an empty removable drive, a lost
    // network drive), found out without the system asking the operator for a disk.
    bool Ready() const;

signals:
    // The selected drive has changed.
    void Change();

protected:
    // Some styles draw no focus on a drop-down list that cannot be typed in: this one
    // always shows it.
    void paintEvent(QPaintEvent* event) override;
};
