#include "gui/Form3.h"
#include "core/settings/SettingsCodePage.h"
#include "core/settings/SettingsFile.h"
#include "gui/Form2.h"
#include "gui/MessageBox.h"
#include "gui/PictureButton.h"
#include "gui/WindowRegistry.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

Form3::Form3()
{
    connect(Command1, &QPushButton::clicked, this, &Form3::Salva);
    connect(Command2, &QPushButton::clicked, this, &Form3::Chiudi);
    connect(Picture1, &QAbstractButton::clicked, this, &Form3::Picture1_Click);
}

void Form3::Load()
{
    // Each file on its own: a missing one leaves only its own box empty.
    const Settings settings = ReadSettings();
    percorso->setText(settings.path);
    comune->setText(settings.com);
}

void Form3::Salva()
{
    const QString codice = TrimIstatCode(comune->text());
    const QString cartella = percorso->text();
    // Only an empty box is refused; the folder keeps its blanks, the code has none.
    if (codice.isEmpty() || cartella.isEmpty()) {
        MsgBox(QStringLiteral("Compilare entrambi i campi"), MbOkStop, QStringLiteral("Attenzione!"));
        return;
    }
    if (const QString refusal = SettingsCodePageRefusal(codice, cartella); !refusal.isEmpty()) {
        MsgBox(refusal, MbOkStop, QStringLiteral("Attenzione!"));
        return;
    }

    if (const QString failed = WriteSettings(cartella, codice); !failed.isEmpty()) {
        // The window stays open with what was typed, so "Salva" can be tried again once the
        // cause is gone. Writing stops at the first failure, and the message says which
        // file, if any, was saved before it.
        const QString saved = failed == u"com.dat"
                                  ? QStringLiteral("Il file path.dat è stato salvato, il file com.dat no")
                                  : QStringLiteral("Le impostazioni non sono state salvate");
        MsgBox(QStringLiteral("Impossibile scrivere il file %1 nella cartella\n%2\n\n"
                              "%3: verificare i permessi e lo spazio libero, poi premere "
                              "di nuovo \"Salva\".")
                   .arg(failed, QDir::toNativeSeparators(QDir::currentPath()), saved),
               MbOkStop, QStringLiteral("Attenzione!"));
        return;
    }

    // Only now: a failed save leaves the main window with the values it had.
    emit Saved(cartella, codice);
    emit Done();
    Unload();
}

void Form3::Chiudi()
{
    // The window that opened this one comes back first: this one must never be the last
    // one loaded while it waits hidden.
    emit Done();
    Unload();
}

void Form3::Picture1_Click()
{
    Hide();
    Form2* picker = WindowRegistry::Instance().Get<Form2>();
    connect(picker, &Form2::Chosen, this, &Form3::FolderChosen, Qt::UniqueConnection);
    connect(picker, &Form2::Cancelled, this, &Window::Show, Qt::UniqueConnection);
    picker->Show();
}

void Form3::FolderChosen(const QString& folder)
{
    percorso->setText(folder);
    Show();
}
