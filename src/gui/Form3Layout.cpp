#include "gui/Form3Layout.h"
#include "gui/Controls.h"
#include "gui/PictureButton.h"
#include "gui/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Form3Layout::Form3Layout()
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Impostazioni"));
    SetClientSizeTwips(4320, 2430);

    comune = MakeTextBox(this, "comune", 120, 480, 4095, 315);
    percorso = MakeTextBox(this, "percorso", 120, 1320, 3615, 315);
    Label1 = MakeLabel(this, "Label1", QStringLiteral("Codice ISTAT Comune"), 120, 240, 3135, 255);
    Label2 = MakeLabel(this, "Label2", QStringLiteral("Percorso files Brenola"), 120, 1080, 2535, 255);
    Command1 = MakeButton(this, "Command1", QStringLiteral("Salva"), 120, 1920, 1335, 420);
    Command2 = MakeButton(this, "Command2", QStringLiteral("Chiudi"), 2880, 1920, 1335, 420);
    Picture1 = new PictureButton(QStringLiteral(":/images/browse.gif"), this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(TwipsRect(3840, 1320, 375, 375));
    Picture1->setCursor(Qt::PointingHandCursor);
    Picture1->setAccessibleName(QStringLiteral("Scegli cartella"));
    SetAltKey(comune, 'I');
    SetAltKey(percorso, 'P');
    SetAltKey(Command1, 'S');
    SetAltKey(Command2, 'C');
    // Each box is named by the label above it.
    Label1->setBuddy(comune);
    Label2->setBuddy(percorso);

    setTabOrder(comune, percorso);
    setTabOrder(percorso, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Picture1);
    comune->setFocus();
}
