// The settings window: what it shows, what "Salva" writes or refuses, what the other ways
// out leave alone, and the whole first run through the folder picker.
#include "gui/DirListBox.h"
#include "gui/Form1.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "gui/PictureBox.h"
#include "gui/WindowRegistry.h"
#include "support/WindowTestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Starts as the program does (the update service is a closed local port, so the check
// fails at once) and reaches the settings window as the operator would.
Form1* Start(const ScratchDir& dir, bool configured)
{
    if (configured) {
        dir.write("path.dat", "/srv/brenola vecchia\r\n");
        dir.write("com.dat", "016024123\r\n");
    }
    WindowRegistry::Instance().SetFactory<Form1>([] {
        return new Form1(ServerAddresses{"127.0.0.1:9", "http://127.0.0.1:9", 5});
    });
    return WindowRegistry::Instance().Start<Form1>();
}

Form3* Settings() { return WindowRegistry::Instance().Loaded<Form3>(); }

Form3* OpenSettings(Form1* main)
{
    if (main->isVisible())
        QTest::mouseClick(main->Command3, Qt::LeftButton);
    return Settings();
}

// Replaces a box's text with the keyboard, accented letters included.
void Type(QLineEdit* box, const QString& text)
{
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

}  // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }

    void salvaWritesBothFiles_data()
    {
        QTest::addColumn<QString>("comune");
        QTest::addColumn<QString>("percorso");
        QTest::addColumn<QByteArray>("pathBytes");
        QTest::addColumn<QString>("code");  // what is saved: no blank or invisible space around it
        QTest::newRow("shorter than before") << "ABC" << "/x" << QByteArray("/x\r\n") << "ABC";
        QTest::newRow("a folder of blanks, invisible spaces around the code")
            << QString::fromUtf8("\u00A0016024\u200B ") << " " << QByteArray(" \r\n") << "016024";
#ifdef Q_OS_WIN
        // The ANSI code page: 1252 on Italian Windows (and under Wine).
        QTest::newRow("accents") << " 016024 " << "/srv/Città/" << QByteArray("/srv/Citt\xe0/\r\n") << "016024";
#else
        QTest::newRow("accents") << " 016024 " << "/srv/Città/" << QByteArray("/srv/Citt\xc3\xa0/\r\n") << "016024";
        // UTF-8 holds every name.
        QTest::newRow("any letter") << "016024" << "/srv/Łódź Αθήνα" << QStringLiteral("/srv/Łódź Αθήνα\r\n").toUtf8() << "016024";
#endif
    }

    void salvaWritesBothFiles()
    {
        QFETCH(QString, comune);
        QFETCH(QString, percorso);
        QFETCH(QByteArray, pathBytes);
        QFETCH(QString, code);
        ScratchDir dir;
        MessageBoxWatcher boxes;
        Form1* main = Start(dir, true);
        Type(OpenSettings(main)->comune, comune);
        Type(Settings()->percorso, percorso);
        QTest::mouseClick(Settings()->Command1, Qt::LeftButton);
        QCOMPARE(dir.read("path.dat"), pathBytes);
        QCOMPARE(dir.read("com.dat"), code.toUtf8() + "\r\n");
        QCOMPARE(main->path, percorso);
        QCOMPARE(main->com, code);
        QVERIFY(main->isVisible() && !Settings());
        // The next opening reads them back.
        QCOMPARE(OpenSettings(main)->percorso->text(), percorso);
        QCOMPARE(Settings()->comune->text(), code);
        QVERIFY(boxes.seen().isEmpty());
    }

    void salvaRefuses_data()
    {
        QTest::addColumn<QString>("comune");
        QTest::addColumn<QString>("percorso");
        QTest::addColumn<QString>("message");  // its beginning
        const QString empty = QStringLiteral("Compilare entrambi i campi");
        QTest::newRow("both empty") << "" << "" << empty;
        QTest::newRow("comune empty") << "" << "/srv/nuova" << empty;
        QTest::newRow("percorso empty") << "016024" << "" << empty;
        QTest::newRow("a code of blanks") << QString::fromUtf8(" \u00A0 ") << "/srv/nuova" << empty;
        QTest::newRow("accented code") << "01602à" << "/srv/nuova" << "Il codice ISTAT \"01602à\" contiene caratteri (à) ";
#ifdef Q_OS_WIN
        // Names the ANSI code page cannot hold: best fit would save "C:\Lódz", "C:\??????".
        QTest::newRow("folder outside the code page") << "016024" << "C:\\Łódź" << "La cartella \"C:\\Łódź\" ha nel nome caratteri (Ł ź) ";
        QTest::newRow("Greek folder") << "016024" << "C:\\Αθήνα" << "La cartella \"C:\\Αθήνα\" ha nel nome caratteri (Α θ ή ν α) ";
        QTest::newRow("code outside the code page") << "北京" << "C:\\x" << "Il codice ISTAT \"北京\" contiene caratteri (北 京) ";
#endif
    }

    void salvaRefuses()
    {
        QFETCH(QString, comune);
        QFETCH(QString, percorso);
        QFETCH(QString, message);
        ScratchDir dir;
        MessageBoxWatcher boxes;
        Form1* main = Start(dir, true);
        Type(OpenSettings(main)->comune, comune);
        Type(Settings()->percorso, percorso);
        QTest::mouseClick(Settings()->Command1, Qt::LeftButton);
        QCOMPARE(boxes.seen().size(), 1);
        QVERIFY2(boxes.seen()[0].text.startsWith(message), qPrintable(boxes.seen()[0].text));
        QCOMPARE(boxes.seen()[0].title, QString("Attenzione!"));
        QVERIFY(boxes.seen()[0].stopIcon);
        QCOMPARE(dir.read("path.dat"), QByteArray("/srv/brenola vecchia\r\n"));
        QCOMPARE(dir.read("com.dat"), QByteArray("016024123\r\n"));
        QCOMPARE(main->com, QString("016024123"));
        QCOMPARE(main->path, QString("/srv/brenola vecchia"));
        QVERIFY(!main->isVisible() && Settings()->isVisible());
        QCOMPARE(Settings()->percorso->text(), percorso);
    }

    void chiudiAndTitleBarSaveNothing()
    {
        ScratchDir dir;
        Form1* main = Start(dir, true);
        for (bool titleBar : {false, true}) {
            Type(OpenSettings(main)->comune, "000");
            if (titleBar)
                Settings()->close();
            else
                QTest::mouseClick(Settings()->Command2, Qt::LeftButton);
            QVERIFY(main->isVisible() && !Settings());
            QCOMPARE(main->com, QString("016024123"));
            QCOMPARE(dir.read("com.dat"), QByteArray("016024123\r\n"));
            QCOMPARE(OpenSettings(main)->comune->text(), QString("016024123"));
            QTest::mouseClick(Settings()->Command2, Qt::LeftButton);
        }
    }

    void failedWriteKeepsTheWindowAndTheValues()
    {
        ScratchDir dir;
        MessageBoxWatcher boxes;
        QVERIFY(QDir(dir.path()).mkdir("path.dat"));  // a folder in the way, even for root
        dir.write("com.dat", " 016024 \r\nsecond\r\n");
        Form1* main = Start(dir, false);
        // Each box is filled from its own file, if that is one.
        QCOMPARE(Settings()->comune->text(), QString("016024"));
        QCOMPARE(Settings()->percorso->text(), QString());
        QTest::keyClicks(Settings()->percorso, "/srv/export");
        QTest::mouseClick(Settings()->Command1, Qt::LeftButton);
        QCOMPARE(boxes.seen().size(), 1);
        QVERIFY(boxes.seen()[0].text.startsWith("Impossibile scrivere il file path.dat"));
        QVERIFY(boxes.seen()[0].stopIcon);
        QVERIFY(Settings() && Settings()->isVisible() && !main->isVisible());
        QCOMPARE(main->path, QString());  // nothing saved, nothing handed over
        QCOMPARE(dir.read("com.dat"), QByteArray(" 016024 \r\nsecond\r\n"));
        // Once the cause is gone, "Salva" again finishes the job.
        QVERIFY(QDir(dir.path()).rmdir("path.dat"));
        QTest::mouseClick(Settings()->Command1, Qt::LeftButton);
        QCOMPARE(dir.read("path.dat"), QByteArray("/srv/export\r\n"));
        QCOMPARE(dir.read("com.dat"), QByteArray("016024\r\n"));
        QVERIFY(main->isVisible() && !Settings());
    }

    void firstRunThroughThePicker()
    {
        ScratchDir dir;
        MessageBoxWatcher boxes;
        // As the picker hands them: with the platform's separator.
        const auto folder = [](const QString& name) { return QDir::toNativeSeparators(QDir::currentPath() + '/' + name); };
        // In every code page the program meets (Windows-1252 here), and in none but UTF-8.
        const QString brenola = QStringLiteral("Brenola Città"), lodz = QStringLiteral("Łódź");
        QVERIFY(QDir(dir.path()).mkdir(brenola) && QDir(dir.path()).mkdir(lodz));
        Form1* main = Start(dir, false);
        QVERIFY(!main->isVisible() && Settings()->isVisible());
        QTest::keyClicks(Settings()->comune, "016024");
        qsizetype refusals = 0;

        const auto pick = [&](const QString& name, bool choose) {
            QTest::mouseClick(Settings()->Picture1, Qt::LeftButton);
            Form2* picker = WindowRegistry::Instance().Loaded<Form2>();
            QVERIFY(picker && picker->isVisible() && Settings() && !Settings()->isVisible());
            QVERIFY(!main->isVisible());
            const QRect row = picker->Dir1->visualItemRect(picker->Dir1->findItems(name, Qt::MatchExactly)[0]);
            QTest::mouseClick(picker->Dir1->viewport(), Qt::LeftButton, {}, row.center());
            QTest::mouseDClick(picker->Dir1->viewport(), Qt::LeftButton, {}, row.center());
            if (choose)
                QTest::mouseClick(picker->Command1, Qt::LeftButton);
            else
                picker->close();
            QVERIFY(Settings() && Settings()->isVisible());
            QCOMPARE(Settings()->percorso->text(), choose ? folder(name) : QString());
            QCOMPARE(Settings()->comune->text(), QString("016024"));
        };
        // Out and back twice, by the title bar then by "Seleziona": the code typed stays.
        pick(brenola, false);
        pick(brenola, true);
#ifdef Q_OS_WIN
        // A folder the code page cannot hold: refused, nothing saved, the session's folder unset.
        pick(lodz, true);
        QTest::mouseClick(Settings()->Command1, Qt::LeftButton);
        QCOMPARE(boxes.seen().size(), ++refusals);
        QVERIFY(boxes.seen()[0].text.startsWith("La cartella \"" + folder(lodz) + "\" ha nel nome caratteri (Ł ź) "));
        QVERIFY(Settings()->isVisible() && main->path.isEmpty());
        pick(brenola, true);
#endif
        QCOMPARE(dir.read("path.dat"), QByteArray("<missing>"));
        QTest::mouseClick(Settings()->Command1, Qt::LeftButton);
        QVERIFY(main->isVisible() && !Settings());

        // The next start finds the program configured, with the folder exactly as chosen.
        ResetWindows();
        main = Start(dir, false);
        QVERIFY(main->isVisible() && !Settings());
        QCOMPARE(main->path, folder(brenola));
        QCOMPARE(main->com, QString("016024"));
        QCOMPARE(boxes.seen().size(), refusals);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
