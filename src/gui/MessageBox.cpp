#include "gui/MessageBox.h"

#include <QMessageBox>

void MsgBox(const QString& text, int style, const QString& title)
{
    QMessageBox box(style == MbOkStop ? QMessageBox::Critical : QMessageBox::NoIcon, title, text,
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MsgBox"));
    box.exec();
}
