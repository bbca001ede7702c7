#include "gui/Controls.h"
#include "gui/StatusLabel.h"
#include "gui/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

QPushButton* MakeButton(QWidget* window, const char* name, const QString& caption,
                        int left, int top, int width, int height)
{
    auto* button = new QPushButton(caption, window);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(TwipsRect(left, top, width, height));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLabel* MakeLabel(QWidget* window, const char* name, const QString& caption,
                  int left, int top, int width, int height)
{
    auto* label = new QLabel(caption, window);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(TwipsRect(left, top, width, height));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QLineEdit* MakeTextBox(QWidget* window, const char* name, int left, int top, int width, int height)
{
    auto* box = new QLineEdit(window);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(TwipsRect(left, top, width, height));
    return box;
}

void SetAltKey(QWidget* control, char letter)
{
    const QKeySequence key(QKeyCombination(Qt::AltModifier, Qt::Key(Qt::Key_A + (letter - 'A'))));
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setShortcut(key);
        return;
    }
    auto* shortcut = new QShortcut(key, control);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, control, [control] { control->setFocus(Qt::ShortcutFocusReason); });
}

QLabel* MakeStatusLabel(QWidget* window, const char* name, const QString& caption,
                        int left, int top, int width, int height)
{
    // Its text is set only once it is whole, so that Qt's accessibility layer never meets
    // it as a plain label.
    auto* label = new StatusLabel(window);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(TwipsRect(left, top, width, height));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 128));
    palette.setColor(QPalette::WindowText, QColor(255, 255, 255));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setText(caption);
    return label;
}

QFont MsSansSerifBold()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25 * TextScale());
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}
