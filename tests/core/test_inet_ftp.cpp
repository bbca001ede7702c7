// The transfer component's FTP commands against a real FTP server on 127.0.0.1.
#include "core/transfer/GetShortFileName.h"
#include "core/transfer/Inet.h"
#include "core/transfer/WaitWhileBusy.h"
#include "support/FtpPeer.h"
#include "support/HttpPeer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>
#include <optional>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

const QString userName = QStringLiteral("lorvenzab");
const QString password = QStringLiteral("kqz3817t42");

// Bytes that differ from one file to the next and hold every byte value.
QByteArray Pattern(qint64 size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + seed * 7 + (i >> 13)) & 0xff);
    return bytes;
}

QString WriteFile(const QString& folder, const QString& name, const QByteArray& bytes)
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString Put(const QString& local, const QString& remote)
{
    return QStringLiteral("PUT ") + LocalPart(local) + u' ' + remote;
}

void Connect(Inet& inet, const QString& url, const QString& pass = password)
{
    inet.URL(url);
    inet.UserName(userName);
    inet.Password(pass);
    inet.Execute();
}

// The failure the ended command raised, "" when it succeeded.
QString Outcome(Inet& inet)
{
    try {
        WaitWhileBusy(inet);
        return {};
    } catch (const InetError& e) {
        return QStringLiteral("failed: ") + QString::fromStdString(e.what());
    }
}

}  // namespace

class TestInetFtp : public QObject {
    Q_OBJECT
private slots:
    void uploadsEveryFileOverOneConnection();
    void refusesUnsafeCommandsBeforeSendingAnything();
    void raisesEachFailureOnce_data();
    void raisesEachFailureOnce();
    void cancelStopsAtOnceAndTheNextRunStartsAfresh();
    void destroyedDuringAnUploadReturnsPromptly();
    void localFilesThatBlockFailWithinTheLimit();
    void aFileThatChangesWhileSentFails();
    void provesTheContentOrRemovesTheFile_data();
    void provesTheContentOrRemovesTheFile();
};

void TestInetFtp::uploadsEveryFileOverOneConnection()
{
    FtpPeer peer;
    QVERIFY(peer.Started());
    QTemporaryDir local;
    // Blanks, a '%' and something that looks percent-encoded in the folder's name.
    const QString folder = local.filePath(QStringLiteral("Dati Brenola/100% a%20b "));
    const QByteArray small = Pattern(100 * 1024 + 7, 1);
    const QByteArray large = Pattern(40 * 1024 * 1024 + 3, 2);
    const QString smallPath = WriteFile(folder, QStringLiteral("DIA.TXT"), small);
    const QString emptyPath = WriteFile(folder, QStringLiteral("EMPTY.TXT"), {});
    const QString largePath = WriteFile(folder, QStringLiteral("BIG.TXT"), large);
    QVERIFY(!LocalPart(smallPath).contains(u' '));

    // An office's proxy variables never take the account and the files elsewhere.
    HttpPeer proxy;
    QVERIFY(proxy.started());
    for (const char* variable : {"ftp_proxy", "all_proxy", "ALL_PROXY"})
        qputenv(variable, proxy.url().toUtf8());
    Inet inet(nullptr, 10);
    QSignalSpy ended(&inet, &Inet::CommandEnded);
    Connect(inet, peer.Url());
    QCOMPARE(Outcome(inet), QString());
    // Blanks kept on both sides; '#', '?', ';' and '%' are part of the name, not the URL.
    const QStringList commands{Put(smallPath, QStringLiteral(" 042 _DIA.txt")),
                               Put(emptyPath, QStringLiteral("a#b?c;d%41.txt")),
                               Put(largePath, QStringLiteral("BIG.txt")),
                               QStringLiteral("QUIT")};
    for (const QString& command : commands) {
        inet.Execute(QString(), command);
        QCOMPARE(Outcome(inet), QString());
    }
    QCOMPARE(ended.count(), 1 + commands.size());
    for (const char* variable : {"ftp_proxy", "all_proxy", "ALL_PROXY"})
        qunsetenv(variable);
    QCOMPARE(proxy.requests(), QStringList());

    QCOMPARE(peer.Received(QStringLiteral(" 042 _DIA.txt")), small);
    // Read from the server's log: '?' cannot stand in a Windows file name.
    QCOMPARE(peer.Count(QStringLiteral("RECEIVED a#b?c;d%41.txt 0")), 1);
    QVERIFY(peer.Received(QStringLiteral("BIG.txt")) == large);
    QCOMPARE(peer.Count(QStringLiteral("CMD STOR  042 _DIA.txt")), 1);
    // One connection, one login, and a QUIT the server really received.
    QCOMPARE(peer.Count(QStringLiteral("CONNECT")), 1);
    QCOMPARE(peer.Count(QStringLiteral("CMD USER ")), 1);
    QCOMPARE(peer.Count(QStringLiteral("LOGIN lorvenzab")), 1);
    QCOMPARE(peer.Count(QStringLiteral("CMD QUIT")), 1);
    QTRY_COMPARE(peer.Count(QStringLiteral("DISCONNECT")), 1);
}

void TestInetFtp::refusesUnsafeCommandsBeforeSendingAnything()
{
    FtpPeer peer;
    QVERIFY(peer.Started());
    QTemporaryDir local;
    const QString file = WriteFile(local.path(), QStringLiteral("DIA.TXT"), "x");
    Inet inet(nullptr, 10);
    Connect(inet, peer.Url());
    QCOMPARE(Outcome(inet), QString());

    const QStringList unsafe{
        Put(file, QStringLiteral("../up.txt")),        Put(file, QStringLiteral("sub/x.txt")),
        Put(file, QStringLiteral("..\\up.txt")),       Put(file, QStringLiteral("x.txt\r\nDELE y")),
        Put(file, QStringLiteral("tab\there.txt")),    Put(file, QStringLiteral("nul\u0000.txt")),
        Put(file, QStringLiteral("..")),               Put(file, QString()),
        QStringLiteral("PUT ") + LocalPart(file), QStringLiteral("DELE x.txt"),
#ifdef Q_OS_WIN
        // Outside the code page the name is sent in: never as its look-alike "Lódz.txt".
        Put(file, QStringLiteral("Łódź.txt")),
#endif
    };
    for (const QString& command : unsafe) {
        QVERIFY_THROWS_EXCEPTION(InetError, inet.Execute(QString(), command));
        QVERIFY(!inet.StillExecuting());
    }
    inet.Execute(QString(), QStringLiteral("QUIT"));
    QCOMPARE(Outcome(inet), QString());
    QCOMPARE(peer.Count(QStringLiteral("CMD STOR ")), 0);
    QCOMPARE(peer.Count(QStringLiteral("CMD DELE ")), 0);
    QCOMPARE(QDir(peer.Root()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestInetFtp::raisesEachFailureOnce_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("failsAtLogin");
    QTest::addColumn<QString>("why");  // the cause, in the log's words

    const qint64 MB = 1024 * 1024;
    QTest::newRow("server not running") << QStringList() << false << password << MB << true
                                        << "^failed: server non raggiungibile$";
    QTest::newRow("login refused") << QStringList() << true << QStringLiteral("wrong") << MB << true
                                   << "^failed: accesso rifiutato dal server \\(530 .+\\)$";
    QTest::newRow("server never greets") << QStringList{"--mute"} << true << password << MB << true
                                         << "nessuna risposta per 2 s";
    QTest::newRow("upload refused") << QStringList{"--refuse-writes"} << true << password << MB
                                    << false << "^failed: file rifiutato dal server \\(550 .+\\)$";
    QTest::newRow("connection cut") << QStringList{"--cut-after", "1000000"} << true << password
                                    << 8 * MB << false << "collegamento interrotto";
    QTest::newRow("server stops answering") << QStringList{"--stall-after", "300000"} << true
                                            << password << 64 * MB << false << "nessuna risposta per 2 s";
    QTest::newRow("local file missing") << QStringList() << true << password << qint64(-1) << false
                                        << "file locale";
}

void TestInetFtp::raisesEachFailureOnce()
{
    QFETCH(QStringList, switches);
    QFETCH(bool, serverUp);
    QFETCH(QString, pass);
    QFETCH(qint64, size);
    QFETCH(bool, failsAtLogin);
    QFETCH(QString, why);

    FtpPeer peer(switches);
    QVERIFY(peer.Started());
    if (!serverUp)
        peer.Stop();
    QTemporaryDir local;
    QString file = local.filePath(QStringLiteral("gone.txt"));
    if (size >= 0)
        file = WriteFile(local.path(), QStringLiteral("DATA.TXT"), Pattern(size, 3));

    // A two-second stall limit stands for the usual minute.
    Inet inet(nullptr, 2);
    QElapsedTimer clock;
    clock.start();
    Connect(inet, peer.Url(), pass);
    QString outcome = Outcome(inet);
    if (!failsAtLogin) {
        QCOMPARE(outcome, QString());
        // The command itself starts; its failure comes from the busy flag once it has ended.
        inet.Execute(QString(), Put(file, QStringLiteral("123_DIA.txt")));
        outcome = Outcome(inet);
        QCOMPARE(peer.Count(QStringLiteral("RECEIVED ")), 0);
    }
    QVERIFY2(outcome.startsWith(u"failed: ") && outcome.contains(QRegularExpression(why)),
             qPrintable(outcome));
    // Raised once: the flag reads false afterwards, with nothing more to raise.
    QVERIFY(!inet.StillExecuting());
    QVERIFY2(clock.elapsed() < 30000, "a failure must not hang the component");
}

void TestInetFtp::cancelStopsAtOnceAndTheNextRunStartsAfresh()
{
    FtpPeer peer({QStringLiteral("--throttle"), QStringLiteral("100000")});
    QVERIFY(peer.Started());
    QTemporaryDir local;
    const QString slow = WriteFile(local.path(), QStringLiteral("SLOW.TXT"), Pattern(5 * 1024 * 1024, 4));
    const QString quick = WriteFile(local.path(), QStringLiteral("QUICK.TXT"), Pattern(50000, 5));

    Inet inet(nullptr, 10);
    Connect(inet, peer.Url());
    QCOMPARE(Outcome(inet), QString());
    inet.Execute(QString(), Put(slow, QStringLiteral("slow.txt")));
    QTRY_COMPARE(peer.Count(QStringLiteral("CMD STOR ")), 1);
    QVERIFY(inet.StillExecuting());
    // One command at a time.
    QVERIFY_THROWS_EXCEPTION(InetError, inet.Execute(QString(), Put(quick, QStringLiteral("q.txt"))));

    QSignalSpy ended(&inet, &Inet::CommandEnded);
    inet.Cancel();
    QVERIFY(!inet.StillExecuting());
    QVERIFY(ended.wait(5000));  // a wait for the end wakes up
    QTRY_COMPARE(peer.Count(QStringLiteral("INCOMPLETE ")), 1);

    // A new run on the same component: a new connection, and the upload goes through.
    Connect(inet, peer.Url());
    QCOMPARE(Outcome(inet), QString());
    inet.Execute(QString(), Put(quick, QStringLiteral("q.txt")));
    QCOMPARE(Outcome(inet), QString());
    inet.Execute(QString(), QStringLiteral("QUIT"));
    QCOMPARE(Outcome(inet), QString());
    QCOMPARE(peer.Received(QStringLiteral("q.txt")), Pattern(50000, 5));
    QCOMPARE(peer.Count(QStringLiteral("CONNECT")), 2);
    // The stopped connection was dropped without a word.
    QCOMPARE(peer.Count(QStringLiteral("CMD QUIT")), 1);
}

void TestInetFtp::destroyedDuringAnUploadReturnsPromptly()
{
    FtpPeer peer({QStringLiteral("--throttle"), QStringLiteral("100000")});
    QVERIFY(peer.Started());
    QTemporaryDir local;
    const QString slow = WriteFile(local.path(), QStringLiteral("SLOW.TXT"), Pattern(5 * 1024 * 1024, 6));
    QElapsedTimer clock;
    {
        Inet inet(nullptr, 60);
        Connect(inet, peer.Url());
        QCOMPARE(Outcome(inet), QString());
        inet.Execute(QString(), Put(slow, QStringLiteral("slow.txt")));
        QTRY_COMPARE(peer.Count(QStringLiteral("CMD STOR ")), 1);
        clock.start();
    }
    QVERIFY2(clock.elapsed() < 5000, "destroying the component must not wait for the upload");
    QTRY_COMPARE(peer.Count(QStringLiteral("INCOMPLETE ")), 1);
}

void TestInetFtp::localFilesThatBlockFailWithinTheLimit()
{
    StallingFolder share(100000, 0);
    if (!share.Ready())
        QSKIP(qPrintable(share.Reason()));
    FtpPeer peer;
    QVERIFY(peer.Started());
    QTemporaryDir local;
    QStringList blocking{QDir(share.Path()).filePath(QStringLiteral("DIA.TXT"))};
#ifndef Q_OS_WIN
    // Swapped in for an export file after its presence test: opening it would wait for a writer.
    blocking << local.filePath(QStringLiteral("FIFO.TXT"));
    QCOMPARE(mkfifo(qPrintable(blocking.last()), 0644), 0);
#endif

    std::optional<Inet> inet(std::in_place, nullptr, 2);
    QElapsedTimer clock;
    for (const QString& file : blocking) {
        Connect(*inet, peer.Url());
        QCOMPARE(Outcome(*inet), QString());
        clock.start();
        inet->Execute(QString(), Put(file, QStringLiteral("x.txt")));
        const QString outcome = Outcome(*inet);
        QVERIFY2(outcome.contains(QStringLiteral("file locale")), qPrintable(outcome));
        QVERIFY2(clock.elapsed() < 15000, "a local file held the command beyond its limit");
    }
    // The component still serves the next run.
    const QString good = WriteFile(local.path(), QStringLiteral("GOOD.TXT"), Pattern(1000, 7));
    Connect(*inet, peer.Url());
    QCOMPARE(Outcome(*inet), QString());
    inet->Execute(QString(), Put(good, QStringLiteral("good.txt")));
    QCOMPARE(Outcome(*inet), QString());
    QCOMPARE(peer.Received(QStringLiteral("good.txt")), Pattern(1000, 7));

    // Destroyed while a read is stuck, it still returns.
    Connect(*inet, peer.Url());
    QCOMPARE(Outcome(*inet), QString());
    inet->Execute(QString(), Put(blocking.first(), QStringLiteral("y.txt")));
#ifndef Q_OS_WIN
    // Held in the read that follows the command. Wine is held in the file's open already,
    // before any command goes out.
    QTRY_COMPARE(peer.Count(QStringLiteral("CMD STOR y.txt")), 1);
#endif
    clock.start();
    inet.reset();
    QVERIFY2(clock.elapsed() < 5000, "destroying the component waited for a stuck read");
    QCOMPARE(peer.Count(QStringLiteral("RECEIVED ")), 1);
}

void TestInetFtp::aFileThatChangesWhileSentFails()
{
    // Brenola still writing the export while it travels.
    FtpPeer peer({QStringLiteral("--throttle"), QStringLiteral("500000")});
    QVERIFY(peer.Started());
    QTemporaryDir local;
    const QString file = WriteFile(local.path(), QStringLiteral("DIA.TXT"), Pattern(2000000, 8));
    Inet inet(nullptr, 10);
    Connect(inet, peer.Url());
    QCOMPARE(Outcome(inet), QString());
    inet.Execute(QString(), Put(file, QStringLiteral("dia.txt")));
    QTRY_COMPARE(peer.Count(QStringLiteral("CMD STOR ")), 1);
    QFile growing(file);
    QVERIFY(growing.open(QIODevice::Append));
    growing.write(Pattern(1000, 9));
    growing.close();
    const QString outcome = Outcome(inet);
    QVERIFY2(outcome.contains(QStringLiteral("2000000 byte all'inizio, 2001000 alla fine")), qPrintable(outcome));
    // What the server got is no export at all: it does not stay under the export's name.
    QVERIFY2(outcome.endsWith(QStringLiteral("il file dia.txt è stato rimosso dal server")), qPrintable(outcome));
    QCOMPARE(peer.Received(QStringLiteral("dia.txt")), QByteArray("<missing>"));
}

void TestInetFtp::provesTheContentOrRemovesTheFile_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<bool>("temporaryNames");
    QTest::addColumn<QStringList>("proofs");  // of the file, then of an empty one; or the failure
    QTest::addColumn<QString>("asked");       // the command that asked for the proof

    const QString proftpd = QStringLiteral("proftpd_server.py"), pyftpdlib = QStringLiteral("ftp_server.py");
    const QStringList sha256{"SHA-256", "SHA-256"}, sizes{"", ""};
    QTest::newRow("ProFTPD: HASH, SHA-256 selected") << proftpd << QStringList() << false << sha256 << "HASH ";
    // Its XSHA256 refuses an empty file: the size is that file's proof.
    QTest::newRow("ProFTPD: XSHA256") << proftpd << QStringList{"--digest", "opts-refused"} << false
                                      << QStringList{"SHA-256", ""} << "XSHA256 ";
    QTest::newRow("pyftpdlib: no hash") << pyftpdlib << QStringList() << false << sizes << "SIZE ";
    QTest::newRow("a reply without a hash") << pyftpdlib << QStringList{"--hashes", "garbled"} << false << sizes
                                            << "SIZE ";
    QTest::newRow("one byte changed") << pyftpdlib << QStringList{"--hashes", "stored", "--flip-byte"} << false
                                      << QStringList{"failed: il contenuto del file 042_DIA.txt sul server è diverso da "
                                                     "quello inviato (SHA-256); il file 042_DIA.txt è stato rimosso "
                                                     "dal server"} << "HASH ";
    QTest::newRow("ProFTPD, temporary names") << proftpd << QStringList() << true << sha256 << "RNTO ";
    QTest::newRow("pyftpdlib, temporary names") << pyftpdlib << QStringList() << true << sizes << "RNTO ";
    QTest::newRow("no rename onto an existing file") << pyftpdlib << QStringList{"--refuse-rename", "onto-existing"}
                                                     << true << sizes << "DELE 042_DIA.txt";
    QTest::newRow("no rename") << pyftpdlib << QStringList{"--refuse-rename", "always"} << true
                               << QStringList{"failed: il server non ha rinominato 042_DIA.txt.part in 042_DIA.txt "
                                              "(550 Cannot create a file when that file already exists.); il file "
                                              "042_DIA.txt.part è stato rimosso dal server"} << "RNTO ";
}

void TestInetFtp::provesTheContentOrRemovesTheFile()
{
    QFETCH(QString, server);
    QFETCH(QStringList, switches);
    QFETCH(bool, temporaryNames);
    QFETCH(QStringList, proofs);
    QFETCH(QString, asked);
    FtpPeer peer(switches, server);
    QVERIFY(peer.Started());
    // The last run's file, under the final name.
    WriteFile(peer.Root(), QStringLiteral("042_DIA.txt"), "older");
    QTemporaryDir local;
    const QStringList files{WriteFile(local.path(), QStringLiteral("DIA.TXT"), Pattern(3000001, 10)),
                            WriteFile(local.path(), QStringLiteral("EMPTY.TXT"), {})};
    const QStringList remotes{QStringLiteral("042_DIA.txt"), QStringLiteral("042_EMPTY.txt")};
    Inet inet(nullptr, 10);
    inet.TemporaryNames(temporaryNames);
    Connect(inet, peer.Url());
    QCOMPARE(Outcome(inet), QString());
    for (int i = 0; i < proofs.size(); ++i) {
        inet.Execute(QString(), Put(files[i], remotes[i]));
        const QString outcome = Outcome(inet);
        if (proofs[i].startsWith(u"failed: ")) {
            QCOMPARE(outcome, proofs[i]);
            QCOMPARE(QDir(peer.Root()).entryList(QDir::Files), QStringList());
        } else {
            QCOMPARE(outcome, QString());
            QCOMPARE(QString::fromStdString(inet.LastArrival().proof), proofs[i]);
            QVERIFY(peer.Received(remotes[i]) == Pattern(i == 0 ? 3000001 : 0, 10));
        }
    }
    QVERIFY2(peer.Count(QStringLiteral("CMD ") + asked) > 0, qPrintable(peer.Log().join(u'\n')));
    if (!proofs[0].startsWith(u"failed: "))
        QCOMPARE(QDir(peer.Root()).entryList(QDir::Files), remotes);
}

QTEST_GUILESS_MAIN(TestInetFtp)
#include "test_inet_ftp.moc"
