#include "gui/Form4.h"
#include "gui/Controls.h"

#include <QLabel>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#endif

// The colour of an active window's border, which the bar's window uses as background.
static QColor ActiveBorderColour()
{
#ifdef Q_OS_WIN
    const unsigned long colour = Win32ActiveBorderColour(); // 0x00BBGGRR
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
#else
    return QColor(180, 180, 180);
#endif
}

Form4::Form4()
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Controllo aggiornamenti in corso..."));
    SetClientSizeTwips(6105, 390);
    QPalette background = palette();
    background.setColor(QPalette::Window, ActiveBorderColour());
    setPalette(background);
    setAutoFillBackground(true);

    Label1 = MakeStatusLabel(this, "Label1", QString(), 120, 105, 5880, 195);
    Label1->setFont(MsSansSerifBold());
    // The window's one control holds the focus, so that what it says is read out as it
    // changes; it still takes no focus from Tab or the mouse.
    Label1->setFocus();
}
