#include "gui/Form2Layout.h"
#include "gui/Controls.h"
#include "gui/DirListBox.h"
#include "gui/DriveListBox.h"
#include "gui/Twips.h"

#include <QLabel>
#include <QPushButton>

Form2Layout::Form2Layout()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Selezione cartella"));
    SetClientSizeTwips(5670, 3975);

    Drive1 = new DriveListBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setGeometry(TwipsRect(60, 3600, 2415, 315));
    Command2 = MakeButton(this, "Command2", QStringLiteral("Annulla"), 4380, 3540, 1215, 375);
    Command1 = MakeButton(this, "Command1", QStringLiteral("Seleziona"), 2955, 3540, 1215, 375);
    Dir1 = new DirListBox(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(TwipsRect(60, 435, 5535, 3015));
    // Wider than the window: cut off at its right edge, as designed.
    Label1 = MakeLabel(this, "Label1", QStringLiteral("Selezionare il percorso dei file da caricare:"),
                       75, 75, 7230, 240);
    Drive1->setAccessibleName(QStringLiteral("Unità"));
    // Linux's screen readers take a drop-down list's name from a label, never from the
    // list itself; this one is not shown.
    auto* driveLabel = new QLabel(QStringLiteral("Unità"), this);
    driveLabel->setObjectName(QStringLiteral("Drive1Label"));
    driveLabel->setBuddy(Drive1);
    driveLabel->hide();
    Dir1->setAccessibleName(QStringLiteral("Cartelle"));
    Label1->setBuddy(Dir1);

    SetAltKey(Command1, 'S');
    SetAltKey(Command2, 'A');

    setTabOrder(Drive1, Command2);
    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Dir1);
    Drive1->setFocus();
}
