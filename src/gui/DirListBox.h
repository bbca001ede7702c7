#pragma once
#include <QListWidget>

// The directory list: one entry per level from the root down to the current directory,
// then the current directory's subdirectories. A double click (or Enter) opens an entry;
// a single click only highlights it. Its value is the current directory. Screen readers
// hear each entry's level and which one is open, as the indents show them.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    // Starts on the process's working directory.
    explicit DirListBox(QWidget* parent = nullptr);

    // The current directory in the platform's form, without a trailing separator
    // except at a root.
    QString Path() const;
    // Moves to a directory from outside (a drive's root, say). False, and nothing
    // changes, when it is not a directory that can be listed.
    bool SetPath(const QString& path);

signals:
    // Another directory is now the current one.
    void Opened(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Open(QListWidgetItem* item);
    // Shows the directory, whether or not its contents can be listed.
    void Fill(const QString& directory);

    QString path_;  // clean, with '/' separators
};
