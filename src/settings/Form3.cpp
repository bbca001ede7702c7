#include "settings/Form3.h"
#include "platform/MessageBox.h"
#include "platform/WindowRegistry.h"
#include "settings/Form2.h"
#include "settings/SettingsCodePage.h"
#include "settings/SettingsFile.h"
#include "transfer/Form1.h"
#include "ui/PictureBox.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

Form3::Form3()
{
    connect(Command1, &QPushButton::clicked, this, &Form3::Salva);
    connect(Command2, &QPushButton::clicked, this, &Form3::Chiudi);
    connect(Picture1, &PictureBox::Click, this, &Form3::Picture1_Click);
}

void Form3::Load()
{
    // Each file on its own: a missing one leaves only its own box empty.
    if (SettingsFileExists(QStringLiteral("./path.dat")))
        percorso->setText(ReadSettingsLine(QStringLiteral("./path.dat")));
    if (SettingsFileExists(QStringLiteral("./com.dat")))
        comune->setText(ReadSettingsLine(QStringLiteral("./com.dat")));
}

void Form3::Salva()
{
    const QString codice = comune->text();
    const QString cartella = percorso->text();
    // Only an empty box is refused; blanks are a value like any other.
    if (codice.isEmpty() || cartella.isEmpty()) {
        MsgBox(QStringLiteral("Compilare entrambi i campi"), MbOkStop, QStringLiteral("Attenzione!"));
        return;
    }
    if (const QString refusal = SettingsCodePageRefusal(codice, cartella); !refusal.isEmpty()) {
        MsgBox(refusal, MbOkStop, QStringLiteral("Attenzione!"));
        return;
    }

    Form1* main = WindowRegistry::Instance().Get<Form1>();
    main->path = cartella;
    main->com = codice;

    const std::pair<QString, QString> files[] = {{QStringLiteral("./path.dat"), cartella},
                                                 {QStringLiteral("./com.dat"), codice}};
    bool firstWritten = false;
    for (const auto& [name, value] : files) {
        if (!WriteSettingsLine(name, value)) {
            // The window stays open with what was typed, so "Salva" can be tried again
            // once the cause is gone. Writing stops at the first failure, and the message
            // says which file, if any, was saved before it.
            const QString saved =
                firstWritten ? QStringLiteral("Il file %1 è stato salvato, il file %2 no")
                                   .arg(files[0].first.mid(2), name.mid(2))
                             : QStringLiteral("Le impostazioni non sono state salvate");
            MsgBox(QStringLiteral("Impossibile scrivere il file %1 nella cartella\n%2\n\n"
                                  "%3: verificare i permessi e lo spazio libero, poi premere "
                                  "di nuovo \"Salva\".")
                       .arg(name.mid(2), QDir::toNativeSeparators(QDir::currentPath()), saved),
                   MbOkStop, QStringLiteral("Attenzione!"));
            return;
        }
        firstWritten = true;
    }

    main->Show();
    Unload();
}

void Form3::Chiudi()
{
    // Taken before unloading: this window must never be the last one while the main
    // window waits hidden.
    Form1* main = WindowRegistry::Instance().Get<Form1>();
    Unload();
    main->Show();
}

void Form3::Picture1_Click()
{
    Hide();
    WindowRegistry::Instance().Get<Form2>()->Show();
}
