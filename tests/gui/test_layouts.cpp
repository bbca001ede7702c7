// The four windows as they stand when created: captions, client areas, every control's
// place, text, tab order and look, the images unscaled.
#include "gui/Form1.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "gui/Form4.h"
#include "gui/PictureBox.h"
#include "support/WindowTestSupport.h"

#include "core/transfer/Inet.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <memory>
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

struct Control {
    const char* name;
    QString text;  // caption or content; null: not checked
    QRect pixels;  // left, top, width, height at 96 dpi
};

QString TextOf(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    return QString();
}

void CheckWindow(QWidget* window, const QString& caption, QSize client, const QList<Control>& controls)
{
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(window->size(), client);
    QCOMPARE(window->minimumSize(), client);  // fixed: no resizing
    QCOMPARE(window->maximumSize(), client);
    for (const Control& c : controls) {
        auto* w = window->findChild<QWidget*>(QString::fromLatin1(c.name), Qt::FindDirectChildrenOnly);
        QVERIFY2(w, c.name);
        QVERIFY2(w->geometry() == c.pixels,
                 qPrintable(QStringLiteral("%1 at %2,%3 %4x%5").arg(c.name).arg(w->x()).arg(w->y())
                                .arg(w->width()).arg(w->height())));
        if (!c.text.isNull())
            QCOMPARE(TextOf(w), c.text);
        QVERIFY2(w->isEnabled(), c.name);
    }
}

// The focus chain from the first focusable control, as Tab walks it.
QStringList TabOrder(QWidget* window, QWidget* first, int count)
{
    QStringList names;
    QWidget* w = first;
    for (int i = 0; i < count; ++i) {
        names << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while (w->focusPolicy() == Qt::NoFocus || !window->isAncestorOf(w));
    }
    return names;
}

bool IsNavyOnWhite(QLabel* label)
{
    return label->autoFillBackground() && label->palette().color(QPalette::Window) == QColor(0, 0, 128)
        && label->palette().color(QPalette::WindowText) == QColor(255, 255, 255);
}

}  // namespace

class TestLayouts : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }
    void mainWindow();
    void folderPicker();
    void settingsWindow();
    void progressWindow();
    void imagesAsStored();
};

void TestLayouts::mainWindow()
{
    auto form = std::make_unique<Form1>();
    CheckWindow(form.get(), "Trasferimento file da Brenola v1.3", {312, 176},
                {{"Command1", "Trasferimento", {5, 113, 93, 28}},
                 {"Command2", "chiudi", {248, 113, 58, 28}},
                 {"Label1", "pronto", {8, 74, 297, 18}},
                 {"Command3", "Impostazioni", {114, 113, 97, 28}},
                 {"Picture1", QString(), {8, 8, 297, 62}},
                 {"Label2", QString(), {7, 158, 199, 15}},
                 {"Picture2", QString(), {255, 154, 52, 22}},
                 {"Line1", QString(), {9, 152, 296, 1}}});
    QVERIFY(IsNavyOnWhite(form->Label1));
    QVERIFY(!form->Label2->text().isEmpty());
    QVERIFY(!form->windowIcon().isNull());
    QVERIFY(form->Inet1);
    QCOMPARE(form->Inet1->objectName(), QString("Inet1"));
    QCOMPARE(TabOrder(form.get(), form->Command1, 3), QStringList({"Command1", "Command2", "Command3"}));

    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QCOMPARE(QApplication::focusWidget(), form->Command1);
    for (QPushButton* b : {form->Command1, form->Command2, form->Command3})
        QVERIFY(!b->isDefault());
}

void TestLayouts::folderPicker()
{
    auto form = std::make_unique<Form2>();
    CheckWindow(form.get(), "Selezione cartella", {378, 265},
                {{"Drive1", QString(), {4, 240, 161, 21}},
                 {"Command2", "Annulla", {292, 236, 81, 25}},
                 {"Command1", "Seleziona", {197, 236, 81, 25}},
                 {"Dir1", QString(), {4, 29, 369, 201}},
                 {"Label1", "Selezionare il percorso dei file da caricare:", {5, 5, 482, 16}}});
    // "Annulla" ends where the directory list ends; the prompt's text fits the window.
    QCOMPARE(form->Command2->geometry().right(), form->findChild<QWidget*>("Dir1")->geometry().right());
    QVERIFY(form->Label1->fontMetrics().horizontalAdvance(form->Label1->text()) + 5 <= form->width());
    QCOMPARE(TabOrder(form.get(), form->findChild<QWidget*>("Drive1"), 4),
             QStringList({"Drive1", "Command2", "Command1", "Dir1"}));
}

void TestLayouts::settingsWindow()
{
    auto form = std::make_unique<Form3>();
    CheckWindow(form.get(), "Impostazioni", {288, 162},
                {{"comune", "", {8, 32, 273, 21}},
                 {"percorso", "", {8, 88, 241, 21}},
                 {"Label1", "Codice ISTAT Comune", {8, 16, 209, 17}},
                 {"Label2", "Percorso files Brenola", {8, 72, 169, 17}},
                 {"Command1", "Salva", {8, 128, 89, 28}},
                 {"Command2", "Chiudi", {192, 128, 89, 28}},
                 {"Picture1", QString(), {256, 88, 25, 25}}});
    QCOMPARE(TabOrder(form.get(), form->comune, 6),
             QStringList({"comune", "percorso", "Command1", "Command2", "Picture1", "comune"}));
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QCOMPARE(QApplication::focusWidget(), form->comune);
}

void TestLayouts::progressWindow()
{
    auto form = std::make_unique<Form4>();
    CheckWindow(form.get(), "Controllo aggiornamenti in corso...", {407, 26},
                {{"Label1", "", {8, 7, 392, 13}}});
    QVERIFY(IsNavyOnWhite(form->Label1));
    // Behind the bar: the system colour of an active window's border on Windows, grey elsewhere.
#ifdef Q_OS_WIN
    const COLORREF border = GetSysColor(COLOR_ACTIVEBORDER);
    const QColor background(GetRValue(border), GetGValue(border), GetBValue(border));
#else
    const QColor background(180, 180, 180);
#endif
    QVERIFY(form->autoFillBackground());
    QCOMPARE(form->palette().color(QPalette::Window), background);
    const QFont font = form->Label1->font();
    QCOMPARE(font.families().value(0), QString("MS Sans Serif"));
    QCOMPARE(font.pointSizeF(), 8.25);
    QVERIFY(font.bold());
    QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
    // Whatever face stands in for it, the label's text must fit its 13-pixel bar.
    QVERIFY(QFontMetrics(font).height() <= 16);
}

void TestLayouts::imagesAsStored()
{
    struct Image {
        QString resource;
        QSize size;
        QByteArray magic;
    };
    for (const Image& image : {Image{":/images/banner.gif", {296, 62}, "GIF89a"},
                               Image{":/images/footer.gif", {50, 20}, "GIF89a"},
                               Image{":/images/browse.gif", {25, 21}, "GIF89a"}}) {
        QFile file(image.resource);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.left(6), image.magic);
        QCOMPARE(quint8(bytes[10]) & 0x87, 0x87);  // global table, 2^(7+1) = 256 entries
        QCOMPARE(QImage(image.resource).size(), image.size);
    }
    QFile ico(":/images/morvantil.ico");
    QVERIFY(ico.open(QIODevice::ReadOnly));
    const QByteArray bytes = ico.readAll();
    QCOMPARE(bytes.size(), 3262);
    QCOMPARE(QImage(":/images/morvantil.ico").size(), QSize(32, 32));
    QCOMPARE(quint8(bytes[6 + 4]), quint8(1));  // planes
    QCOMPARE(quint8(bytes[6 + 6]), quint8(24));  // bits per pixel

    // Drawn unscaled from the top-left corner: what the image leaves is the box's own.
    auto form = std::make_unique<Form1>();
    QCOMPARE(form->Picture1->pixmap().size(), QSize(296, 62));
    QVERIFY(!form->Picture1->hasScaledContents());
    QCOMPARE(form->Picture1->alignment(), Qt::AlignLeft | Qt::AlignTop);
    const QImage shot = form->Picture1->grab().toImage();
    QCOMPARE(shot.pixelColor(0, 0), QImage(":/images/banner.gif").pixelColor(0, 0));
    auto settings = std::make_unique<Form3>();
    QCOMPARE(settings->Picture1->pixmap().size(), QSize(25, 21));
    const QImage box = settings->Picture1->grab().toImage();
    QCOMPARE(box.pixelColor(0, 0), QImage(":/images/browse.gif").pixelColor(0, 0));
    QCOMPARE(box.pixelColor(12, 23), settings->Picture1->palette().color(QPalette::Window));
}

QTEST_MAIN(TestLayouts)
#include "test_layouts.moc"
