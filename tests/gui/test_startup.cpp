// The main window's start-up: which window the operator meets, and what state it reads.
#include "core/schedule/LastScheduledRun.h"
#include "gui/Form1.h"
#include "gui/Form3.h"
#include "gui/WindowRegistry.h"
#include "support/WindowTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

// Loads the main window as the program does at start, in the current working directory.
// The update service is a closed port on this machine: the check fails at once.
Form1* StartProgram()
{
    WindowRegistry::Instance().SetFactory<Form1>([] {
        return new Form1(ServerAddresses{QStringLiteral("127.0.0.1:9"), QStringLiteral("http://127.0.0.1:9"), 5});
    });
    return WindowRegistry::Instance().Start<Form1>();
}

bool SettingsWindowUp()
{
    auto* settings = WindowRegistry::Instance().Loaded<Form3>();
    return settings && settings->isVisible();
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }
    void notConfiguredOpensSettings_data();
    void notConfiguredOpensSettings();
    void configuredShowsMainWindow();
    void emptyValueOpensSettingsButKeepsTheOther();
    void settingsButtonAndBack();
    void chiudiEndsTheProgram();
};

void TestStartup::notConfiguredOpensSettings_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::newRow("first start") << QStringList();
    QTest::newRow("only path.dat") << QStringList{"path.dat"};
    QTest::newRow("only com.dat") << QStringList{"com.dat"};
    QTest::newRow("path.dat is a folder") << QStringList{"com.dat", "path.dat/"};
}

void TestStartup::notConfiguredOpensSettings()
{
    QFETCH(QStringList, files);
    ScratchDir dir;
    MessageBoxWatcher boxes;
    for (const QString& f : files) {
        if (f.endsWith('/'))
            QDir(dir.path()).mkdir(f.chopped(1));
        else
            dir.write(f, "/srv/export\r\n");
    }
    Form1* main = StartProgram();
    QVERIFY(!main->isVisible());
    QVERIFY(SettingsWindowUp());
    // Neither file is read when one is missing.
    QVERIFY(main->path.isNull());
    QVERIFY(main->com.isNull());
    QCOMPARE(main->dia, QString("DIA.TXT"));
    QCOMPARE(main->prof, QString("PROFESSIONISTI.TXT"));
}

void TestStartup::configuredShowsMainWindow()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    dir.write("path.dat", "/srv/brenola export\r\nsecond line\r\n");
    dir.write("com.dat", " 016024 \r\n");
    Form1* main = StartProgram();
    QVERIFY(main->isVisible());
    QVERIFY(!WindowRegistry::Instance().Loaded<Form3>());
    QCOMPARE(main->path, QString("/srv/brenola export"));
    QCOMPARE(main->com, QString("016024"));  // the blanks around it are no part of the code
    QCOMPARE(QStringList({main->dia, main->cil, main->diaimp, main->cilimp, main->prof}),
             QStringList({"DIA.TXT", "PERMCOSTR.TXT", "DIA_IMPRESE.TXT", "CLI_IMPRESE.TXT",
                          "PROFESSIONISTI.TXT"}));
    QVERIFY(boxes.seen().isEmpty());

    // After a scheduled run that failed for good: told once, over the main window.
    ResetWindows();
    QVERIFY((LastScheduledRun{QDateTime(QDate(2026, 12, 7), QTime(17, 0)), LastScheduledRun::Result::Failed,
                              "collegamento al server 127.0.0.1:21: server non raggiungibile.", false}
                 .Save()));
    main = StartProgram();
    QTRY_COMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen()[0].text, "L'invio automatico del 07/12/2026 alle 17:00 non è riuscito: collegamento al server "
                                   "127.0.0.1:21: server non raggiungibile. Premere Trasferimento per inviare i file.");
    QCOMPARE(boxes.seen()[0].title, "Morvantil");
    QVERIFY(boxes.seen()[0].stopIcon);
    QVERIFY(main->isVisible());
    ResetWindows();
    StartProgram();
    QTest::qWait(0);
    QCoreApplication::processEvents();
    QCOMPARE(boxes.seen().size(), 1);
}

void TestStartup::emptyValueOpensSettingsButKeepsTheOther()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    dir.write("path.dat", "/srv/export\r\n");
    dir.write("com.dat", "\r\n016024\r\n");
    Form1* main = StartProgram();
    QVERIFY(!main->isVisible());
    QVERIFY(SettingsWindowUp());
    QCOMPARE(main->path, QString("/srv/export"));
    QCOMPARE(main->com, QString(""));
}

void TestStartup::settingsButtonAndBack()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    dir.write("path.dat", "/srv/export\r\n");
    dir.write("com.dat", "016024\r\n");
    Form1* main = StartProgram();
    main->Label1->setText("state kept");

    QTest::mouseClick(main->Command3, Qt::LeftButton);
    QVERIFY(!main->isVisible());
    QVERIFY(SettingsWindowUp());
    QCOMPARE(WindowRegistry::Instance().Loaded<Form1>(), main);

    // Closing the settings window from its title bar brings the hidden main window back.
    WindowRegistry::Instance().Loaded<Form3>()->close();
    QVERIFY(!WindowRegistry::Instance().Loaded<Form3>());
    QVERIFY(main->isVisible());
    QCOMPARE(main->Label1->text(), QString("state kept"));
    QCOMPARE(main->path, QString("/srv/export"));
}

void TestStartup::chiudiEndsTheProgram()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    dir.write("path.dat", "/srv/export\r\n");
    dir.write("com.dat", "016024\r\n");
    Form1* main = StartProgram();
    QSignalSpy end(&WindowRegistry::Instance(), &WindowRegistry::LastWindowUnloaded);
    QTest::mouseClick(main->Command2, Qt::LeftButton);
    QCOMPARE(end.count(), 1);
    QCOMPARE(WindowRegistry::Instance().LoadedCount(), 0);
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
