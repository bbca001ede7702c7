#pragma once
#include "gui/Form2Layout.h"

// The folder picker. Each opening is a fresh window on the working directory: both ways
// out unload it. It knows no other window: whoever opened it hears how it ended.
class Form2 : public Form2Layout {
    Q_OBJECT
public:
    Form2();

    void Seleziona();  // hand over the current directory
    void Annulla();    // back, nothing chosen

signals:
    void Chosen(const QString& folder);
    void Cancelled();

protected:
    // Closing from the title bar does what "Annulla" does, so the settings window returns.
    void TitleBarClose() override { Annulla(); }
    void EscapeKey() override { Annulla(); }

private:
    void Drive1_Change();
};
