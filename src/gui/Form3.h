#pragma once
#include "gui/Form3Layout.h"

// The settings window. It knows no other window: whoever opens it hears what it saved and
// when it is done.
class Form3 : public Form3Layout {
    Q_OBJECT
public:
    Form3();

    void Salva();           // check both boxes, write both files, hand the values over
    void Chiudi();          // close without saving
    void Picture1_Click();  // hide, and let the folder picker fill "percorso"

signals:
    // "Salva" wrote both files: the values, as the main window takes them.
    void Saved(const QString& path, const QString& com);
    // The window closes after "Salva" or "Chiudi": the one that opened it comes back.
    void Done();

protected:
    // Fills the boxes from the settings files that exist.
    void Load() override;
    // Closing from the title bar does what "Chiudi" does, so the main window returns.
    void TitleBarClose() override { Chiudi(); }
    void EscapeKey() override { Chiudi(); }

private:
    void FolderChosen(const QString& folder);
};
