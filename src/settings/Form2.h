#pragma once
#include "ui/Form2Layout.h"

// The folder picker. Each opening is a fresh window on the working directory: both ways
// out unload it.
class Form2 : public Form2Layout {
    Q_OBJECT
public:
    Form2();

    void Seleziona();  // put the current directory into the settings window's "percorso"
    void Annulla();    // back to the settings window, nothing chosen

protected:
    // Closing from the title bar does what "Annulla" does, so the settings window returns.
    void TitleBarClose() override { Annulla(); }

private:
    void Drive1_Change();
};
