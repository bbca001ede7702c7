// Loaded, hidden, unloaded: what each window keeps, and when the program ends.
#include "gui/Form1.h"
#include "gui/Form3.h"
#include "gui/Form4.h"
#include "gui/WindowRegistry.h"
#include "support/WindowTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A window that counts its load steps.
class Counted : public Window {
public:
    static inline int loads = 0;
    QLineEdit* box = new QLineEdit(this);

protected:
    void Load() override
    {
        ++loads;
        box->setText(QStringLiteral("loaded"));
    }
};

void DeleteUnloaded()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

class TestWindowLifetime : public QObject {
    Q_OBJECT
private slots:
    void init() { Counted::loads = 0; }
    void cleanup() { ResetWindows(); }
    void hiddenKeepsUnloadedReloads();
    void programEndsWithLastLoadedWindow();
    void titleBarClose();
};

void TestWindowLifetime::hiddenKeepsUnloadedReloads()
{
    auto& windows = WindowRegistry::Instance();
    QVERIFY(!windows.Loaded<Counted>());
    Counted* first = windows.Get<Counted>();
    QCOMPARE(Counted::loads, 1);
    QVERIFY(!first->isVisible());  // loading does not show

    first->Show();
    first->box->setText("typed");
    first->Hide();
    QCOMPARE(windows.Get<Counted>(), first);
    QCOMPARE(first->box->text(), QString("typed"));
    QCOMPARE(Counted::loads, 1);

    QPointer<Counted> gone = first;
    first->Unload();
    QVERIFY(!windows.Loaded<Counted>());
    DeleteUnloaded();
    QVERIFY(gone.isNull());

    Counted* second = windows.Get<Counted>();
    QCOMPARE(Counted::loads, 2);
    QCOMPARE(second->box->text(), QString("loaded"));
}

void TestWindowLifetime::programEndsWithLastLoadedWindow()
{
    auto& windows = WindowRegistry::Instance();
    QSignalSpy end(&windows, &WindowRegistry::LastWindowUnloaded);
    Counted* counted = windows.Get<Counted>();
    Form4* progress = windows.Get<Form4>();
    counted->Show();
    progress->Show();

    counted->Hide();      // hidden still counts as loaded
    progress->Unload();
    QCOMPARE(end.count(), 0);
    QCOMPARE(windows.LoadedCount(), 1);
    counted->Unload();
    QCOMPARE(end.count(), 1);
    counted->Unload();  // twice is harmless
    QCOMPARE(end.count(), 1);
}

void TestWindowLifetime::titleBarClose()
{
    ScratchDir dir;
    auto& windows = WindowRegistry::Instance();
    // The progress window cannot be closed.
    Form4* progress = windows.Get<Form4>();
    progress->Show();
    QVERIFY(!progress->close());
    QVERIFY(progress->isVisible());
    QCOMPARE(windows.Loaded<Form4>(), progress);
    progress->Unload();

    // The main window's title bar unloads it, like "chiudi".
    windows.SetFactory<Form1>([] { return new Form1(ServerAddresses{"127.0.0.1:9", "http://127.0.0.1:9", 5}); });
    dir.write("path.dat", "/srv\r\n");
    dir.write("com.dat", "1\r\n");
    MessageBoxWatcher boxes;
    Form1* main = windows.Get<Form1>();
    main->Show();
    QSignalSpy end(&windows, &WindowRegistry::LastWindowUnloaded);
    main->close();
    QVERIFY(!windows.Loaded<Form1>());
    QCOMPARE(end.count(), 1);
}

QTEST_MAIN(TestWindowLifetime)
#include "test_window_lifetime.moc"
