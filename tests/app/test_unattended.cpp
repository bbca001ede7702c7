// "morvantil --invia": one transfer without any window, for the Task Scheduler or cron.
// The built program runs as a process against a server on the address it was built with;
// the cases that need a server of their own or a short time-out drive its entry point here.
#include "app/CommandLine.h"
#include "app/SendUnattended.h"
#include "core/platform/StopRequests.h"
#include "core/schedule/DailyRun.h"
#include "core/schedule/LastScheduledRun.h"
#include "core/transfer/TransferSequence.h"
#include "support/FtpPeer.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QTimer>
#include <memory>
#include <QtTest>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#endif

namespace {

const QStringList Remote{"_DIA.txt", "_CIL.txt", "_DIAIMP.txt", "_CILIMP.txt", "_PROF.txt"};
const QStringList Steps{"elaborazione in corso...", "Caricamento file DIA in corso...",
                        "Caricamento file CIL in corso...", "Caricamento file imprese DIA in corso...",
                        "Caricamento file imprese CIL in corso...",
                        "Caricamento file PROFESSIONISTI in corso...",
                        "File caricati. Attendere chiusura collegamento...", "Operazione completata"};

// The settings files and the five export files, the first of `firstSize` bytes.
void Configure(const ScratchDir& dir, qint64 firstSize = 3000)
{
    QDir(dir.path()).mkdir("export");
    dir.write("path.dat", dir.file("export").toUtf8() + "\r\n");
    dir.write("com.dat", "016024\r\n");
    for (const QString& name : TransferSequence::LocalNames())
        dir.write("export/" + name, QByteArray(name == "DIA.TXT" ? firstSize : 3000, name[0].toLatin1()));
}

// The built program in `dir`, its server the one it was built with (on the port of
// MORVANTIL_LOCAL_FTP_PORT).
struct Program {
    QProcess process;
    explicit Program(const ScratchDir& dir, const QStringList& arguments = {"--invia"},
                     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(MORVANTIL_PROGRAM), arguments);
    }
    int Wait()
    {
        if (!process.waitForFinished(60000))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    // Lines without their ends (CR LF on Windows).
    QStringList Out() { return QString::fromUtf8(process.readAllStandardOutput()).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts); }
    QString Err() { return QString::fromUtf8(process.readAllStandardError()); }
};

bool BuiltForThisMachine()
{
    return QStringLiteral(MORVANTIL_FTP_HOST).startsWith("127.0.0.1:");
}

// The entry point in this process, against `peer`, with a two-second stall limit.
int SendHere(const FtpPeer& peer, QStringList* out = nullptr, QStringList* err = nullptr)
{
    QStringList ignored;
    return SendUnattended(ServerAddresses{peer.Host(), QString(), 2},
                          [&](const QString& line) { (out ? *out : ignored) << line; },
                          [&](const QString& line) { (err ? *err : ignored) << line; });
}

}  // namespace

class TestUnattended : public QObject {
    Q_OBJECT
private slots:
    void theBuiltProgram()
    {
        if (!BuiltForThisMachine())
            QSKIP("the program was built for a real server; the process cases need a local one");
        FtpPeer peer;
        QVERIFY(peer.Started());
        qputenv("MORVANTIL_LOCAL_FTP_PORT", QByteArray::number(peer.Port()));  // beside make run and other tests
        ScratchDir dir;

        // Not configured: nothing is sent.
        Program unconfigured(dir);
        QCOMPARE(unconfigured.Wait(), int(ExitNotReady));
        QVERIFY(unconfigured.Err().startsWith(TransferSequence::NotConfiguredText));
        QCOMPARE(peer.Count("CONNECT"), 0);

        Configure(dir);
        Program good(dir);
        QCOMPARE(good.Wait(), int(ExitSent));
        QCOMPARE(good.Out(), Steps);
        QCOMPARE(good.Err(), QString());
        for (int i = 0; i < Remote.size(); ++i)
            QCOMPARE(peer.Received("016024" + Remote[i]), dir.read("export/" + TransferSequence::LocalNames()[i]));
        QCOMPARE(peer.Count("LOGIN lorvenzab"), 1);
        QCOMPARE(peer.Count("CMD QUIT"), 1);

        // Settings as other editors write them (LF alone, Notepad's UTF-8 mark, blanks and a
        // no-break space around the code), and an output nobody reads: the same five files.
        dir.write("path.dat", dir.file("export").toUtf8() + "\n");
        dir.write("com.dat", "\xEF\xBB\xBF 016024\xC2\xA0\n");
        Program edited(dir);
        edited.process.closeReadChannel(QProcess::StandardOutput);
        QCOMPARE(edited.Wait(), int(ExitSent));
        QCOMPARE(peer.Count("RECEIVED "), 10);
        QCOMPARE(peer.Count("CMD STOR 016024_DIA.txt"), 2);
        QCOMPARE(peer.Count("CMD QUIT"), 2);

        // The command line: nothing is sent for an unknown option.
        Program version(dir, {"--version"}), help(dir, {"--help"}), unknown(dir, {"--inviare"}),
            extra(dir, {"--invia", "adesso"});
        QCOMPARE(version.Wait(), 0);
        QCOMPARE(version.Out(), QStringList{"Morvantil 1.3"});
        QCOMPARE(help.Wait(), 0);
        QVERIFY(help.Out().value(0).startsWith("Uso: morvantil"));
        QCOMPARE(unknown.Wait(), int(ExitUsage));
        QCOMPARE(extra.Wait(), int(ExitUsage));
#ifndef Q_OS_WIN
        // From cron, with no display: the usage, not a crash.
        QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            noDisplay.remove(variable);
        Program oneDash(dir, {});
        oneDash.process.close();
        oneDash.process.setProcessEnvironment(noDisplay);
        oneDash.process.start(QStringLiteral(MORVANTIL_PROGRAM), {"-invia"});
        QCOMPARE(oneDash.Wait(), int(ExitUsage));
        QVERIFY(oneDash.Err().contains("Uso: morvantil"));
        // A display that is set but dead: said so, not an abort.
        noDisplay.insert("DISPLAY", ":64999");
        oneDash.process.setProcessEnvironment(noDisplay);
        oneDash.process.start(QStringLiteral(MORVANTIL_PROGRAM), QStringList());
        QCOMPARE(oneDash.Wait(), int(ExitUsage));
        QVERIFY(oneDash.Err().contains("lo schermo \":64999\" non risponde"));
#endif
        QCOMPARE(peer.Count("CONNECT"), 2);
    }

    void oneAtATimeAndNothingLeftBlocking()
    {
        if (!BuiltForThisMachine())
            QSKIP("the program was built for a real server; the process cases need a local one");
        // Two seconds for the first file, whatever the buffers hold.
        FtpPeer peer({"--throttle", "4000000"});
        QVERIFY(peer.Started());
        qputenv("MORVANTIL_LOCAL_FTP_PORT", QByteArray::number(peer.Port()));
        ScratchDir dir;
        Configure(dir, 12000000);

#ifndef Q_OS_WIN
        // A flood of requests never blocks the signal handler, nor changes errno under the
        // code it interrupts.
        auto requests = std::make_unique<StopRequests>();
        errno = E2BIG;
        for (int i = 0; i < 10000; ++i)
            ::raise(SIGTERM);
        QCOMPARE(errno, E2BIG);
        requests.reset();

        // Stopped by a signal in the middle of a file: the cut file removed, QUIT, the log,
        // the lock released, and a failure's status. Ten seconds a file: far more than the
        // buffers hold.
        Configure(dir, 40000000);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            Program stopped(dir);
            QTRY_COMPARE_WITH_TIMEOUT(peer.Count("CMD STOR "), 1, 20000);
            ::kill(stopped.process.processId(), signal);
            QCOMPARE(stopped.Wait(), int(ExitTransferFailed));
            QVERIFY(!QFile::exists(dir.file("morvantil.lock")));
            QCOMPARE(peer.Received("016024_DIA.txt"), QByteArray("<missing>"));
            QCOMPARE(peer.Log().filter(QRegularExpression("^CMD (STOR|DELE|QUIT)")),
                     (QStringList{"CMD STOR 016024_DIA.txt", "CMD DELE 016024_DIA.txt", "CMD QUIT"}));
            QVERIFY(dir.read("morvantil.log").trimmed().endsWith("il file 016024_DIA.txt è stato rimosso dal server"));
            peer.Clear();
        }
        Configure(dir, 12000000);
#endif

        // Killed in the middle of a file: its lock stays behind, and blocks nothing.
        Program killed(dir);
        QTRY_COMPARE_WITH_TIMEOUT(peer.Count("CMD STOR "), 1, 20000);
        killed.process.kill();
        killed.Wait();
        QVERIFY(QFile::exists(dir.file("morvantil.lock")));

        // One runs, the other refuses and sends nothing.
        Program first(dir);
        QTRY_COMPARE_WITH_TIMEOUT(peer.Count("CMD STOR "), 2, 20000);
        QStringList err;
        QCOMPARE(SendHere(peer, nullptr, &err), int(ExitTransferFailed));
        QCOMPARE(err, QStringList{TransferSequence::AnotherRunText});
        QCOMPARE(peer.Count("CONNECT"), 2);
        QCOMPARE(first.Wait(), int(ExitSent));
        QCOMPARE(first.Out().last(), TransferSequence::CompletedText);
        QCOMPARE(peer.Received("016024_DIA.txt"), dir.read("export/DIA.TXT"));

        // A lock whose owner cannot be read is stale; a folder of that name is an error of its own.
        const QByteArray unreadable[] = {"", "garbage", "-1\nmorvantil\nhost\n"};
        for (const QByteArray& content : unreadable) {
            dir.write("morvantil.lock", content);
            QCOMPARE(SendHere(peer), int(ExitSent));
        }
        // Another computer's lock (a renamed PC, a shared folder): refused, saying whose, until
        // it is older than any run can last.
        dir.write("morvantil.lock", "4242\nmorvantil\naltro-pc\n");
        QCOMPARE(SendHere(peer), int(ExitTransferFailed));
        QFile foreign(dir.file("morvantil.lock"));
        QVERIFY(foreign.open(QIODevice::ReadWrite)
                && foreign.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        foreign.close();
        QCOMPARE(SendHere(peer), int(ExitSent));
        QCOMPARE(QString(dir.read("morvantil.log")).count("del processo 4242 (morvantil) sul computer \"altro-pc\""), 2);
        QVERIFY(QDir(dir.path()).mkdir("morvantil.lock"));
        QCOMPARE(SendHere(peer, nullptr, &err), int(ExitTransferFailed));
        QCOMPARE(err.mid(1), (QStringList{TransferSequence::FailedText, "Causa: morvantil.lock nella cartella di lavoro "
                                          + QDir::toNativeSeparators(QDir::currentPath()) + " non è un file: rimuoverlo"}));
    }

    void scheduledRuns()
    {
        if (!BuiltForThisMachine())
            QSKIP("the program was built for a real server; the process cases need a local one");
        ScratchDir dir;
        Configure(dir);
        const QStringList automatic{"--invia", "--automatico", "--riprova", "0,4,30"};
        // A free port of its own, where the server comes only later.
        const QStringList at{"--port", QString::number(FtpPeer().Port())};
        qputenv("MORVANTIL_LOCAL_FTP_PORT", at[1].toUtf8());

        // Nobody listens yet: refused twice, then the server comes. Between the attempts the
        // working folder is free, and every attempt has its log line.
        Program retried(dir, automatic);
        const auto log = [&] { return QString::fromUtf8(dir.read("morvantil.log")); };
        QTRY_COMPARE_WITH_TIMEOUT(log().count("Invio automatico: nuovo tentativo fra "), 2, 30000);
        QVERIFY(!QFile::exists(dir.file("morvantil.lock")));
        FtpPeer peer(at);
        QVERIFY(peer.Started());
        QCOMPARE(retried.Wait(), int(ExitSent));
        QCOMPARE(log().count("Invio automatico: tentativo "), 3);
        QCOMPARE(log().count("server non raggiungibile"), 2);
        QCOMPARE(peer.Received("016024_DIA.txt"), dir.read("export/DIA.TXT"));
        QCOMPARE(LastScheduledRun::Load()->result, LastScheduledRun::Result::Sent);

        // The same files again: nothing is sent. A plain --invia sends them all the same.
        Program again(dir, automatic);
        QCOMPARE(again.Wait(), int(ExitSent));
        QCOMPARE(again.Out(), QStringList{"Nessun file nuovo da inviare"});
        QCOMPARE(peer.Count("CONNECT"), 1);
        Program plain(dir);
        QCOMPARE(plain.Wait(), int(ExitSent));
        QCOMPARE(peer.Count("CONNECT"), 2);

        // An export still being written is waited for: what goes is the whole of it.
        QFile growing(dir.file("export/DIA.TXT"));
        QVERIFY(growing.open(QIODevice::Append));
        growing.write(QByteArray(1000, 'n'));
        growing.flush();
        int writes = 1;
        QTimer writer;
        QObject::connect(&writer, &QTimer::timeout, [&] {
            growing.write(QByteArray(1000, 'n'));
            growing.flush();
            if (++writes == 12)
                writer.stop();
        });
        writer.start(400);
        Program waiting(dir, automatic);
        QTRY_COMPARE_WITH_TIMEOUT(waiting.process.state(), QProcess::NotRunning, 60000);
        QCOMPARE(writes, 12);
        QCOMPARE(waiting.process.exitCode(), int(ExitSent));
        QCOMPARE(peer.Received("016024_DIA.txt").size(), 15000);

        // What will not pass by waiting is tried once; the record tells the windows.
        peer.Stop();
        FtpPeer refusing(at + QStringList{"--password", "nuova"});
        QVERIFY(refusing.Started());
        growing.write("x");
        growing.close();
        Program refused(dir, automatic);
        QCOMPARE(refused.Wait(), int(ExitTransferFailed));
        QCOMPARE(refusing.Count("CONNECT"), 1);
        QVERIFY(log().contains(QRegularExpression("Invio automatico non riuscito: collegamento al server \\S+: "
                                                  "accesso rifiutato dal server \\(530")));
        QCOMPARE(LastScheduledRun::Load()->result, LastScheduledRun::Result::Failed);

        // The schedule itself, from this working folder (on Linux through a stand-in crontab,
        // on Windows Task Scheduler itself); wrong times change nothing.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#ifndef Q_OS_WIN
        QDir(dir.path()).mkdir("bin");
        dir.write("bin/crontab", "#!/bin/sh\nt=\"$(dirname \"$0\")/table\"\n"
                                 "if [ \"$1\" = -l ]; then exec cat \"$t\"; fi\ncat >\"$t\"\n");
        dir.write("bin/systemctl", "#!/bin/sh\nexit 1\n");
        dir.write("bin/table", "");
        for (const char* tool : {"bin/crontab", "bin/systemctl"})
            QFile::setPermissions(dir.file(tool), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert("PATH", dir.file("bin") + ':' + environment.value("PATH"));
#endif
        const auto schedule = [&](const QStringList& arguments) {
            return std::make_unique<Program>(dir, QStringList{"--pianifica"} + arguments, environment);
        };
        const QString shown = "Invio automatico ogni giorno alle 07:05 dalla cartella " + QDir::toNativeSeparators(dir.path());
        auto set = schedule({"7:05"});
        QCOMPARE(set->Wait(), int(ExitSent));
        QVERIFY2(set->Out().value(0).startsWith(shown), qPrintable(set->Out().join('\n')));
        auto told = schedule({});
        QCOMPARE(told->Wait(), int(ExitSent));
        const QStringList lines = told->Out();
#ifdef Q_OS_WIN
        // Wine's Task Scheduler keeps no trigger: there the time cannot be read back.
        QVERIFY2(lines.value(0).startsWith(shown) || lines.value(0).endsWith("ora e cartella non leggibili"),
                 qPrintable(lines.join('\n')));
#else
        QVERIFY(lines.value(0).startsWith(shown));
#endif
        QVERIFY(lines.value(1).contains(", non riuscito: collegamento al server"));
        for (const char* wrong : {"24:00", "7.05", "7:5"})
            QCOMPARE(schedule({wrong})->Wait(), int(ExitUsage));
        auto removed = schedule({"no"});
        QCOMPARE(removed->Wait(), int(ExitSent));
        QCOMPARE(removed->Out(), QStringList{"Invio automatico tolto"});
#ifndef Q_OS_WIN
        QCOMPARE(dir.read("bin/table"), QByteArray());
#endif
        QVERIFY(!ScheduledDailyRun());
    }

    void failuresHere_data()
    {
        QTest::addColumn<QStringList>("switches");
        QTest::addColumn<qint64>("firstSize");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("cause");
        QTest::newRow("a file missing") << QStringList() << qint64(3000) << true << int(ExitNotReady)
                                        << "nella cartella \".+\" mancano PROFESSIONISTI.TXT";
        QTest::newRow("login refused") << QStringList{"--password", "nuova"} << qint64(3000) << false
                                       << int(ExitTransferFailed) << "accesso rifiutato dal server \\(530";
        QTest::newRow("size differs") << QStringList{"--truncate", "1"} << qint64(3000) << false
                                      << int(ExitTransferFailed) << "3000 byte inviati, 2999 ricevuti";
        QTest::newRow("stall") << QStringList{"--stall-after", "300000"} << qint64(48000000) << false
                               << int(ExitTransferFailed) << "nessuna risposta per 2 s";
    }

    void failuresHere()
    {
        QFETCH(QStringList, switches);
        QFETCH(qint64, firstSize);
        QFETCH(bool, missing);
        QFETCH(int, status);
        QFETCH(QString, cause);
        FtpPeer peer(switches);
        QVERIFY(peer.Started());
        ScratchDir dir;
        Configure(dir, firstSize);
        if (missing)
            QVERIFY(QFile::remove(dir.file("export/PROFESSIONISTI.TXT")));

        QStringList out, err;
        QCOMPARE(SendHere(peer, &out, &err), status);
        QVERIFY2(QRegularExpression(cause).match(err.join('\n')).hasMatch(), qPrintable(err.join('\n')));
        QVERIFY(QString::fromUtf8(dir.read("morvantil.log")).contains(QRegularExpression(cause)));
        if (missing) {
            QCOMPARE(err.value(0), TransferSequence::FilesMissingText);
            QCOMPARE(peer.Count("CONNECT"), 0);
        } else {
            QCOMPARE(err.value(0), TransferSequence::FailedText);
            QCOMPARE(out.value(0), Steps[0]);
            QVERIFY(!out.contains(TransferSequence::CompletedText));
        }
    }
};

QTEST_GUILESS_MAIN(TestUnattended)
#include "test_unattended.moc"
