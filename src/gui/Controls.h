#pragma once
// Small helpers that place the layouts' controls from their twip tables.
#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPushButton;
class QLineEdit;
class QWidget;

QPushButton* MakeButton(QWidget* window, const char* name, const QString& caption,
                        int left, int top, int width, int height);
QLabel* MakeLabel(QWidget* window, const char* name, const QString& caption,
                  int left, int top, int width, int height);
QLineEdit* MakeTextBox(QWidget* window, const char* name, int left, int top, int width, int height);
// Alt+letter presses a button, or puts the focus in any other control. The captions stay
// as they are: no underline marks the letter; screen readers tell the key.
void SetAltKey(QWidget* control, char letter);
// A status label (see StatusLabel): navy background, white text.
QLabel* MakeStatusLabel(QWidget* window, const char* name, const QString& caption,
                        int left, int top, int width, int height);
// "MS Sans Serif" 8.25 pt bold, with a sans-serif stand-in where that face is missing;
// larger by as much as the operator's font is.
QFont MsSansSerifBold();
