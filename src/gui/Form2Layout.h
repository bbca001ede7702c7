#pragma once
#include "gui/Window.h"

class DirListBox;
class DriveListBox;
class QLabel;
class QPushButton;

// The folder picker's controls, as they stand when the window is created.
class Form2Layout : public Window {
    Q_OBJECT
public:
    DriveListBox* Drive1;
    QPushButton* Command2;  // "Annulla"
    QPushButton* Command1;  // "Seleziona"
    DirListBox* Dir1;
    QLabel* Label1;

protected:
    Form2Layout();
    QAccessible::Role AccessibleRole() const override { return QAccessible::Dialog; }
};
