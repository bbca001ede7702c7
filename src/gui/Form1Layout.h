#pragma once
#include "gui/Window.h"

class PictureBox;
class QFrame;
class QLabel;
class QPushButton;

// The main window's controls, as they stand when the window is created.
class Form1Layout : public Window {
    Q_OBJECT
public:
    QPushButton* Command1;  // "Trasferimento"
    QPushButton* Command2;  // "chiudi"
    QLabel* Label1;         // status
    QPushButton* Command3;  // "Impostazioni"
    PictureBox* Picture1;   // banner
    QLabel* Label2;         // web address
    PictureBox* Picture2;
    QFrame* Line1;

protected:
    Form1Layout();
};
