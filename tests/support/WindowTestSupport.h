#pragma once
// What the window tests share beside the rest: the window registry reset between cases,
// and the modal message boxes the program raises answered.
#include "support/TestSupport.h"

#include <QList>
#include <QString>

// Unloads every window, deletes them, and forgets the factories.
void ResetWindows();

// A message box seen by MessageBoxWatcher.
struct SeenMessageBox {
    QString text;
    QString title;
    bool stopIcon = false;
    bool anyIcon = false;
    bool transferLocked = false;  // morvantil.lock was in the working directory meanwhile
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
