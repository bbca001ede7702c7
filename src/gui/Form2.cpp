#include "gui/Form2.h"
#include "gui/DirListBox.h"
#include "gui/DriveListBox.h"
#include "gui/MessageBox.h"

#include <QPushButton>

Form2::Form2()
{
    connect(Drive1, &DriveListBox::Change, this, &Form2::Drive1_Change);
    connect(Command1, &QPushButton::clicked, this, &Form2::Seleziona);
    connect(Command2, &QPushButton::clicked, this, &Form2::Annulla);
    // What "Seleziona" takes is the open folder, not the highlighted one: say so.
    const auto describe = [this](const QString& path) {
        Command1->setAccessibleDescription(path.isEmpty() ? QString()
                                                          : QStringLiteral("Prende la cartella aperta: ") + path);
    };
    connect(Dir1, &DirListBox::Opened, this, describe);
    describe(Dir1->Path());
}

void Form2::Drive1_Change()
{
    // A drive that is not ready is passed over in silence: the list stays where it was.
    if (Drive1->Ready())
        Dir1->SetPath(Drive1->Drive());
}

void Form2::Seleziona()
{
    const QString chosen = Dir1->Path();
    if (chosen.isEmpty()) {
        MsgBox(QStringLiteral("Selezionare la cartella di origine"), MbOkStop, QStringLiteral("Attenzione!"));
        return;
    }
    emit Chosen(chosen);
    Unload();
}

void Form2::Annulla()
{
    emit Cancelled();
    Unload();
}
