#pragma once
#include <QString>

// Message-box styles as the program names them.
enum MessageBoxStyle { MbOk = 0, MbOkStop = 16 };

// A modal message box with one OK button; returns when the operator has answered.
void MsgBox(const QString& text, int style = MbOk, const QString& title = QStringLiteral("Morvantil"));
