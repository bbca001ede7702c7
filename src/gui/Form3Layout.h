#pragma once
#include "gui/PictureButton.h"
#include "gui/Window.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The settings window's controls, as they stand when the window is created.
class Form3Layout : public Window {
    Q_OBJECT
public:
    QLineEdit* comune;
    QLineEdit* percorso;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Command1;  // "Salva"
    QPushButton* Command2;  // "Chiudi"
    PictureButton* Picture1;  // opens the folder picker

protected:
    Form3Layout();
    QAccessible::Role AccessibleRole() const override { return QAccessible::Dialog; }
};
