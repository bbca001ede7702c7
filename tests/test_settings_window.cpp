// The settings window: what it shows, what "Salva" writes and refuses, what "Chiudi" and
// the title bar leave alone, the trip through the folder picker, and the whole first run.
#include "platform/DirListBox.h"
#include "platform/WindowRegistry.h"
#include "settings/Form2.h"
#include "settings/Form3.h"
#include "support/TestSupport.h"
#include "transfer/Form1.h"
#include "ui/PictureBox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Loads the main window as the program does at start; the update service is a closed
// port on this machine, so the check fails at once.
Form1* StartProgram()
{
    WindowRegistry::Instance().SetFactory<Form1>([] {
        return new Form1(ServerAddresses{QStringLiteral("127.0.0.1:9"), QStringLiteral("http://127.0.0.1:9"), 5});
    });
    Form1* main = WindowRegistry::Instance().Get<Form1>();
    if (!main->IsUnloaded() && !main->HiddenDuringLoad())
        main->Show();
    return main;
}

Form3* Settings()
{
    return WindowRegistry::Instance().Loaded<Form3>();
}

// The settings window as the operator reaches it: at start if the program is not
// configured, otherwise with "Impostazioni".
Form3* OpenSettings(Form1* main)
{
    if (main->isVisible())
        QTest::mouseClick(main->Command3, Qt::LeftButton);
    Form3* settings = Settings();
    if (!settings || !settings->isVisible())
        qWarning("settings window not up");
    return settings;
}

// Replaces a box's text with the keyboard, accented letters included.
void Type(QLineEdit* box, const QString& text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(box, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void Configure(const ScratchDir& dir)
{
    dir.write("path.dat", "/srv/brenola vecchia\r\n");
    dir.write("com.dat", "016024123\r\n");
}

void PickSubfolder(Form3* settings, const QString& name)
{
    QTest::mouseClick(settings->Picture1, Qt::LeftButton);
    Form2* picker = WindowRegistry::Instance().Loaded<Form2>();
    QVERIFY(picker && picker->isVisible());
    const auto found = picker->Dir1->findItems(name, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(name));
    picker->Dir1->scrollToItem(found.last());
    const QPoint at = picker->Dir1->visualItemRect(found.last()).center();
    QTest::mouseClick(picker->Dir1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(picker->Dir1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(picker->Dir1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseClick(picker->Command1, Qt::LeftButton);
}

}  // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }
    void loadFillsEachBoxFromItsFile_data();
    void loadFillsEachBoxFromItsFile();
    void salvaWritesBothFiles_data();
    void salvaWritesBothFiles();
    void salvaRefusesAnEmptyBox_data();
    void salvaRefusesAnEmptyBox();
    void leavingWithoutSaving_data();
    void leavingWithoutSaving();
    void pickerRoundTripKeepsUnsavedEdits();
    void failedWriteIsReported_data();
    void failedWriteIsReported();
    void firstRun();
};

void TestSettingsWindow::loadFillsEachBoxFromItsFile_data()
{
    QTest::addColumn<QByteArray>("pathFile");  // "-": no file
    QTest::addColumn<QByteArray>("comFile");
    QTest::addColumn<QString>("percorso");
    QTest::addColumn<QString>("comune");
    QTest::newRow("neither") << QByteArray("-") << QByteArray("-") << "" << "";
    QTest::newRow("only path.dat") << QByteArray("/srv/export\r\n") << QByteArray("-") << "/srv/export" << "";
    QTest::newRow("only com.dat") << QByteArray("-") << QByteArray("016024\r\n") << "" << "016024";
    QTest::newRow("both, blanks kept") << QByteArray("  /srv/a b  \r\nnext\r\n") << QByteArray(" 016024 \r\n")
                                       << "  /srv/a b  " << " 016024 ";
    QTest::newRow("empty first line") << QByteArray("\r\n/srv/later\r\n") << QByteArray("016024")
                                      << "" << "016024";
    QTest::newRow("path.dat a folder") << QByteArray("/") << QByteArray("016024\r\n") << "" << "016024";
}

void TestSettingsWindow::loadFillsEachBoxFromItsFile()
{
    QFETCH(QByteArray, pathFile);
    QFETCH(QByteArray, comFile);
    QFETCH(QString, percorso);
    QFETCH(QString, comune);
    ScratchDir dir;
    MessageBoxWatcher boxes;
    if (pathFile == "/")
        QVERIFY(QDir(dir.path()).mkdir("path.dat"));
    else if (pathFile != "-")
        dir.write("path.dat", pathFile);
    if (comFile != "-")
        dir.write("com.dat", comFile);

    Form1* main = StartProgram();
    Form3* settings = OpenSettings(main);
    QVERIFY(settings);
    QVERIFY(!main->isVisible());
    QCOMPARE(settings->percorso->text(), percorso);
    QCOMPARE(settings->comune->text(), comune);
    QVERIFY(boxes.seen().isEmpty());
}

void TestSettingsWindow::salvaWritesBothFiles_data()
{
    QTest::addColumn<QString>("comune");
    QTest::addColumn<QString>("percorso");
    QTest::addColumn<QByteArray>("comBytes");
    QTest::addColumn<QByteArray>("pathBytes");
    // Shorter than the old values: nothing of them may stay behind.
    QTest::newRow("shorter") << "ABC" << "/x" << QByteArray("ABC\r\n") << QByteArray("/x\r\n");
    QTest::newRow("only blanks") << "   " << " " << QByteArray("   \r\n") << QByteArray(" \r\n");
    QTest::newRow("blanks around, accents")
        << " 016024 " << "/srv/Città export/" << QByteArray(" 016024 \r\n")
        << QByteArray("/srv/Citt\xc3\xa0 export/\r\n");
}

void TestSettingsWindow::salvaWritesBothFiles()
{
    QFETCH(QString, comune);
    QFETCH(QString, percorso);
    QFETCH(QByteArray, comBytes);
    QFETCH(QByteArray, pathBytes);
    ScratchDir dir;
    MessageBoxWatcher boxes;
    Configure(dir);

    Form1* main = StartProgram();
    Form3* settings = OpenSettings(main);
    QVERIFY(settings);
    Type(settings->comune, comune);
    Type(settings->percorso, percorso);
    QTest::mouseClick(settings->Command1, Qt::LeftButton);

    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(dir.read("com.dat"), comBytes);
    QCOMPARE(dir.read("path.dat"), pathBytes);
    QCOMPARE(main->com, comune);
    QCOMPARE(main->path, percorso);
    QVERIFY(main->isVisible());
    QVERIFY(!Settings());

    // The next opening reads the values back from the files.
    settings = OpenSettings(main);
    QVERIFY(settings);
    QCOMPARE(settings->comune->text(), comune);
    QCOMPARE(settings->percorso->text(), percorso);

    // Saving unchanged values writes both files again.
    QVERIFY(QFile::remove(dir.file("com.dat")));
    QTest::mouseClick(settings->Command1, Qt::LeftButton);
    QCOMPARE(dir.read("com.dat"), comBytes);
}

void TestSettingsWindow::salvaRefusesAnEmptyBox_data()
{
    QTest::addColumn<bool>("configured");
    QTest::addColumn<QString>("comune");
    QTest::addColumn<QString>("percorso");
    QTest::newRow("both empty") << true << "" << "";
    QTest::newRow("comune empty") << true << "" << "/srv/nuova";
    QTest::newRow("percorso empty") << true << "999" << "";
    QTest::newRow("first run, code only") << false << "016024" << "";
}

void TestSettingsWindow::salvaRefusesAnEmptyBox()
{
    QFETCH(bool, configured);
    QFETCH(QString, comune);
    QFETCH(QString, percorso);
    ScratchDir dir;
    MessageBoxWatcher boxes;
    if (configured)
        Configure(dir);
    const QByteArray pathBefore = dir.read("path.dat");
    const QByteArray comBefore = dir.read("com.dat");

    Form1* main = StartProgram();
    const QString mainPath = main->path;
    const QString mainCom = main->com;
    Form3* settings = OpenSettings(main);
    QVERIFY(settings);
    Type(settings->comune, comune);
    Type(settings->percorso, percorso);
    QTest::mouseClick(settings->Command1, Qt::LeftButton);

    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen()[0].text, QString("Compilare entrambi i campi"));
    QCOMPARE(boxes.seen()[0].title, QString("Attenzione!"));
    QVERIFY(boxes.seen()[0].stopIcon);
    QCOMPARE(dir.read("path.dat"), pathBefore);
    QCOMPARE(dir.read("com.dat"), comBefore);
    QCOMPARE(main->path, mainPath);
    QCOMPARE(main->com, mainCom);
    QVERIFY(!main->isVisible());
    QCOMPARE(Settings(), settings);
    QVERIFY(settings->isVisible());
    QCOMPARE(settings->comune->text(), comune);
    QCOMPARE(settings->percorso->text(), percorso);
}

void TestSettingsWindow::leavingWithoutSaving_data()
{
    QTest::addColumn<bool>("configured");
    QTest::addColumn<bool>("titleBar");
    QTest::newRow("Chiudi") << true << false;
    QTest::newRow("title bar") << true << true;
    QTest::newRow("first run, Chiudi") << false << false;
}

void TestSettingsWindow::leavingWithoutSaving()
{
    QFETCH(bool, configured);
    QFETCH(bool, titleBar);
    ScratchDir dir;
    MessageBoxWatcher boxes;
    if (configured)
        Configure(dir);
    const QByteArray pathBefore = dir.read("path.dat");
    const QByteArray comBefore = dir.read("com.dat");

    Form1* main = StartProgram();
    const QString mainPath = main->path;
    const QString mainCom = main->com;
    Form3* settings = OpenSettings(main);
    QVERIFY(settings);
    Type(settings->comune, "000000");
    Type(settings->percorso, "/srv/mai salvata");
    if (titleBar)
        settings->close();
    else
        QTest::mouseClick(settings->Command2, Qt::LeftButton);

    QVERIFY(!Settings());
    QVERIFY(main->isVisible());
    QCOMPARE(main->path, mainPath);
    QCOMPARE(main->com, mainCom);
    QCOMPARE(main->path, configured ? QString("/srv/brenola vecchia") : QString());
    QCOMPARE(dir.read("path.dat"), pathBefore);
    QCOMPARE(dir.read("com.dat"), comBefore);

    // A new opening shows the files again, not what was typed.
    settings = OpenSettings(main);
    QVERIFY(settings);
    QCOMPARE(settings->comune->text(), configured ? QString("016024123") : QString());
    QCOMPARE(settings->percorso->text(), configured ? QString("/srv/brenola vecchia") : QString());
    QVERIFY(boxes.seen().isEmpty());
}

void TestSettingsWindow::pickerRoundTripKeepsUnsavedEdits()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    Configure(dir);
    QVERIFY(QDir(dir.path()).mkdir("export"));
    const QString cwd = QDir::currentPath();

    Form1* main = StartProgram();
    Form3* settings = OpenSettings(main);
    QVERIFY(settings);
    Type(settings->comune, "999");

    // Out to the picker and back with "Annulla": the window was only hidden.
    QTest::mouseClick(settings->Picture1, Qt::LeftButton);
    Form2* picker = WindowRegistry::Instance().Loaded<Form2>();
    QVERIFY(picker && picker->isVisible());
    QVERIFY(!settings->isVisible());
    QVERIFY(!main->isVisible());
    QTest::mouseClick(picker->Command2, Qt::LeftButton);
    QCOMPARE(Settings(), settings);
    QVERIFY(settings->isVisible());
    QCOMPARE(settings->comune->text(), QString("999"));
    QCOMPARE(settings->percorso->text(), QString("/srv/brenola vecchia"));

    // "Seleziona" replaces the folder only, and writes nothing.
    PickSubfolder(settings, "export");
    QCOMPARE(Settings(), settings);
    QVERIFY(settings->isVisible());
    QCOMPARE(settings->percorso->text(), cwd + "/export");
    QCOMPARE(settings->comune->text(), QString("999"));
    QCOMPARE(dir.read("path.dat"), QByteArray("/srv/brenola vecchia\r\n"));
    QCOMPARE(main->path, QString("/srv/brenola vecchia"));

    QTest::mouseClick(settings->Command1, Qt::LeftButton);
    QCOMPARE(dir.read("path.dat"), (cwd + "/export\r\n").toUtf8());
    QCOMPARE(dir.read("com.dat"), QByteArray("999\r\n"));
    QVERIFY(main->isVisible());
    QVERIFY(boxes.seen().isEmpty());
}

void TestSettingsWindow::failedWriteIsReported_data()
{
    QTest::addColumn<QString>("blocked");
    QTest::newRow("path.dat") << "path.dat";
    QTest::newRow("com.dat") << "com.dat";
}

void TestSettingsWindow::failedWriteIsReported()
{
    QFETCH(QString, blocked);
    ScratchDir dir;
    MessageBoxWatcher boxes;
    // A folder in the way of the file: it cannot be written, even by root.
    QVERIFY(QDir(dir.path()).mkdir(blocked));

    Form1* main = StartProgram();
    Form3* settings = OpenSettings(main);
    QVERIFY(settings);
    Type(settings->comune, "016024");
    Type(settings->percorso, "/srv/export");
    QTest::mouseClick(settings->Command1, Qt::LeftButton);

    QCOMPARE(boxes.seen().size(), 1);
    QVERIFY2(boxes.seen()[0].text.startsWith("Impossibile scrivere il file " + blocked),
             qPrintable(boxes.seen()[0].text));
    QCOMPARE(boxes.seen()[0].title, QString("Attenzione!"));
    QVERIFY(boxes.seen()[0].stopIcon);
    // The operator's values are not lost: the window stays up with them, the main
    // window already holds them.
    QCOMPARE(Settings(), settings);
    QVERIFY(settings->isVisible());
    QVERIFY(!main->isVisible());
    QCOMPARE(settings->comune->text(), QString("016024"));
    QCOMPARE(main->com, QString("016024"));
    QCOMPARE(main->path, QString("/srv/export"));
    if (blocked == "path.dat")
        QCOMPARE(dir.read("com.dat"), QByteArray("<missing>"));

    // Once the cause is gone, "Salva" again finishes the job.
    QVERIFY(QDir(dir.path()).rmdir(blocked));
    QTest::mouseClick(settings->Command1, Qt::LeftButton);
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(dir.read("path.dat"), QByteArray("/srv/export\r\n"));
    QCOMPARE(dir.read("com.dat"), QByteArray("016024\r\n"));
    QVERIFY(main->isVisible());
    QVERIFY(!Settings());
}

void TestSettingsWindow::firstRun()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    QVERIFY(QDir(dir.path()).mkdir("Brenola"));
    const QString cwd = QDir::currentPath();

    Form1* main = StartProgram();
    QVERIFY(!main->isVisible());
    Form3* settings = Settings();
    QVERIFY(settings && settings->isVisible());
    QVERIFY(settings->comune->text().isEmpty());
    QVERIFY(settings->percorso->text().isEmpty());

    QTest::keyClicks(settings->comune, "016024");
    PickSubfolder(settings, "Brenola");
    QTest::mouseClick(settings->Command1, Qt::LeftButton);
    QVERIFY(main->isVisible());
    QVERIFY(!Settings());
    QCOMPARE(main->path, cwd + "/Brenola");
    QCOMPARE(main->com, QString("016024"));

    // The next start finds the program configured.
    ResetWindows();
    main = StartProgram();
    QVERIFY(main->isVisible());
    QVERIFY(!Settings());
    QCOMPARE(main->path, cwd + "/Brenola");
    QCOMPARE(main->com, QString("016024"));
    QVERIFY(boxes.seen().isEmpty());
}

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
