#pragma once
#include "ui/Form3Layout.h"

// The settings window.
class Form3 : public Form3Layout {
    Q_OBJECT
public:
    Form3();

    void Salva();           // check both boxes, hand the values to the main window, write both files
    void Chiudi();          // close without saving, show the main window again
    void Picture1_Click();  // hide, and let the folder picker fill "percorso"

protected:
    // Fills the boxes from the settings files that exist.
    void Load() override;
    // Closing from the title bar does what "Chiudi" does, so the main window returns.
    void TitleBarClose() override { Chiudi(); }
};
