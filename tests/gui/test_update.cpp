// The version check at start, against a real HTTP service on this machine: what the
// operator meets for each answer, what lands on disk, and that the program always starts.
#include "core/platform/StopRequests.h"
#include "core/transfer/Inet.h"
#include "gui/Form1.h"
#include "gui/Form3.h"
#include "gui/Form4.h"
#include "gui/WindowRegistry.h"
#include "support/HttpPeer.h"
#include "support/WindowTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QtTest>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <atomic>
#include <csignal>
#include <optional>
#include <thread>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#include <windows.h>
#endif

namespace {

const QString Query = QStringLiteral("/morvantil/update.php?v=1.3");
const QString Caption = QStringLiteral("Controllo aggiornamenti in corso... | ");
const QString Downloading = QStringLiteral("Nuova versione disponibile. Scaricamento in corso...");
// An installer that proves it was started, and in which folder: a program for this
// platform (on Windows, tests/support/marker_installer.cpp).
#ifdef Q_OS_WIN
const QByteArray MarkerInstaller = [] {
    QFile program(QStringLiteral(MORVANTIL_MARKER_INSTALLER));
    return program.open(QIODevice::ReadOnly) ? program.readAll() : QByteArray("missing marker");
}();
#else
const QByteArray MarkerInstaller = "#!/bin/sh\npwd > started.txt\n";
#endif

// A program's head with one 16-bit field changed.
QByteArray Patched(QByteArray program, qsizetype at, quint16 value)
{
    qToLittleEndian(value, program.data() + at);
    return program;
}

// A message box, and how things stood when it came up.
struct Box {
    QString text;
    QMessageBox::Icon icon;
    QString title;
    bool windowShown;  // the progress window, or any other of the program's
    QByteArray installer;
    bool installerRan;
};

// The operator: watches the progress window whenever the program lets events through, and
// answers each message box with OK. `stopAt` "stop:download", "stop:box": asks the program to
// end (SIGTERM; on Windows what a stop leads to) then, and presses OK only once it has heard it.
struct Operator : QObject {
    QStringList progress;  // each "caption | label" Form4 showed
    QList<Box> boxes;
    QTimer timer;
    QByteArray stopAt;
    bool stopSent = false;
    std::function<void()> atOk;
#ifdef Q_OS_WIN
    static void RequestStop() { QMetaObject::invokeMethod(&WindowRegistry::Instance(), &WindowRegistry::UnloadAll, Qt::QueuedConnection); }
#else
    static void RequestStop() { std::raise(SIGTERM); }
#endif

    explicit Operator(const QByteArray& stopWhen = {}) : stopAt(stopWhen)
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (Form4* f = WindowRegistry::Instance().Loaded<Form4>(); f && f->isVisible()
                && !progress.contains(f->windowTitle() + " | " + f->Label1->text()))
                progress << f->windowTitle() + " | " + f->Label1->text();
            if (stopAt == "stop:download" && !progress.filter(QRegularExpression(" [1-9]\\d?%$")).isEmpty() && !std::exchange(stopSent, true))
                RequestStop();
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    if (stopAt == "stop:box" && (!std::exchange(stopSent, true) ? (RequestStop(), true) : WindowRegistry::Instance().LoadedCount() > 0))
                        continue;
                    bool windowShown = WindowRegistry::Instance().Loaded<Form4>();
                    for (QWidget* other : QApplication::topLevelWidgets())
                        windowShown |= qobject_cast<Window*>(other) && other->isVisible();
                    boxes << Box{box->text(), box->icon(), box->windowTitle(), windowShown, [] {
                                     QFile installer("update.exe");
                                     return installer.open(QIODevice::ReadOnly) ? installer.readAll() : QByteArray();
                                 }(), QFile::exists("started.txt")};
                    if (atOk)
                        atOk();
                    box->button(QMessageBox::Ok)->click();
                }
        });
        timer.start(0);
    }
};

// The key the test's update service signs with, and the authorities of its https service.
QByteArray updateKey;
QByteArray authorities;

// Starts the program as main() does. `stallSeconds`: the transfers' limit without progress;
// the query as a whole gets one second, a download a kilobyte a second over one second and
// three seconds in all.
Form1* StartProgram(const QString& base, int stallSeconds = 2)
{
    WindowRegistry::Instance().SetFactory<Form1>([=] {
        auto* main = new Form1(ServerAddresses{QStringLiteral("127.0.0.1:9"), base, stallSeconds, false, {}, updateKey});
        main->Inet1->OpenURLTimeout(1);
        main->Inet1->DownloadLimits(1024, 1, 3);
        main->Inet1->TrustAuthorities(authorities);
        return main;
    });
    return WindowRegistry::Instance().Start<Form1>();
}

// What the program left in the working directory, but for its log.
QStringList Files()
{
    QStringList files = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    files.removeOne(QStringLiteral("morvantil.log"));
    return files;
}

// The system's proxy settings while it lives, the previous ones back afterwards: on Windows
// the current user's Internet settings as Windows keeps them, on Linux the http_proxy variable.
struct ProxySettings {
    explicit ProxySettings(const QByteArray& settings) : saved(Get()) { Set(settings); }
    ~ProxySettings() { Set(saved); }
    QByteArray saved;
#ifdef Q_OS_WIN
    static constexpr const wchar_t* Key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
    static constexpr const wchar_t* Value = L"DefaultConnectionSettings";
    static QByteArray Get()
    {
        QByteArray value(4096, '\0');
        DWORD size = value.size();
        return RegGetValueW(HKEY_CURRENT_USER, Key, Value, RRF_RT_REG_BINARY, nullptr, value.data(), &size) ? QByteArray() : value.left(size);
    }
    // An empty value reads as none.
    static void Set(const QByteArray& v) { RegSetKeyValueW(HKEY_CURRENT_USER, Key, Value, REG_BINARY, v.data(), DWORD(v.size())); }
    // Flags: 2 the fixed proxy, 4 the configuration script; each text after its length.
    static QByteArray Windows(quint32 flags, const QByteArray& proxy, const QByteArray& exceptions, const QByteArray& script = {})
    {
        QByteArray value;
        QDataStream out(&value, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        out << 0x46u << 1u << (flags | 1u);
        for (const QByteArray& text : {proxy, exceptions, script})
            out.writeBytes(text.constData(), uint(text.size()));
        return value + QByteArray(32, '\0');
    }
#else
    // http_proxy, and no_proxy after a blank.
    static QByteArray Get() { return qgetenv("http_proxy") + ' ' + qgetenv("no_proxy"); }
    static void Set(const QByteArray& v) { qputenv("http_proxy", v.split(' ')[0]), qputenv("no_proxy", v.split(' ').value(1)); }
#endif
};

}  // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(peer_.started());
        updateKey = peer_.publicKey();
        QVERIFY(MakeTestCertificates(certificates_.path()));
        QFile ca(certificates_.filePath("ca.pem"));
        QVERIFY(ca.open(QIODevice::ReadOnly));
        authorities = ca.readAll();
        secure_.emplace(QStringList{"--tls", certificates_.filePath("server.pem"), certificates_.filePath("server.key")});
        QVERIFY(secure_->started());
    }
    void init() { peer_.clear(); }
    void cleanup() { ResetWindows(); }
    void noUpdate_data();
    void noUpdate();
    void update_data();
    void update();
    void updateFails_data();
    void updateFails();
    void systemProxy_data();
    void systemProxy();

private:
    // The start went on to the main window, with its settings read, and left no progress window.
    static void StartedNormally(Form1* main)
    {
        QVERIFY(!main->IsUnloaded());
        QVERIFY(main->isVisible());
        QCOMPARE(main->com, QString("001122"));
        QVERIFY(!WindowRegistry::Instance().Loaded<Form4>());
    }
    HttpPeer peer_;
    QTemporaryDir certificates_;
    std::optional<HttpPeer> secure_;  // the same service over https
};

void TestUpdate::noUpdate_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("mode");
    const QByteArray address = peer_.url("/new.exe").toUtf8();
    QTest::newRow("empty answer") << QByteArray() << 200 << "normal";
    QTest::newRow("capitals") << address.toUpper() << 200 << "normal";
    QTest::newRow("blank in front") << " " + address << 200 << "normal";
    QTest::newRow("three letters") << QByteArray("htt") << 200 << "normal";
    QTest::newRow("404 naming a file") << address << 404 << "normal";
    QTest::newRow("500 naming a file") << address << 500 << "normal";
    QTest::newRow("answer cut short") << address << 200 << "cut";
    QTest::newRow("never answers") << address << 200 << "hang";
    QTest::newRow("not running") << address << 0 << "";
    QTest::newRow("an answer past 64 KiB") << address + "\n" + QByteArray(70 * 1024, 'x') << 200 << "normal";
}

void TestUpdate::noUpdate()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(QString, mode);
    ScratchDir dir;
    dir.write("path.dat", "/srv/export\r\n");
    dir.write("com.dat", "001122\r\n");
    peer_.route(Query, answer, status, mode);
    peer_.route("/new.exe", MarkerInstaller);
    Operator op;

    QElapsedTimer clock;
    clock.start();
    // Stalls are given longer than the whole query may take.
    Form1* main = StartProgram(mode.isEmpty() ? QStringLiteral("http://127.0.0.1:9") : peer_.url(), 30);
    StartedNormally(main);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(clock.elapsed() < 5000, "the version check held up the start");
    QCOMPARE(peer_.requests(), mode.isEmpty() ? QStringList() : QStringList{"GET " + Query});
    QCOMPARE(op.progress, QStringList{Caption});
    QVERIFY(op.boxes.isEmpty());
    QCOMPARE(Files(), (QStringList{"com.dat", "path.dat"}));
}

void TestUpdate::update_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("requested");
    QTest::addColumn<QByteArray>("older");
    QTest::addColumn<bool>("slowly");  // a few seconds, while the progress window shows how far it is
    const QString address = peer_.url("/files/new.exe");
    QTest::newRow("plain address") << address << "/files/new.exe" << QByteArray() << true;
    QTest::newRow("address and CR LF") << address + "\r\n" << "/files/new.exe" << QByteArray("again") << false;
    QTest::newRow("tab inside, blank and LF after") << peer_.url("/files/\tnew.exe \n") << "/files/new.exe" << QByteArray() << false;
    QTest::newRow("blank inside") << peer_.url("/files/new one.exe") << "/files/new%20one.exe" << QByteArray() << false;
    QTest::newRow("over an older, longer update.exe") << address << "/files/new.exe" << QByteArray(5000, 'o') << false;
    QTest::newRow("a second line") << address + "\r\n" + peer_.url("/other.exe") << "/files/new.exe" << QByteArray() << false;
    QTest::newRow("a password in it") << QString(address).replace("://", "://utente:segreta@") << "/files/new.exe" << QByteArray() << false;
    // Not an older update.exe but what befalls this start:
    QTest::newRow("trusted comment ending in a blank and a tab") << address << "/files/new.exe" << QByteArray("tab") << false;
    QTest::newRow("left-over partial downloads") << address << "/files/new.exe" << QByteArray("left") << false;
    QTest::newRow("asked to end during the download") << address << "/files/new.exe" << QByteArray("stop:download") << true;
    QTest::newRow("asked to end at the announcement") << address << "/files/new.exe" << QByteArray("stop:box") << false;
#ifndef Q_OS_WIN
    QTest::newRow("update.exe a link") << address << "/files/new.exe" << QByteArray("link") << false;
    QTest::newRow("another file renamed over it while checked") << address << "/files/new.exe" << QByteArray("swap") << false;
#endif
}

void TestUpdate::update()
{
    QFETCH(QString, answer);
    QFETCH(QString, requested);
    QFETCH(QByteArray, older);
    QFETCH(bool, slowly);
    ScratchDir dir;  // not configured: not even the settings window may come up afterwards
    QVERIFY(older != "link" || (dir.write("elsewhere.txt", "not to be touched"), QFile::link("elsewhere.txt", "update.exe")));
    if (older == "left")
        dir.write("update.exe.a1B2c3", QByteArray(5000, 'l')), dir.write("update.exe.Zz9_x0", {});
    else if (older.size() > 100)
        dir.write("update.exe", older);
    // Swapped: long enough to be renamed over while it is read for its check.
    QByteArray installer = MarkerInstaller;
    if (older == "swap")
        installer += "exit 0\n" + QByteArray(16 << 20, '#');
    else if (slowly)
        installer += QByteArray(6000, '#');
    peer_.route(Query, answer.toUtf8());
    // Slowly: in about two seconds, whatever its size.
    peer_.route(requested, installer, 200, slowly ? QStringLiteral("trickle:%1").arg(installer.size() / 2) : "normal");
    peer_.route(requested + ".minisig", peer_.sign(installer, older == "tab" ? "Morvantil 1.10 \t" : "Morvantil 1.10"));
    StopRequests stopRequests;
    connect(&stopRequests, &StopRequests::Requested, &WindowRegistry::Instance(), &WindowRegistry::UnloadAll);
    Operator op(older);
    std::thread swapper;
    std::atomic_bool started = false;
    // Once the program opens update.exe after the OK (the operator's read is over), another file takes its name.
    if (older == "swap")
        op.atOk = [&] {
            dir.write("other.exe", "#!/bin/sh\ntouch other-started.txt\n");
            QFile::setPermissions("other.exe", QFile::ReadOwner | QFile::ExeOwner);
            swapper = std::thread([&started] {
                while (!started)
                    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files))
                        if (fd.symLinkTarget().endsWith("/update.exe"))
                            return void(std::rename("other.exe", "update.exe"));
            });
        };

    Form1* main = StartProgram(peer_.url());
    started = true;
    if (swapper.joinable())
        swapper.join();
    if (older.startsWith("stop:")) {
        // Nothing starts after the request, which is heard at once, at whatever step.
        QVERIFY(main->IsUnloaded() && op.boxes.isEmpty());
        QVERIFY(dir.read("morvantil.log").contains(older == "stop:box" ? "non avviato: chiusura del programma richiesta"
                                                                       : "non scaricato: interrotto per la chiusura del programma"));
        QCOMPARE(Files(), (older == "stop:box" ? QStringList{"update.exe"} : QStringList{}));
        return;
    }
    QCOMPARE(peer_.requests(), (QStringList{"GET " + Query, "GET " + requested + ".minisig", "GET " + requested}));
    // The window keeps painting while the file comes, and shows how far it has come.
    QCOMPARE(op.progress.mid(0, 2), (QStringList{Caption, Caption + Downloading}));
    QVERIFY2(op.progress.mid(2).filter(QRegularExpression("^" + QRegularExpression::escape(Caption + Downloading)
                                                          + " \\d+%$")).size() == op.progress.size() - 2,
             qPrintable(op.progress.join('\n')));
    if (slowly)
        QVERIFY2(op.progress.filter(QRegularExpression(" [1-9]\\d?%$")).size() > 0, qPrintable(op.progress.join('\n')));
    QCOMPARE(op.boxes.size(), 1);
    QCOMPARE(op.boxes[0].text, QString("Verrà installata ora la nuova versione"));
    QCOMPARE(op.boxes[0].title, QString("Aggiornamento"));
    QCOMPARE(op.boxes[0].icon, QMessageBox::NoIcon);
    QVERIFY(!op.boxes[0].windowShown);
    QCOMPARE(op.boxes[0].installer, installer);
    QVERIFY2(!op.boxes[0].installerRan, "started before the operator's OK");

    // The program ends behind the installer, which runs from the working directory.
    QVERIFY(main->IsUnloaded());
    QCOMPARE(WindowRegistry::Instance().LoadedCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(dir.read("started.txt").trimmed(),
                              QFileInfo(dir.path()).canonicalFilePath().toUtf8(), 5000);
    // What started is what was checked; the other one never.
    QVERIFY(!QFile::exists("other-started.txt"));
    if (older == "swap")
        return;
    QCOMPARE(dir.read("update.exe"), installer);
    // A link is replaced, never followed.
    QCOMPARE(dir.read("elsewhere.txt"), older == "link" ? QByteArray("not to be touched") : QByteArray("<missing>"));
    QCOMPARE(Files().filter(QRegularExpression("^(?!elsewhere)")), (QStringList{"started.txt", "update.exe", "update.started"}));
    if (older == "again") {
        // The installer left this version in place: the next start comes up as it is, without
        // the version check, and the one after tries again.
        for (const bool installs : {false, true}) {
            ResetWindows();
            QFile::remove("started.txt");
            QCOMPARE(StartProgram(peer_.url())->IsUnloaded(), installs);
            QCOMPARE(peer_.requests().size(), installs ? 6 : 3);
        }
        QVERIFY(dir.read("morvantil.log").contains("Aggiornamento alla versione 1.10 non installato: il programma è "
                                                   "ancora alla versione 1.3; nuovo tentativo al prossimo avvio"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("started.txt"), 5000);
    }
#ifdef Q_OS_WIN
    // Held for its start, as between its last check and its process: it starts, and
    // nobody can change or delete it.
    const std::wstring path = QDir::toNativeSeparators(dir.file("update.exe")).toStdWString();
    void* held = Win32OpenHeld(path);
    QVERIFY(held);
    QVERIFY(!DeleteFileW(path.c_str()));
    QCOMPARE(CreateFileW(path.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    QVERIFY(Win32StartProgram("update.exe"));
    Win32CloseHeld(held);
#endif
    QVERIFY(!dir.read("morvantil.log").contains("segreta"));
}

void TestUpdate::updateFails_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("served");
    QTest::addColumn<QString>("message");  // the error box's first words, if any
    QTest::addColumn<QByteArray>("left");  // update.exe afterwards; empty: a folder in the way
    QTest::addColumn<QString>("signature");  // how its .minisig is made; empty: as the region would
    QTest::addColumn<QString>("refusal");    // then what the log says of it
    const QString address = peer_.url("/new.exe");
    const QByteArray big = MarkerInstaller + QByteArray(100000, '#');
    const QByteArray lastYear = "#!/bin/sh\n# the installer of last year\n";
    // Passes for a program but cannot be started: on Windows a 32-bit program's headers alone
    // (what every x64 Windows runs, and this Wine cannot).
#ifdef Q_OS_WIN
    QByteArray unstartable(0x200, '\0');
    unstartable.replace(0, 2, "MZ");
    unstartable[0x3C] = 0x40;
    unstartable.replace(0x40, 4, QByteArray("PE\0\0", 4));
    for (const auto& [at, value] : {std::pair{0x44, 0x14C}, {0x54, 0xE0}, {0x56, 0x102}, {0x58, 0x10B}, {0x9C, 2}})
        unstartable = Patched(unstartable, at, quint16(value));
    // The marker marked as a library, and built for ARM64.
    const qsizetype header = qFromLittleEndian<quint32>(MarkerInstaller.constData() + 0x3C);
    const quint16 characteristics = qFromLittleEndian<quint16>(MarkerInstaller.constData() + header + 22);
    const QByteArray library = Patched(MarkerInstaller, header + 22, characteristics | 0x2000);
    const QByteArray otherProcessor = Patched(MarkerInstaller, header + 4, 0xAA64);
#else
    const QByteArray unstartable = "#!/nonexistent/interpreter\n";
    // This very program, as a 32-bit one and as one for AArch64.
    QFile self(QCoreApplication::applicationFilePath());
    const QByteArray head = self.open(QIODevice::ReadOnly) ? self.read(4096) : QByteArray();
    const QByteArray library = Patched(head, 4, 0x0101);  // ELFCLASS32, still little-endian
    const QByteArray otherProcessor = Patched(head, 18, 183);
#endif
    QTest::newRow("404") << address << 404 << "normal" << big << "" << lastYear << "" << "";
    QTest::newRow("500") << address << 500 << "normal" << big << "" << lastYear << "" << "";
    QTest::newRow("cut short") << address << 200 << "cut" << big << "" << lastYear << "" << "";
    QTest::newRow("stalls") << address << 200 << "hang" << big << "" << lastYear << "" << "";
    QTest::newRow("trickles a few bytes a second") << address << 200 << "trickle:20" << big << "" << lastYear << "" << "";
    QTest::newRow("slower than the whole bound") << address << 200 << "trickle:8000" << big << "" << lastYear << "" << "";
    QTest::newRow("just the four letters") << "http" << 200 << "normal" << big << "" << lastYear << "" << "";
    QTest::newRow("not a web address") << "httpx://127.0.0.1/x" << 200 << "normal" << big << "" << lastYear << "" << "";
    // Answers that are not a program never become update.exe.
    QTest::newRow("200, empty") << address << 200 << "normal" << QByteArray() << "" << lastYear << "" << "";
    QTest::newRow("204") << address << 204 << "normal" << QByteArray() << "" << lastYear << "" << "";
    QTest::newRow("302 without a Location") << address << 302 << "normal" << QByteArray() << "" << lastYear << "" << "";
    QTest::newRow("error page served with 200")
        << address << 200 << "normal" << QByteArray("<html><body>Errore 500</body></html>") << "" << lastYear << "" << "";
    QTest::newRow("a program for another system")
        << address << 200 << "normal"
#ifdef Q_OS_WIN
        << QByteArray("\x7F" "ELF\x02\x01\x01")
#else
        << QByteArray("MZ\x90\x00\x03 a Windows program", 24)
#endif
        << "" << lastYear << "" << "";
    QTest::newRow("a DLL (on Linux a 32-bit ELF)") << address << 200 << "normal" << library << "" << lastYear << "" << "";
    QTest::newRow("a program for another processor") << address << 200 << "normal" << otherProcessor << "" << lastYear << "" << "";
    QTest::newRow("cannot be written") << address << 200 << "normal" << big
                                       << "Impossibile scrivere il file update.exe" << QByteArray() << "" << "";
    QTest::newRow("cannot be started") << address << 200 << "normal" << unstartable
                                       << "Impossibile avviare update.exe" << unstartable << "" << "";
    // Only what the region signed, for a newer version, is ever saved and started.
    const QList<std::pair<const char*, const char*>> refused{
        {"none", "firma non scaricata (risposta HTTP 404"},
        {"one byte changed", "la firma non corrisponde al file scaricato"},
        {"another key", "firmato con un'altra chiave"},
        {"Morvantil 1.2", "versione 1.2 non più nuova della 1.3"},
        {"Morvantil 1.3", "versione 1.3 non più nuova della 1.3"},
        {"another file", "la firma non corrisponde al file scaricato"},
        {"unhashed", "firma nella forma senza hash (Ed), non ammessa"},
        {"Brenola 2.0", "il commento firmato non nomina una versione di Morvantil"}};
    for (const auto& [signature, refusal] : refused)
        QTest::newRow(signature) << address << 200 << "normal" << big << "" << lastYear << signature
                                 << QStringLiteral("firma dell'aggiornamento non valida: ") + refusal;
    // Once the address is https, nothing on the way takes it back to plain http.
    QTest::newRow("https, redirected to http")
        << QStringLiteral("https://localhost:%1/new.exe").arg(secure_->port()) << 200 << "normal" << big << "" << lastYear
        << "https" << "rinviato da https a un indirizzo non https";
}

void TestUpdate::updateFails()
{
    QFETCH(QString, answer);
    QFETCH(int, status);
    QFETCH(QString, mode);
    QFETCH(QByteArray, served);
    QFETCH(QString, message);
    QFETCH(QByteArray, left);
    QFETCH(QString, signature);
    QFETCH(QString, refusal);
    ScratchDir dir;
    dir.write("path.dat", "/srv/export\r\n");
    dir.write("com.dat", "001122\r\n");
    if (left.isEmpty())
        QVERIFY(QDir().mkdir("update.exe"));  // in the way, even for root
    else if (left != served)
        dir.write("update.exe", left);
    peer_.route(Query, answer.toUtf8());
    QByteArray fileServed = served;
    if (signature == "one byte changed")
        fileServed[fileServed.size() / 2] = char(fileServed[fileServed.size() / 2] ^ 1);
    peer_.route("/new.exe", fileServed, status, mode);
    if (signature == "https") {
        secure_->clear();
        secure_->route("/new.exe.minisig", peer_.sign(served, "Morvantil 1.4"));
        secure_->route("/new.exe", {}, 302, "redirect:" + peer_.url("/new.exe"));
    }
    if (signature != "none")
        peer_.route("/new.exe.minisig", peer_.sign(signature == "another file" ? QByteArray("#!/bin/sh\n# another installer\n") : served,
                                                   signature.startsWith("M") || signature.startsWith("B") ? signature : "Morvantil 1.4",
                                                   signature == "another key", signature == "unhashed"));
    Operator op;

    QElapsedTimer clock;
    clock.start();
    Form1* main = StartProgram(peer_.url());
    QVERIFY2(clock.elapsed() < 10000, "the download held up the start beyond its bounds");
    StartedNormally(main);
    if (QTest::currentTestFailed())
        return;
    if (message.isEmpty()) {
        QVERIFY(op.boxes.isEmpty());
    } else {
        QCOMPARE(op.boxes.last().icon, QMessageBox::Critical);
        QCOMPARE(op.boxes.last().title, QString("Aggiornamento"));
        QVERIFY2(op.boxes.last().text.startsWith(message), qPrintable(op.boxes.last().text));
    }
    if (!left.isEmpty())
        QCOMPARE(dir.read("update.exe"), left);
    QCOMPARE(Files(), (QStringList{"com.dat", "path.dat", "update.exe"}));  // no half-written file
    if (!refusal.isEmpty())
        QVERIFY2(dir.read("morvantil.log").contains("Aggiornamento non scaricato: " + refusal.toUtf8()),
                 dir.read("morvantil.log").constData());
}

// The service, 127.0.0.2:9, is not there: only the proxy (the peer, recording whole addresses) answers.
void TestUpdate::systemProxy_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("requests");  // what reached the proxy; "log: " what the log says
    const QByteArray proxy = peer_.url().mid(7).toUtf8(), peer = peer_.url("/").toUtf8(), missing = "http://127.0.0.1:9/";
    const QStringList through{"GET http://127.0.0.2:9" + Query}, direct;
#ifdef Q_OS_WIN
    QTest::newRow("fixed proxy") << ProxySettings::Windows(2, proxy, {}) << through;
    QTest::newRow("one for each scheme") << ProxySettings::Windows(2, "https=127.0.0.1:9;http=" + proxy, {}) << through;
    QTest::newRow("exceptions that do not apply") << ProxySettings::Windows(2, proxy, "<local>; 127.0.0.1;*.it") << through;
    QTest::newRow("an exception that applies") << ProxySettings::Windows(2, proxy, "<local>;127.0.0.*") << direct;
    QTest::newRow("configuration script") << ProxySettings::Windows(4, {}, {}, peer + "proxy.pac") << QStringList{"GET /proxy.pac"} + through;
    QTest::newRow("script missing, fixed proxy") << ProxySettings::Windows(4 | 2, proxy, {}, missing) << through;
    QTest::newRow("script missing") << ProxySettings::Windows(4, {}, {}, missing) << direct;
    QTest::newRow("script never sent") << ProxySettings::Windows(4, {}, {}, peer + "hang.pac") << QStringList{"GET /hang.pac"};
    QTest::newRow("script: a proxy that is down, then DIRECT") << ProxySettings::Windows(4, {}, {}, peer + "dead.pac")
                                                               << QStringList{"GET /dead.pac", "log without: proxy"};
    QTest::newRow("fixed proxy down") << ProxySettings::Windows(2, "127.0.0.1:9", {})
                                      << QStringList{"log: (tramite il proxy 127.0.0.1:9), http://127.0.0.2:9"};
#else
    QTest::newRow("http_proxy") << "http://" + proxy << through;
    QTest::newRow("no_proxy naming the service") << "http://" + proxy + " example.org,127.0.0.2" << direct;
#endif
}

void TestUpdate::systemProxy()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, requests);
    const ProxySettings system(settings);
    ScratchDir dir;
    dir.write("path.dat", "/srv/export\r\n");
    dir.write("com.dat", "001122\r\n");
    peer_.route("/proxy.pac", "function FindProxyForURL(url, host) { return \"PROXY " + peer_.url().mid(7).toUtf8() + "\"; }");
    peer_.route("/hang.pac", {}, 200, "hang");
    peer_.route("/dead.pac", "function FindProxyForURL(url, host) { return \"PROXY 127.0.0.1:9; DIRECT\"; }");
    peer_.route("http://127.0.0.2:9" + Query, {});
    QElapsedTimer clock;
    clock.start();
    StartedNormally(StartProgram(QStringLiteral("http://127.0.0.2:9")));
    QVERIFY2(clock.elapsed() < 8000, "the proxy's lookup held up the start");
    const QString log = QString::fromUtf8(dir.read("morvantil.log"));
    for (const QString& logged : requests.filter(QRegularExpression("^log[: ]")))
        QVERIFY2(log.contains(logged.section(": ", 1)) != logged.startsWith("log without"), qPrintable(log));
    QCOMPARE(peer_.requests(), requests.filter(QRegularExpression("^(?!log[: ])")));
}

QTEST_MAIN(TestUpdate)
#include "test_update.moc"
