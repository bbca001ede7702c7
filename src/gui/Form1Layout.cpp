#include "gui/Form1Layout.h"
#include "core/Version.h"
#include "gui/Controls.h"
#include "gui/PictureBox.h"
#include "gui/Twips.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

Form1Layout::Form1Layout()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Trasferimento file da Brenola v") + QLatin1String(ProgramVersion));
    setWindowIcon(QIcon(QStringLiteral(":/images/morvantil.ico")));
    SetClientSizeTwips(4680, 2640);

    Command1 = MakeButton(this, "Command1", QStringLiteral("Trasferimento"), 75, 1695, 1395, 420);
    Command2 = MakeButton(this, "Command2", QStringLiteral("chiudi"), 3720, 1695, 870, 420);
    Label1 = MakeStatusLabel(this, "Label1", QStringLiteral("pronto"), 120, 1110, 4455, 270);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setIndent(4);
    Command3 = MakeButton(this, "Command3", QStringLiteral("Impostazioni"), 1710, 1695, 1455, 420);

    Picture1 = new PictureBox(QStringLiteral(":/images/banner.gif"), this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(TwipsRect(120, 120, 4455, 930));
    Picture1->setAccessibleName(QStringLiteral("Morvantil: da Brenola al server FTP"));

    Label2 = MakeLabel(this, "Label2", QStringLiteral("www.morvantil.it"), 105, 2370, 2985, 225);

    Picture2 = new PictureBox(QStringLiteral(":/images/footer.gif"), this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(TwipsRect(3825, 2310, 780, 330));
    Picture2->setAccessibleName(QStringLiteral("Invio FTP"));

    // A one-pixel horizontal separator from (135, 2280) to (4560, 2280), ends included.
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setLineWidth(1);
    Line1->setGeometry(TwipsToPixels(135), TwipsToPixels(2280),
                       TwipsToPixels(4560) - TwipsToPixels(135) + 1, 1);

    SetAltKey(Command1, 'T');
    SetAltKey(Command2, 'C');
    SetAltKey(Command3, 'I');

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    Command1->setFocus();
}
