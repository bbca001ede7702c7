#pragma once
#include "ui/Form3Layout.h"

// The settings window.
class Form3 : public Form3Layout {
    Q_OBJECT
public:
    Form3();

    void Chiudi();  // close without saving, show the main window again

protected:
    // Closing from the title bar does what "Chiudi" does, so the main window returns.
    void TitleBarClose() override { Chiudi(); }
};
