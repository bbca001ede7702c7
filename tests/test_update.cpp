// The version check at start, against a real HTTP service on this machine: what the
// operator meets for each answer, what lands on disk, and that the program always starts.
#include "platform/Inet.h"
#include "platform/WindowRegistry.h"
#include "settings/Form3.h"
#include "support/HttpPeer.h"
#include "support/TestSupport.h"
#include "transfer/Form1.h"
#include "ui/Form4.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QtTest>

namespace {

const QString Query = QStringLiteral("/morvantil/update.php?v=1.3");
const QString Installer = QStringLiteral("/files/new.exe");
// Proves that it was started, and in which folder.
const QByteArray MarkerInstaller = "#!/bin/sh\npwd > started.txt\n";

// A message box, and the state of things at the moment it came up.
struct Box {
    QString text;
    QString title;
    QMessageBox::Icon icon;
    bool progressLoaded;
    bool programWindowVisible;
    QByteArray installer;
    bool markerThere;
};

// The operator: looks at the windows whenever the program lets the event loop run and
// answers each message box with OK.
class Operator : public QObject {
public:
    QStringList progressSeen;  // Form4's "caption | label", each change once
    QList<Box> boxes;

    Operator()
    {
        connect(&timer_, &QTimer::timeout, this, &Operator::Look);
        timer_.start(0);
    }

private:
    void Look()
    {
        if (Form4* progress = WindowRegistry::Instance().Loaded<Form4>(); progress && progress->isVisible()) {
            const QString seen = progress->windowTitle() + " | " + progress->Label1->text();
            if (progressSeen.isEmpty() || progressSeen.last() != seen)
                progressSeen << seen;
        }
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            bool programWindowVisible = false;
            for (QWidget* other : QApplication::topLevelWidgets())
                programWindowVisible |= other != box && qobject_cast<Window*>(other) && other->isVisible();
            QFile installer(QStringLiteral("update.exe"));
            boxes << Box{box->text(), box->windowTitle(), box->icon(),
                         WindowRegistry::Instance().Loaded<Form4>() != nullptr, programWindowVisible,
                         installer.open(QIODevice::ReadOnly) ? installer.readAll() : QByteArray(),
                         QFile::exists(QStringLiteral("started.txt"))};
            box->button(QMessageBox::Ok)->click();
        }
    }
    QTimer timer_;
};

// Starts the program as main() does, with the update service at `base`.
Form1* StartProgram(const QString& base, int textTimeoutSeconds = 10)
{
    WindowRegistry::Instance().SetFactory<Form1>([=] {
        auto* main = new Form1(ServerAddresses{QStringLiteral("127.0.0.1:9"), base, 2});
        main->Inet1->OpenURLTimeout(textTimeoutSeconds);
        return main;
    });
    Form1* main = WindowRegistry::Instance().Get<Form1>();
    if (!main->IsUnloaded() && !main->HiddenDuringLoad())
        main->Show();
    return main;
}

void Configure(const ScratchDir& dir)
{
    dir.write("path.dat", "/srv/export\r\n");
    dir.write("com.dat", "001122\r\n");
}

QStringList Files(const ScratchDir& dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

}  // namespace

// The start-up went on to the main window, with the settings read and no progress window.
#define VERIFY_STARTED(main)                                                      \
    do {                                                                          \
        QVERIFY(!(main)->IsUnloaded());                                           \
        QVERIFY((main)->isVisible());                                             \
        QCOMPARE((main)->com, QString("001122"));                                 \
        QVERIFY(!WindowRegistry::Instance().Loaded<Form4>());                     \
    } while (false)

class TestUpdate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(peer_.started()); }
    void init() { peer_.clear(); }
    void cleanup() { ResetWindows(); }

    void noUpdate_data();
    void noUpdate();
    void serviceUnusable_data();
    void serviceUnusable();
    void update_data();
    void update();
    void downloadFails_data();
    void downloadFails();
    void installerCannotBeWritten();
    void installerCannotBeStarted();
    void addressesReadAsBrowsersDo_data();
    void addressesReadAsBrowsersDo();

private:
    HttpPeer peer_;
};

void TestUpdate::noUpdate_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("mode");
    const QByteArray address = peer_.url(Installer).toUtf8();
    QTest::newRow("empty answer") << QByteArray() << 200 << "normal";
    QTest::newRow("capitals") << address.toUpper() << 200 << "normal";
    QTest::newRow("blank in front") << " " + address << 200 << "normal";
    QTest::newRow("line end in front") << "\r\n" + address << 200 << "normal";
    QTest::newRow("three letters") << QByteArray("htt") << 200 << "normal";
    QTest::newRow("404 naming a file") << address << 404 << "normal";
    QTest::newRow("500 naming a file") << address << 500 << "normal";
    QTest::newRow("answer cut short") << address << 200 << "cut";
}

void TestUpdate::noUpdate()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(QString, mode);
    ScratchDir dir;
    Configure(dir);
    peer_.route(Query, answer, status, mode);
    peer_.route(Installer, MarkerInstaller);
    Operator op;

    Form1* main = StartProgram(peer_.base());
    VERIFY_STARTED(main);
    QCOMPARE(peer_.requests(), QStringList{"GET " + Query});
    QCOMPARE(op.progressSeen, QStringList{"Controllo aggiornamenti in corso... | "});
    QVERIFY(op.boxes.isEmpty());
    QCOMPARE(Files(dir), (QStringList{"com.dat", "path.dat"}));
}

void TestUpdate::serviceUnusable_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("not running") << "";
    QTest::newRow("never answers") << "hang";
    QTest::newRow("answers too slowly") << "trickle";
}

void TestUpdate::serviceUnusable()
{
    QFETCH(QString, mode);
    ScratchDir dir;
    Configure(dir);
    // Slow enough never to finish, fast enough never to count as a stall.
    peer_.route(Query, QByteArray(60, 'x'), 200, mode, 0.3);
    Operator op;

    QElapsedTimer clock;
    clock.start();
    Form1* main = StartProgram(mode.isEmpty() ? QStringLiteral("http://127.0.0.1:9") : peer_.base(), 1);
    VERIFY_STARTED(main);
    QVERIFY2(clock.elapsed() < 10000, "the version check held up the start");
    QVERIFY(op.boxes.isEmpty());
}

void TestUpdate::update_data()
{
    QTest::addColumn<QByteArray>("afterAddress");
    QTest::addColumn<QByteArray>("older");
    QTest::newRow("plain address") << QByteArray() << QByteArray();
    QTest::newRow("address and CR LF") << QByteArray("\r\n") << QByteArray();
    QTest::newRow("address, blank and LF") << QByteArray(" \n") << QByteArray();
    QTest::newRow("over an older, longer update.exe") << QByteArray() << QByteArray(5000, 'o');
}

void TestUpdate::update()
{
    QFETCH(QByteArray, afterAddress);
    QFETCH(QByteArray, older);
    ScratchDir dir;  // not configured: the settings window must not come up either
    if (!older.isEmpty())
        dir.write("update.exe", older);
    peer_.route(Query, peer_.url(Installer).toUtf8() + afterAddress);
    peer_.route(Installer, MarkerInstaller);
    Operator op;

    Form1* main = StartProgram(peer_.base());
    QCOMPARE(peer_.requests(), (QStringList{"GET " + Query, "GET " + Installer}));
    QCOMPARE(op.progressSeen, (QStringList{"Controllo aggiornamenti in corso... | ",
                                           "Controllo aggiornamenti in corso... | Nuova versione "
                                           "disponibile. Scaricamento in corso..."}));
    QCOMPARE(op.boxes.size(), 1);
    const Box& box = op.boxes[0];
    QCOMPARE(box.text, QString("Verrà installata ora la nuova versione"));
    QCOMPARE(box.title, QString("Aggiornamento"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QVERIFY(!box.progressLoaded);
    QVERIFY(!box.programWindowVisible);
    QCOMPARE(box.installer, MarkerInstaller);
    QVERIFY2(!box.markerThere, "the installer ran before the operator's OK");

    // The program ends behind it: no window left, not even the settings window.
    QVERIFY(main->IsUnloaded());
    QCOMPARE(WindowRegistry::Instance().LoadedCount(), 0);
    QVERIFY(!WindowRegistry::Instance().Loaded<Form3>());
    // It runs, from the working directory.
    QTRY_COMPARE_WITH_TIMEOUT(dir.read("started.txt").trimmed(),
                              QFileInfo(dir.path()).canonicalFilePath().toUtf8(), 5000);
    QCOMPARE(dir.read("update.exe"), MarkerInstaller);
    QVERIFY(QFileInfo(dir.file("update.exe")).isExecutable());
    QCOMPARE(Files(dir), (QStringList{"started.txt", "update.exe"}));
}

void TestUpdate::downloadFails_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("mode");
    QTest::newRow("404") << peer_.url(Installer) << 404 << "normal";
    QTest::newRow("500") << peer_.url(Installer) << 500 << "normal";
    QTest::newRow("cut short") << peer_.url(Installer) << 200 << "cut";
    QTest::newRow("stalls") << peer_.url(Installer) << 200 << "hang";
    QTest::newRow("just the four letters") << "http" << 200 << "normal";
    QTest::newRow("not a web address") << "httpx://127.0.0.1/x" << 200 << "normal";
}

void TestUpdate::downloadFails()
{
    QFETCH(QString, answer);
    QFETCH(int, status);
    QFETCH(QString, mode);
    ScratchDir dir;
    Configure(dir);
    dir.write("update.exe", "the installer of last year");
    peer_.route(Query, answer.toUtf8());
    peer_.route(Installer, MarkerInstaller + QByteArray(100000, '#'), status, mode);
    Operator op;

    Form1* main = StartProgram(peer_.base());
    VERIFY_STARTED(main);
    QVERIFY(op.boxes.isEmpty());
    QCOMPARE(dir.read("update.exe"), QByteArray("the installer of last year"));
    QCOMPARE(Files(dir), (QStringList{"com.dat", "path.dat", "update.exe"}));
}

void TestUpdate::installerCannotBeWritten()
{
    ScratchDir dir;
    Configure(dir);
    QVERIFY(QDir(dir.path()).mkdir("update.exe"));  // in the way even for root
    peer_.route(Query, peer_.url(Installer).toUtf8());
    peer_.route(Installer, MarkerInstaller);
    Operator op;

    Form1* main = StartProgram(peer_.base());
    VERIFY_STARTED(main);
    QCOMPARE(op.boxes.size(), 1);
    QCOMPARE(op.boxes[0].title, QString("Aggiornamento"));
    QCOMPARE(op.boxes[0].icon, QMessageBox::Critical);
    QVERIFY2(op.boxes[0].text.startsWith("Impossibile scrivere il file update.exe"), qPrintable(op.boxes[0].text));
    QVERIFY(!op.boxes[0].progressLoaded);
    QCOMPARE(Files(dir), (QStringList{"com.dat", "path.dat", "update.exe"}));
}

void TestUpdate::installerCannotBeStarted()
{
    ScratchDir dir;
    Configure(dir);
    const QByteArray windowsProgram("MZ\x90\x00\x03 not a program for this system", 36);
    peer_.route(Query, peer_.url(Installer).toUtf8());
    peer_.route(Installer, windowsProgram);
    Operator op;

    Form1* main = StartProgram(peer_.base());
    QCOMPARE(op.boxes.size(), 2);
    QCOMPARE(op.boxes[0].text, QString("Verrà installata ora la nuova versione"));
    QCOMPARE(op.boxes[1].icon, QMessageBox::Critical);
    QVERIFY2(op.boxes[1].text.startsWith("Impossibile avviare update.exe"), qPrintable(op.boxes[1].text));
    VERIFY_STARTED(main);
    QCOMPARE(dir.read("update.exe"), windowsProgram);
}

void TestUpdate::addressesReadAsBrowsersDo_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("requested");
    QTest::newRow("blanks and controls around") << " \t\x01" + peer_.url("/a") + "\r\n \x02" << "/a";
    QTest::newRow("tabs and line ends inside") << peer_.url("/a\tb\r\nc") << "/abc";
    QTest::newRow("blank inside") << peer_.url("/a b") << "/a%20b";
    QTest::newRow("query kept") << peer_.url("/a.php?v=1.3") << "/a.php?v=1.3";
}

void TestUpdate::addressesReadAsBrowsersDo()
{
    QFETCH(QString, address);
    QFETCH(QString, requested);
    peer_.route(requested, "\xe8 t\xc3\xa8sto");
    Inet inet;
    const QVariant bytes = inet.OpenURL(address, 1);
    QCOMPARE(bytes.typeId(), QMetaType::QByteArray);
    QCOMPARE(bytes.toByteArray(), QByteArray("\xe8 t\xc3\xa8sto"));
    const QVariant text = inet.OpenURL(address, 0);
    QCOMPARE(text.typeId(), QMetaType::QString);
    QVERIFY(text.toString().endsWith(QString::fromUtf8(" t\xc3\xa8sto")));
    QCOMPARE(peer_.requests(), (QStringList{"GET " + requested, "GET " + requested}));
}

QTEST_MAIN(TestUpdate)
#include "test_update.moc"
