// What a screen reader meets in the four windows and what a clerk without a mouse can do:
// each control's role, name and focus, the keys, the status heard, enlarged text.
#include "gui/DirListBox.h"
#include "gui/DriveListBox.h"
#include "gui/Form1.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "gui/Form4.h"
#include "gui/WindowRegistry.h"
#include "support/WindowTestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>
#include <memory>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace {

struct Expected {
    const char* object;
    QAccessible::Role role;
    QString name;  // null: any, but not empty
    bool focusable;
};

QMap<QString, QAccessibleInterface*> Descendants(QWidget* window)
{
    QMap<QString, QAccessibleInterface*> found;
    QList<QAccessibleInterface*> todo{QAccessible::queryAccessibleInterface(window)};
    while (!todo.isEmpty()) {
        QAccessibleInterface* parent = todo.takeFirst();
        for (int i = 0; i < parent->childCount(); ++i)
            if (QAccessibleInterface* child = parent->child(i)) {
                // The rows of a list are its children too, each with the list's object.
                if (child->object() && !child->object()->objectName().isEmpty()
                    && QAccessible::queryAccessibleInterface(child->object()) == child)
                    found.insert(child->object()->objectName(), child);
                todo << child;
            }
    }
    return found;
}

void CheckTree(QWidget* window, QAccessible::Role role, const QList<Expected>& controls)
{
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(window);
    QCOMPARE(top->role(), role);
    QCOMPARE(top->text(QAccessible::Name), window->windowTitle());
    const auto found = Descendants(window);
    for (const Expected& c : controls) {
        QAccessibleInterface* control = found.value(c.object);
        QVERIFY2(control, c.object);
        QVERIFY2(control->role() == c.role, c.object);
        // What a screen reader says for it: on Linux a drop-down list's name is its choice,
        // and its label is in a relation, as it is for a text box.
        const auto labels = control->relations(QAccessible::Label);
        const QString name = (labels.isEmpty() ? control : labels.first().first)->text(QAccessible::Name);
        QVERIFY2(c.name.isNull() ? !name.isEmpty() : name == c.name, qPrintable(c.object + (": " + name)));
        QVERIFY2(control->state().focusable == c.focusable, c.object);
    }
    // Nothing the keyboard reaches is unnamed.
    for (auto it = found.begin(); it != found.end(); ++it)
        if (it.value()->state().focusable)
            QVERIFY2(!it.value()->text(QAccessible::Name).isEmpty(), qPrintable(it.key()));
}

// Each caption whole inside its control, and inside the window.
void CheckTextFits(QWidget* window)
{
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const QFontMetrics metrics = w->fontMetrics();
        const int visible = std::min(w->width(), window->width() - w->x());
        QString text;
        int margins = 0;
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            text = button->text().remove(u'&');
            margins = 4;  // the frame
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            text = label->text().remove(u'&');
        } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<DriveListBox*>(w)) {
            text = QStringLiteral("Ég");
        }
        if (text.isEmpty())
            continue;
        QVERIFY2(metrics.horizontalAdvance(text) + margins <= visible,
                 qPrintable(QStringLiteral("%1 \"%2\": %3 + %4 px in %5 px, %6 pt").arg(w->objectName(), text)
                                .arg(metrics.horizontalAdvance(text)).arg(margins).arg(visible)
                                .arg(QFontInfo(w->font()).pointSizeF())));
        QVERIFY2(metrics.height() <= w->height(), qPrintable(w->objectName() + ": " + text));
    }
}

QList<std::pair<QAccessible::Event, QString>> heard;

}  // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }
    void rolesNamesAndFocus();
    void keysAlone();
    void enlargedTextFits();
    void statusChangesAnnounced();
};

void TestAccessibility::rolesNamesAndFocus()
{
    const auto main = std::make_unique<Form1>();
    CheckTree(main.get(), QAccessible::Window,
              {{"Command1", QAccessible::Button, "Trasferimento", true},
               {"Command2", QAccessible::Button, "chiudi", true},
               {"Command3", QAccessible::Button, "Impostazioni", true},
               {"Label1", QAccessible::StatusBar, "pronto", false},
               {"Picture1", QAccessible::Graphic, QString(), false},
               {"Picture2", QAccessible::Graphic, QString(), false}});

    const auto picker = std::make_unique<Form2>();
    CheckTree(picker.get(), QAccessible::Dialog,
              {{"Drive1", QAccessible::ComboBox, "Unità", true},
               {"Dir1", QAccessible::List, "Cartelle", true},
               {"Command1", QAccessible::Button, "Seleziona", true},
               {"Command2", QAccessible::Button, "Annulla", true}});
    // The open folder, as "Seleziona" takes it, and each row's level.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(picker->Dir1);
    const QString open = QStringLiteral("Cartella aperta: ") + picker->Dir1->Path();
    QCOMPARE(list->text(QAccessible::Description), open);
    QVERIFY(QAccessible::queryAccessibleInterface(picker->Command1)->text(QAccessible::Description).endsWith(picker->Dir1->Path()));
    const int depth = picker->Dir1->currentRow() + 1;
    QCOMPARE(list->child(0)->text(QAccessible::Description), QString("livello 1"));
    QCOMPARE(list->child(depth - 1)->text(QAccessible::Description), QString("cartella aperta, livello %1").arg(depth));
    if (picker->Dir1->count() > depth)
        QCOMPARE(list->child(depth)->text(QAccessible::Description), QString("livello %1").arg(depth + 1));

    const auto settings = std::make_unique<Form3>();
    CheckTree(settings.get(), QAccessible::Dialog,
              {{"comune", QAccessible::EditableText, "Codice ISTAT Comune", true},
               {"percorso", QAccessible::EditableText, "Percorso files Brenola", true},
               {"Command1", QAccessible::Button, "Salva", true},
               {"Command2", QAccessible::Button, "Chiudi", true},
               {"Picture1", QAccessible::Button, "Scegli cartella", true}});
    const auto labelled = QAccessible::queryAccessibleInterface(settings->percorso)->relations(QAccessible::Label);
    QCOMPARE(labelled.size(), 1);
    QCOMPARE(labelled.first().first->object(), settings->Label2);

    const auto progress = std::make_unique<Form4>();
    CheckTree(progress.get(), QAccessible::Window, {{"Label1", QAccessible::StatusBar, "", false}});
}

void TestAccessibility::keysAlone()
{
    ScratchDir scratch;
    auto& windows = WindowRegistry::Instance();
    // The main window: Enter presses the focused button, Escape is nothing.
    const auto main = std::make_unique<Form1>();
    main->Show();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    QVERIFY(main->testAttribute(Qt::WA_KeyboardFocusChange));  // the focus shows at once
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(main->isVisible());
    QTest::keyClick(main.get(), Qt::Key_Tab);
    QTest::keyClick(main.get(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), main->Command3);
    QTest::keyClick(main->Command3, Qt::Key_Return);
    QPointer<Form3> settings = windows.Loaded<Form3>();
    QVERIFY(settings && settings->isVisible() && !main->isVisible());

    // The settings window: the chooser is last in the tab order and opens the picker on
    // Enter, Space or a screen reader's press; Escape leaves the picker, then the window.
    QVERIFY(QTest::qWaitForWindowActive(settings));
    QCOMPARE(QApplication::focusWidget(), settings->comune);
    QTest::keyClick(settings, Qt::Key_P, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), settings->percorso);
    QTest::keyClick(settings, Qt::Key_I, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), settings->comune);
    for (const auto key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_unknown}) {
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), settings->Picture1);
        if (key == Qt::Key_unknown) {
            QAccessibleActionInterface* actions =
                QAccessible::queryAccessibleInterface(settings->Picture1)->actionInterface();
            QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
            actions->doAction(QAccessibleActionInterface::pressAction());
        } else {
            QTest::keyClick(settings->Picture1, key);
        }
        QTRY_VERIFY(windows.Loaded<Form2>());  // a screen reader's press is animated
        QPointer<Form2> picker = windows.Loaded<Form2>();
        QVERIFY(picker->isVisible() && !settings->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(picker));
        QCOMPARE(QApplication::focusWidget(), picker->Drive1);
        QTest::keyClick(picker->Drive1, Qt::Key_Escape);
        QVERIFY(picker->IsUnloaded());
        QVERIFY(settings->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(settings));
        settings->comune->setFocus();
    }
    QTest::keyClick(settings->comune, Qt::Key_Escape);
    QVERIFY(settings->IsUnloaded());
    QVERIFY(main->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    QTest::keyClick(main.get(), Qt::Key_I, Qt::AltModifier);  // pressed as a click: animated
    QTRY_VERIFY(windows.Loaded<Form3>() && !main->isVisible());
}

void TestAccessibility::enlargedTextFits()
{
    const QFont designed = QApplication::font();
    const double points = QFontInfo(designed).pointSizeF();
    for (const double factor : {1.0, 1.5, 2.0}) {
        QFont font = designed;
        font.setPointSizeF(std::max(points, 9.0) * factor);
        QApplication::setFont(font);
        const auto main = std::make_unique<Form1>();
        QCOMPARE(main->size(), (QSize(312, 176) * factor));  // the layout keeps its proportions
        main->Label1->setText(QStringLiteral("Caricamento file PROFESSIONISTI in corso..."));
        CheckTextFits(main.get());
        const auto picker = std::make_unique<Form2>();
        CheckTextFits(picker.get());
        const auto settings = std::make_unique<Form3>();
        CheckTextFits(settings.get());
        const auto progress = std::make_unique<Form4>();
        progress->Label1->setText(QStringLiteral("Nuova versione disponibile. Scaricamento in corso..."));
        CheckTextFits(progress.get());
    }
    QApplication::setFont(designed);
}

void TestAccessibility::statusChangesAnnounced()
{
    // Qt raises accessibility events only while a platform bridge listens.
    if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 5000))
        QSKIP(qPrintable(QGuiApplication::platformName()
                         + ": no accessibility bridge here; on Linux it needs an X display and the AT-SPI bus"));
    heard.clear();
    QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
        QAccessibleInterface* iface = event->accessibleInterface();
        if (iface && iface->object() && !iface->object()->objectName().isEmpty())
            heard.append({event->type(), iface->object()->objectName() + " " + iface->text(QAccessible::Name)});
    });

    // A run that cannot connect: the focus moves to the status as it starts, and back.
    ScratchDir scratch;
    QDir().mkdir(QStringLiteral("export"));
    for (const char* name : {"DIA.TXT", "PERMCOSTR.TXT", "DIA_IMPRESE.TXT", "CLI_IMPRESE.TXT", "PROFESSIONISTI.TXT"})
        scratch.write(QStringLiteral("export/") + name, "x");
    scratch.write(QStringLiteral("path.dat"), scratch.file(QStringLiteral("export")).toUtf8() + "\r\n");
    scratch.write(QStringLiteral("com.dat"), "001122\r\n");
    const ServerAddresses nowhere{QStringLiteral("127.0.0.1:1"), QStringLiteral("http://127.0.0.1:1"), 5};
    WindowRegistry::Instance().SetFactory<Form1>([nowhere] { return new Form1(nowhere); });
    MessageBoxWatcher boxes;
    Form1* main = WindowRegistry::Instance().Start<Form1>();
    QVERIFY(QTest::qWaitForWindowActive(main));
    heard.clear();
    QTest::keyClick(main->Command1, Qt::Key_Return);
    QCOMPARE(boxes.seen().size(), 1);
    const auto focusOnStatus = heard.indexOf({QAccessible::Focus, "Label1 pronto"});
    const auto started = heard.indexOf({QAccessible::NameChanged, "Label1 elaborazione in corso..."});
    const auto back = heard.lastIndexOf({QAccessible::Focus, "Command1 Trasferimento"});
    QVERIFY2(focusOnStatus >= 0 && started > focusOnStatus && back > started, qPrintable(QString::number(heard.size())));

    const auto progress = std::make_unique<Form4>();
    progress->Label1->setText(QStringLiteral("Nuova versione disponibile. Scaricamento in corso..."));
    QVERIFY(heard.contains({QAccessible::NameChanged, "Label1 Nuova versione disponibile. Scaricamento in corso..."}));
    QAccessible::installUpdateHandler(nullptr);
}

int main(int argc, char* argv[])
{
#ifdef Q_OS_LINUX
    // The events need Qt's AT-SPI bridge: this program runs again on an X display of its
    // own with a session bus, where the accessibility bus starts, when the tools are there.
    if (qEnvironmentVariableIsEmpty("MORVANTIL_A11Y_BUS") && !QStandardPaths::findExecutable("dbus-run-session").isEmpty()
        && !QStandardPaths::findExecutable("Xvfb").isEmpty()) {
        qputenv("MORVANTIL_A11Y_BUS", "1");
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        const char* display =
            "exec 5<> <(:); Xvfb -displayfd 5 -nolisten tcp -noreset -screen 0 1024x768x24 >/dev/null 2>&1 & x=$!; "
            "dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null; "
            "if read -r -t 20 d <&5; then DISPLAY=:$d QT_QPA_PLATFORM=xcb \"$@\"; s=$?; else "
            "QT_QPA_PLATFORM=offscreen \"$@\"; s=$?; fi; kill $x; wait; exit $s";
        std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--"),
                                const_cast<char*>("bash"), const_cast<char*>("-c"), const_cast<char*>(display),
                                const_cast<char*>("bash")};
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        execvp(args[0], args.data());
    }
#endif
    QApplication app(argc, argv);
    TestAccessibility test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_accessibility.moc"
