#pragma once
#include "platform/Window.h"

class Inet;
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
    Inet* Inet1;

protected:
    // requestTimeoutSeconds: the transfer component's stored request time-out.
    explicit Form1Layout(int requestTimeoutSeconds = 60);
};
