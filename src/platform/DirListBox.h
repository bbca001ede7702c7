#pragma once
#include <QListWidget>

// The directory list: the folders from the root down to the current directory, then
// the current directory's subdirectories. Its value is the current directory.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);
};
