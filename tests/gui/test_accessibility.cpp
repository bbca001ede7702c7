// What a screen reader meets in the four windows and what a clerk without a mouse can do.
#include "gui/Form1.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "gui/Form4.h"
#include "gui/WindowRegistry.h"
#include "support/WindowTestSupport.h"

#include <QtTest>
#include <QtWidgets>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

using A = QAccessible;

struct Windows {  // one of each, with the longest texts their labels show
    Form1 main;
    Form2 picker;
    Form3 settings;
    Form4 progress;
    QList<QWidget*> all() { return {&main, &picker, &settings, &progress}; }
};

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }

    void rolesAndNames()
    {
        Windows w;
        const QList<std::tuple<QWidget*, A::Role, QList<std::tuple<const char*, A::Role, QString>>>> rows{
            {&w.main, A::Window, {{"Command1", A::Button, "Trasferimento"}, {"Label1", A::StatusBar, "pronto"},
                                  {"Picture1", A::Graphic, "Morvantil: da Brenola al server FTP"}, {"Picture2", A::Graphic, "Invio FTP"}}},
            {&w.picker, A::Dialog, {{"Drive1", A::ComboBox, "Unità"}, {"Dir1", A::List, "Cartelle"}}},
            {&w.settings, A::Dialog, {{"comune", A::EditableText, "Codice ISTAT Comune"},
                                      {"percorso", A::EditableText, "Percorso files Brenola"}, {"Picture1", A::Button, "Scegli cartella"}}},
            {&w.progress, A::Window, {{"Label1", A::StatusBar, ""}}}};
        const auto spoken = [](QAccessibleInterface* c) {  // on Linux a drop-down list's label is in a relation
            const auto labels = c->relations(A::Label);
            return (labels.isEmpty() ? c : labels.first().first)->text(A::Name);
        };
        for (const auto& [window, role, controls] : rows) {
            QAccessibleInterface* top = A::queryAccessibleInterface(window);
            QVERIFY(top->role() == role && top->text(A::Name) == window->windowTitle());
            for (const auto& [object, kind, name] : controls) {
                QAccessibleInterface* control = A::queryAccessibleInterface(window->findChild<QWidget*>(object));
                QVERIFY2(top->indexOfChild(control) >= 0 && control->role() == kind, object);
                QCOMPARE(spoken(control), name);
            }
            for (int i = 0; i < top->childCount(); ++i)  // nothing the keyboard reaches is unnamed
                QVERIFY(!top->child(i)->state().focusable || !spoken(top->child(i)).isEmpty());
        }
    }

    void keysAlone()
    {
        ScratchDir scratch;
        auto& windows = WindowRegistry::Instance();
        const auto main = std::make_unique<Form1>();
        main->Show();
        QVERIFY(QTest::qWaitForWindowActive(main.get()) && main->testAttribute(Qt::WA_KeyboardFocusChange));  // the focus shows at once
        // Escape leaves the main window be; Return presses the third button.
        for (const auto key : {Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return})
            QTest::keyClick(QApplication::focusWidget(), key);
        QPointer<Form3> settings = windows.Loaded<Form3>();
        QVERIFY(settings && !main->isVisible() && QTest::qWaitForWindowActive(settings));
        // The folder chooser is last in the tab order and a screen reader can press it.
        settings->percorso->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), settings->Picture1);
        A::queryAccessibleInterface(settings->Picture1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(windows.Loaded<Form2>() && !settings->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(windows.Loaded<Form2>()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!windows.Loaded<Form2>() && settings->isVisible() && QTest::qWaitForWindowActive(settings));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(settings->IsUnloaded() && main->isVisible());
    }

    void enlargedTextFits()
    {
        const QFont designed = QApplication::font();
        for (const double factor : {1.5, 2.0}) {
            QFont font = designed;
            font.setPointSizeF(std::max(QFontInfo(designed).pointSizeF(), 9.0) * factor);
            QApplication::setFont(font);
            Windows windows;
            windows.main.Label1->setText("Caricamento file PROFESSIONISTI in corso...");
            windows.progress.Label1->setText("Nuova versione disponibile. Scaricamento in corso...");
            for (QWidget* window : windows.all())
                for (QWidget* w : window->findChildren<QWidget*>()) {
                    auto* button = qobject_cast<QPushButton*>(w);
                    const auto* label = qobject_cast<QLabel*>(w);
                    const QString text = label ? label->text() : button ? button->text() : qobject_cast<QLineEdit*>(w) ? "Ég" : "";
                    const int room = std::min(w->width(), window->width() - w->x()) - (button ? 4 : 0);
                    QVERIFY2(text.isEmpty() || (w->fontMetrics().horizontalAdvance(text) <= room && w->fontMetrics().height() <= w->height()),
                             qPrintable(QString("%1 at %2").arg(text).arg(factor)));
                }
        }
        QApplication::setFont(designed);
    }

    void statusChangesAnnounced()
    {
        if (!QTest::qWaitFor([] { return A::isActive(); }, 5000))
            QSKIP(qPrintable(QGuiApplication::platformName() + ": no accessibility bridge (on Linux: X and the AT-SPI bus)"));
        static QStringList heard;
        A::installUpdateHandler([](QAccessibleEvent* e) {
            if (e->accessibleInterface() && (e->type() == A::Focus || e->type() == A::NameChanged))
                heard << e->object()->objectName() + " " + e->accessibleInterface()->text(A::Name);
        });
        // A run that cannot connect: the focus on the status as it starts, and back after.
        ScratchDir scratch;
        for (const char* name : {"DIA.TXT", "PERMCOSTR.TXT", "DIA_IMPRESE.TXT", "CLI_IMPRESE.TXT", "PROFESSIONISTI.TXT"})
            scratch.write(name, "x");
        scratch.write("path.dat", scratch.path().toUtf8() + "\r\n");
        scratch.write("com.dat", "001122\r\n");
        const ServerAddresses nowhere{"127.0.0.1:1", "http://127.0.0.1:1", 5};
        WindowRegistry::Instance().SetFactory<Form1>([nowhere] { return new Form1(nowhere); });
        MessageBoxWatcher boxes;
        Form1* main = WindowRegistry::Instance().Start<Form1>();
        QVERIFY(QTest::qWaitForWindowActive(main));
        heard.clear();
        QTest::keyClick(main->Command1, Qt::Key_Return);
        std::make_unique<Form4>()->Label1->setText("Nuova versione disponibile. Scaricamento in corso...");
        A::installUpdateHandler(nullptr);
        QCOMPARE(boxes.seen().size(), 1);
        qsizetype at = 0;
        for (const char* expected : {"Label1 pronto", "Label1 elaborazione in corso...", "Command1 Trasferimento",
                                     "Label1 Nuova versione disponibile. Scaricamento in corso..."})
            QVERIFY2((at = heard.indexOf(expected, at)) >= 0, expected);
    }
};

int main(int argc, char* argv[])
{
#ifdef Q_OS_LINUX
    // The announcements need Qt's AT-SPI bridge: the test runs again on an X display and a
    // session bus of its own, when the tools are there.
    if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") && system("command -v dbus-run-session xvfb-run >/dev/null") == 0) {
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        qputenv("QT_QPA_PLATFORM", "xcb");
        std::vector<char*> args{(char*)"dbus-run-session", (char*)"--", (char*)"xvfb-run", (char*)"-a"};
        args.insert(args.end(), argv, argv + argc + 1);  // with the null that ends argv
        execvp(args[0], args.data());
    }
    // Qt's bridge waits for the accessibility bus to be there, and nobody else starts it.
    if (system("dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress"
               " >/dev/null 2>&1") != 0)
        qInfo("the AT-SPI bus does not start");
#endif
    QApplication app(argc, argv);
    TestAccessibility test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_accessibility.moc"
