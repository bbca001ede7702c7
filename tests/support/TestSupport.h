#pragma once
// What several test programs share: a scratch working directory, the window registry
// reset between cases, and answering the modal message boxes the program raises.
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// Makes a fresh temporary folder the working directory for one test case, and puts
// the previous one back afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir dir_;
    QString previous_;
};

// Unloads every window, deletes them, and forgets the factories.
void ResetWindows();

// A message box seen by MessageBoxWatcher.
struct SeenMessageBox {
    QString text;
    QString title;
    bool stopIcon = false;
    bool anyIcon = false;
};

// Answers every modal message box with OK as soon as it appears, and remembers it.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    const QList<SeenMessageBox>& seen() const;

private:
    struct State;
    State* state_;
};

// Runs a command-line program and returns its exit code; stdout into *out.
int RunProgram(const QString& program, const QStringList& arguments, QByteArray* out = nullptr,
               int timeoutMs = 30000);
