// The "Trasferimento" run, driven through the main window's real buttons against a real
// FTP server on 127.0.0.1, message boxes answered as an operator would.
#include "core/transfer/GetShortFileName.h"
#include "core/transfer/Inet.h"
#include "core/log/ProgramLog.h"
#include "gui/Form1.h"
#include "gui/Form3.h"
#include "gui/WindowRegistry.h"
#include "support/FtpPeer.h"
#include "support/WindowTestSupport.h"

#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSysInfo>
#include <QtTest>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const QString sendError = QStringLiteral("ERRORE: Impossibile Connettersi. Riprovare fra qualche istante");
const QString labelStart = QStringLiteral("elaborazione in corso...");
const QString labelDia = QStringLiteral("Caricamento file DIA in corso...");
const QString labelCil = QStringLiteral("Caricamento file CIL in corso...");
const QString labelDiaImp = QStringLiteral("Caricamento file imprese DIA in corso...");
const QString labelCilImp = QStringLiteral("Caricamento file imprese CIL in corso...");
const QString labelProf = QStringLiteral("Caricamento file PROFESSIONISTI in corso...");
const QString labelQuit = QStringLiteral("File caricati. Attendere chiusura collegamento...");
const QString labelDone = QStringLiteral("Operazione completata");

// The local files with the remote suffix each must arrive under.
const QList<std::pair<QString, QString>> pairs{
    {QStringLiteral("DIA.TXT"), QStringLiteral("_DIA.txt")},
    {QStringLiteral("PERMCOSTR.TXT"), QStringLiteral("_CIL.txt")},
    {QStringLiteral("DIA_IMPRESE.TXT"), QStringLiteral("_DIAIMP.txt")},
    {QStringLiteral("CLI_IMPRESE.TXT"), QStringLiteral("_CILIMP.txt")},
    {QStringLiteral("PROFESSIONISTI.TXT"), QStringLiteral("_PROF.txt")},
};

QByteArray Content(int file, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + file * 57 + (i >> 11)) & 0xff);
    return bytes;
}

// The five export files in folder, the i-th of sizes[i] bytes.
void WriteExport(const QString& folder, const QList<qint64>& sizes)
{
    QDir().mkpath(folder);
    for (int i = 0; i < pairs.size(); ++i) {
        QFile f(QDir(folder).filePath(pairs[i].first));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Content(i, sizes.value(i, 1000)));
    }
}

// What the main window shows when a command of the run ends.
struct Step {
    QString label;
    bool command1, command2, command3;
};

class UploadFixture {
public:
    // Loads the main window with both settings files written, the way a configured
    // program starts; the export folder lies in the working directory.
    // tlsAuthorities: when not null, FTPS is required and these authorities are trusted.
    UploadFixture(const QString& ftpHost, const QString& com, const QString& folder = "export",
                  int timeout = 10, const QByteArray& tlsAuthorities = {})
        : path(scratch.file(folder))
    {
        scratch.write(QStringLiteral("path.dat"), path.toUtf8() + "\r\n");
        // Non-ASCII letters as Notepad saves them in UTF-8, readable on every system.
        const bool ascii = com.toLatin1().toUpper() == com.toUtf8().toUpper();
        scratch.write(QStringLiteral("com.dat"), (ascii ? "" : "\xEF\xBB\xBF") + com.toUtf8() + "\r\n");
        // Nothing answers there: the version check gives up at once and the start goes on.
        const ServerAddresses servers{ftpHost, QStringLiteral("http://127.0.0.1:1"), timeout,
                                      !tlsAuthorities.isNull(), tlsAuthorities};
        WindowRegistry::Instance().SetFactory<Form1>([servers] { return new Form1(servers); });
        form = WindowRegistry::Instance().Get<Form1>();
        form->Show();
        QObject::connect(form->Inet1, &Inet::CommandEnded, form, [this] {
            steps.append({form->Label1->text(), form->Command1->isEnabled(),
                          form->Command2->isEnabled(), form->Command3->isEnabled()});
        });
    }
    ~UploadFixture() { ResetWindows(); }

    QStringList Labels() const
    {
        QStringList labels;
        for (const Step& step : steps)
            labels << step.label;
        return labels;
    }

    void Press() { QTest::mouseClick(form->Command1, Qt::LeftButton); }

    // morvantil.log's events, without their date and time.
    QStringList Log() const
    {
        QStringList events;
        for (const QString& line : QString::fromUtf8(scratch.read(QStringLiteral("morvantil.log"))).split(u'\n', Qt::SkipEmptyParts))
            events << line.mid(21).chopped(line.endsWith(u'\r') ? 1 : 0);
        return events;
    }

    ScratchDir scratch;
    const QString path;
    MessageBoxWatcher boxes;
    QPointer<Form1> form;
    QList<Step> steps;
};

bool ButtonsReady(const Form1* form)
{
    return form->Command1->isEnabled() && form->Command2->isEnabled() && form->Command3->isEnabled();
}

}  // namespace

class TestUpload : public QObject {
    Q_OBJECT
    QTemporaryDir certificates_;  // a test authority and its server certificates
private slots:
    void initTestCase();
    void init() { ResetWindows(); }
    void sendsTheFivePairsOverOneConnection_data();
    void sendsTheFivePairsOverOneConnection();
    void missingSettingsOrFilesStopBeforeConnecting();
    void failuresEndInTheErrorMessage_data();
    void failuresEndInTheErrorMessage();
    void fileDeletedAfterThePresenceTestFailsTheRun();
    void closingTheWindowDuringAnUploadEndsQuietly_data();
    void closingTheWindowDuringAnUploadEndsQuietly();
    void theLogIsBoundedAndNeverInTheWay();
    void ftpsOnlyWithATrustedServer_data();
    void ftpsOnlyWithATrustedServer();
    void keysDuringARunNeverReachChiudi();
    void stalledExportFolderEndsInTheError();
    void shortFileName();
};

void TestUpload::initTestCase()
{
    QVERIFY(MakeTestCertificates(certificates_.path()));
}

void TestUpload::sendsTheFivePairsOverOneConnection_data()
{
    QTest::addColumn<QString>("folder");  // below the working directory
    QTest::addColumn<QString>("com");
    QTest::addColumn<qint64>("size");

    QTest::newRow("plain") << "export" << "001122" << qint64(70000);
    // A folder that ends with the separator gives a doubled one, and still works.
    QTest::newRow("blanks in the folder, separator at its end")
        << "Dati Brenola/ultima esportazione/" << "001122" << qint64(5000);
    QTest::newRow("more than 260 characters") << QStringLiteral("una cartella dal nome lungo/").repeated(10) << "001122" << qint64(5000);
    QTest::newRow("ISTAT code with invisible spaces around it") << "export" << "\u00A0042 \u200B" << qint64(5000);
    QTest::newRow("tens of megabytes") << "export" << "017045" << qint64(24 * 1024 * 1024);
}

void TestUpload::sendsTheFivePairsOverOneConnection()
{
    QFETCH(QString, folder);
    QFETCH(QString, com);
    QFETCH(qint64, size);
    // What the server and the log see: the code without what surrounds it.
    const QString code = QString(com).remove(QRegularExpression(QStringLiteral("[\\s\\x{00A0}\\x{200B}]")));
    FtpPeer peer;
    QVERIFY(peer.Started());
    UploadFixture run(peer.Host(), com, folder);
    WriteExport(run.path, {size, size + 1, size + 2, size + 3, size + 4});
    QCOMPARE(run.form->path, run.path);
    QVERIFY(run.form->isVisible());

    run.Press();
    QCOMPARE(run.boxes.seen().size(), 0);
    QCOMPARE(run.form->Label1->text(), labelDone);
    QVERIFY(ButtonsReady(run.form));
    // Every step's text while its command ran, "Trasferimento" and "Impostazioni" disabled
    // throughout, "chiudi" never.
    QCOMPARE(run.Labels(), (QStringList{labelStart, labelDia, labelCil, labelDiaImp, labelCilImp,
                                        labelProf, labelQuit}));
    for (const Step& step : run.steps)
        QVERIFY2(!step.command1 && step.command2 && !step.command3, qPrintable(step.label));

    QStringList stored;
    for (int i = 0; i < pairs.size(); ++i) {
        const QString remote = code + pairs[i].second;
        QVERIFY2(peer.Received(remote) == Content(i, size + i), qPrintable(remote));
        stored << QStringLiteral("CMD STOR ") + remote;
    }
    QStringList commands = peer.Log().filter(QRegularExpression(QStringLiteral("^CMD (STOR|SIZE) ")));
    QStringList storedAndChecked;
    for (const QString& stor : stored)
        storedAndChecked << stor << QString(stor).replace(QStringLiteral("STOR"), QStringLiteral("SIZE"));
    QCOMPARE(commands, storedAndChecked);
    QStringList events{QStringLiteral("Trasferimento avviato: codice ISTAT \"%1\", cartella \"%2\", server %3")
                           .arg(code, run.path, peer.Host())};
    for (int i = 0; i < pairs.size(); ++i)
        events << QStringLiteral("%1 (%2 byte) -> %3: inviato e verificato (dimensione)")
                      .arg(pairs[i].first).arg(size + i).arg(code + pairs[i].second);
    // After the version check's line: nothing answers at the fixture's update address.
    QCOMPARE(run.Log().value(0), QStringLiteral("Controllo aggiornamenti: nessuna risposta dal servizio: "
                                               "server non raggiungibile, http://127.0.0.1:1/morvantil/update.php?v=1.3"));
    QCOMPARE(run.Log().mid(1), events << labelDone);
    QCOMPARE(peer.Count(QStringLiteral("CONNECT")), 1);
    QCOMPARE(peer.Count(QStringLiteral("LOGIN lorvenzab")), 1);
    QCOMPARE(peer.Count(QStringLiteral("CMD QUIT")), 1);

    // A second press goes through it all again, over a new connection.
    run.steps.clear();
    run.Press();
    QCOMPARE(run.form->Label1->text(), labelDone);
    QCOMPARE(run.steps.size(), 7);
    QCOMPARE(peer.Count(QStringLiteral("CONNECT")), 2);
    QCOMPARE(peer.Count(QStringLiteral("CMD QUIT")), 2);
    QCOMPARE(run.boxes.seen().size(), 0);
}

void TestUpload::missingSettingsOrFilesStopBeforeConnecting()
{
    FtpPeer peer;
    QVERIFY(peer.Started());
    UploadFixture run(peer.Host(), QStringLiteral("001122"));
    const QString path = run.path;
    WriteExport(path, {});

    // An empty ISTAT code: the settings window, and nothing else happens.
    run.form->com = QString();
    run.Press();
    QCOMPARE(run.boxes.seen().size(), 1);
    QCOMPARE(run.boxes.seen()[0].text, QStringLiteral("Impostare il software prima si utilizzarlo"));
    QCOMPARE(run.boxes.seen()[0].title, QStringLiteral("Morvantil"));
    QVERIFY(!run.boxes.seen()[0].anyIcon);
    QVERIFY(!run.form->isVisible());
    Form3* settings = WindowRegistry::Instance().Loaded<Form3>();
    QVERIFY(settings && settings->isVisible());
    QCOMPARE(run.form->Label1->text(), QStringLiteral("pronto"));
    QVERIFY(ButtonsReady(run.form));
    settings->Unload();

    // One file missing, then all five: one message each time, naming no file.
    run.form->com = QStringLiteral("001122");
    run.form->Show();
    QFile::remove(QDir(path).filePath(QStringLiteral("PROFESSIONISTI.TXT")));
    run.Press();
    QDir(path).removeRecursively();
    run.Press();
    QCOMPARE(run.boxes.seen().size(), 3);
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(run.boxes.seen()[i].text,
                 QStringLiteral("Mancano tutti o alcuni dei file per il trasferimento"));
        QCOMPARE(run.boxes.seen()[i].title, QStringLiteral("Attenzione!"));
        QVERIFY(run.boxes.seen()[i].stopIcon);
    }
    QVERIFY(run.form->isVisible());
    QCOMPARE(run.form->Label1->text(), QStringLiteral("pronto"));
    QVERIFY(ButtonsReady(run.form));
    QCOMPARE(peer.Count(QStringLiteral("CONNECT")), 0);
}

void TestUpload::failuresEndInTheErrorMessage_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<QList<qint64>>("sizes");
    QTest::addColumn<QString>("label");  // the step under way when it failed
    QTest::addColumn<int>("arrived");    // files the server got whole
    QTest::addColumn<QString>("cause");  // the log's last line, after the message
    QTest::addColumn<int>("quits");      // 1: the connection was still there to say goodbye

    const QList<qint64> small{1000, 1000, 1000, 1000, 1000};
    const QString connecting = QStringLiteral("collegamento al server 127\\.0\\.0\\.1:\\d+: ");
    QTest::newRow("server not running") << QStringList() << false << small << labelStart << 0
                                        << connecting + "server non raggiungibile" << 0;
    QTest::newRow("login refused") << QStringList{"--password", "changed"} << true << small
                                   << labelStart << 0
                                   << connecting + "accesso rifiutato dal server \\(530 .+\\)" << 0;
    QTest::newRow("upload refused") << QStringList{"--refuse-writes"} << true << small << labelDia
                                    << 0 << "invio di DIA.TXT come 001122_DIA.txt: file rifiutato dal "
                                            "server \\(550 .+\\)" << 1;
    QTest::newRow("connection cut during the third file")
        << QStringList{"--cut-after", "500000"} << true
        << QList<qint64>{1000, 1000, 4000000, 1000, 1000} << labelDiaImp << 2
        << "invio di DIA_IMPRESE.TXT come 001122_DIAIMP.txt: collegamento interrotto durante l'invio; il file "
           "001122_DIAIMP.txt è stato rimosso dal server" << 1;
    QTest::newRow("server stops answering during the fourth file")
        << QStringList{"--stall-after", "300000"} << true
        << QList<qint64>{1000, 1000, 1000, 48000000, 1000} << labelCilImp << 3
        << "invio di CLI_IMPRESE.TXT come 001122_CILIMP.txt: nessuna risposta per 2 s; il file "
           "001122_CILIMP.txt è stato rimosso dal server" << 1;
    // SIZE answered after the time-out: on the same connection, that reply would be taken for
    // the DELE's, which the server refuses.
    QTest::newRow("late reply, removal refused")
        << QStringList{"--late-size", "4", "--refuse-dele"} << true << small << labelDia << 1
        << "invio di DIA.TXT come 001122_DIA.txt: nessuna risposta per 2 s; il file 001122_DIA.txt sul server "
           "potrebbe essere incompleto \\(550 Not removed\\.\\)" << 0;
    // It acknowledges the file, yet keeps two bytes less: the arrival check sees it, and the
    // wrong file does not stay.
    QTest::newRow("server keeps fewer bytes than it got")
        << QStringList{"--truncate", "2"} << true << small << labelDia << 1
        << "invio di DIA.TXT come 001122_DIA.txt: dimensione sul server diversa: 1000 byte "
           "inviati, 998 ricevuti; il file 001122_DIA.txt è stato rimosso dal server" << 1;
}

void TestUpload::failuresEndInTheErrorMessage()
{
    QFETCH(QStringList, switches);
    QFETCH(bool, serverUp);
    QFETCH(QList<qint64>, sizes);
    QFETCH(QString, label);
    QFETCH(int, arrived);
    QFETCH(QString, cause);
    QFETCH(int, quits);
    FtpPeer peer(switches);
    QVERIFY(peer.Started());
    if (!serverUp)
        peer.Stop();
    // A two-second stall limit stands for the usual minute.
    UploadFixture run(peer.Host(), QStringLiteral("001122"), QStringLiteral("export"), 2);
    WriteExport(run.path, sizes);

    run.Press();
    QCOMPARE(run.boxes.seen().size(), 1);
    QCOMPARE(run.boxes.seen()[0].text, sendError);
    QCOMPARE(run.boxes.seen()[0].title, QStringLiteral("Morvantil"));
    QVERIFY(run.boxes.seen()[0].stopIcon);
    // The box may stay open overnight: it must not hold back the scheduled runs.
    QVERIFY(!run.boxes.seen()[0].transferLocked);
    QCOMPARE(run.form->Label1->text(), label);
    QVERIFY(ButtonsReady(run.form));
    QCOMPARE(peer.Count(QStringLiteral("RECEIVED ")), arrived);
    // Nothing after the failed file was sent.
    const QStringList fileLabels{labelDia, labelCil, labelDiaImp, labelCilImp, labelProf};
    QCOMPARE(peer.Count(QStringLiteral("CMD STOR ")), serverUp ? fileLabels.indexOf(label) + 1 : 0);
    QCOMPARE(peer.Count(QStringLiteral("CMD QUIT")), quits);

    // The log names the step and the cause; a file under way is marked as not sent.
    const QStringList log = run.Log();
    QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(sendError) + " - causa: " + cause + "$")
                 .match(log.last()).hasMatch(), qPrintable(log.last()));
    if (label != labelStart)
        QVERIFY2(log.at(log.size() - 2).contains(": non inviato: "), qPrintable(log.join(u'\n')));
    QVERIFY(!run.scratch.read(QStringLiteral("morvantil.log")).contains("kqz3817t42"));
}

void TestUpload::fileDeletedAfterThePresenceTestFailsTheRun()
{
    FtpPeer peer;
    QVERIFY(peer.Started());
    UploadFixture run(peer.Host(), QStringLiteral("001122"));
    const QString path = run.path;
    WriteExport(path, {});
    // Brenola removes a file while the first one travels.
    QObject::connect(run.form->Inet1, &Inet::CommandEnded, run.form, [&] {
        if (run.form->Label1->text() == labelStart)
            QFile::remove(QDir(path).filePath(QStringLiteral("CLI_IMPRESE.TXT")));
    });

    run.Press();
    QCOMPARE(run.boxes.seen().size(), 1);
    QCOMPARE(run.boxes.seen()[0].text, sendError);
    QCOMPARE(run.Log().last(), sendError + QStringLiteral(" - causa: file non più nella cartella \"%1\": CLI_IMPRESE.TXT").arg(path));
    QCOMPARE(run.Labels(), (QStringList{labelStart, labelDia, labelCil, labelDiaImp, labelProf, labelQuit}));
    QCOMPARE(peer.Received(QStringLiteral("001122_CILIMP.txt")), QByteArray("<missing>"));
    QCOMPARE(peer.Count(QStringLiteral("RECEIVED ")), 4);
}

void TestUpload::closingTheWindowDuringAnUploadEndsQuietly_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("chiudi") << 0;
    QTest::newRow("title bar") << 1;
    // Unloaded, and its deferred destruction comes due while the run still waits.
    QTest::newRow("destruction due during the wait") << 2;
    // A second stop request, then a third, as the command line makes of repeated signals.
    QTest::newRow("stopped twice") << 3;
    QTest::newRow("cut off") << 4;
}

void TestUpload::closingTheWindowDuringAnUploadEndsQuietly()
{
    QFETCH(int, how);
    // Each file takes about forty seconds at this pace; far more than the socket buffers hold.
    FtpPeer peer({QStringLiteral("--throttle"), QStringLiteral("200000")});
    QVERIFY(peer.Started());
    UploadFixture run(peer.Host(), QStringLiteral("001122"));
    WriteExport(run.path, {8000000, 8000000, 8000000, 8000000, 8000000});
    QSignalSpy programEnds(&WindowRegistry::Instance(), &WindowRegistry::LastWindowUnloaded);
    // Once logged in, the operator closes the window while the first file travels.
    bool keptUntilTheRunEnds = true;
    QObject::connect(run.form->Inet1, &Inet::CommandEnded, run.form, [&] {
        if (run.form->Label1->text() != labelStart)
            return;
        QTimer::singleShot(500, run.form, [&] {
            if (how == 0) {
                QTest::mouseClick(run.form->Command2, Qt::LeftButton);
            } else if (how == 1) {
                run.form->close();
            } else if (how >= 3) {
                run.form->close();
                run.form->Inet1->Stop();
                if (how == 4)
                    run.form->Inet1->Cancel();
            } else {
                run.form->Unload();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                keptUntilTheRunEnds = !run.form.isNull();
            }
        });
    });

    // Pressed from inside a running event loop, as in the program: only there would
    // the window's deferred destruction come due while the run still waits.
    QElapsedTimer clock;
    clock.start();
    QEventLoop program;
    QTimer::singleShot(0, &program, [&] {
        run.Press();
        program.quit();
    });
    program.exec();
    // Far less than the forty seconds the file would take: what libcurl holds still goes out
    // before the upload can end with its connection kept for DELE and QUIT.
    QVERIFY2(clock.elapsed() < 15000, "the run must end when its window closes");
    QCOMPARE(run.boxes.seen().size(), 0);
    QCOMPARE(programEnds.count(), 1);
    // Destroyed once the run has returned, not under it.
    QVERIFY(keptUntilTheRunEnds);
    QTRY_VERIFY(run.form.isNull());
    // Cut off, the log still names the file that may be left.
    const QString during = QStringLiteral("Trasferimento annullato durante: invio di DIA.TXT come 001122_DIA.txt: ");
    if (how == 4) {
        QCOMPARE(run.Log().last(), during + "il file 001122_DIA.txt sul server potrebbe essere incompleto");
        return;
    }
    // The cut file is not left under its name: removed, then QUIT.
    QCOMPARE(peer.Log().filter(QRegularExpression("^CMD (STOR|DELE|QUIT)")),
             (QStringList{"CMD STOR 001122_DIA.txt", "CMD DELE 001122_DIA.txt", "CMD QUIT"}));
    QCOMPARE(peer.Received(QStringLiteral("001122_DIA.txt")), QByteArray("<missing>"));
    QCOMPARE(run.Log().last(), during + "invio interrotto; il file 001122_DIA.txt è stato rimosso dal server");
}

void TestUpload::theLogIsBoundedAndNeverInTheWay()
{
    // A server that does not know SIZE: the files still count as sent.
    FtpPeer peer({QStringLiteral("--no-size")});
    QVERIFY(peer.Started());
    UploadFixture run(peer.Host(), QStringLiteral("001122"));
    WriteExport(run.path, {});
    const QString start = QStringLiteral("Trasferimento avviato: ");

    // A log past its limit loses its oldest lines, whole, at the next run.
    QByteArray old;
    for (int i = 0; old.size() < 3 * ProgramLog::MaxBytes / 2; ++i)
        old += QStringLiteral("2026-01-01 00:00:00  riga vecchia %1\n").arg(i).toUtf8();
    run.scratch.write(QStringLiteral("morvantil.log"), old);
    run.Press();
    QCOMPARE(run.boxes.seen().size(), 0);
    QCOMPARE(run.form->Label1->text(), labelDone);
    const QByteArray trimmed = run.scratch.read(QStringLiteral("morvantil.log"));
    QVERIFY(trimmed.size() <= ProgramLog::MaxBytes);
    // Each system's own line ends, so that its text editor shows lines.
    const QByteArray newest = trimmed.mid(trimmed.indexOf("  " + start.toUtf8()));
#ifdef Q_OS_WIN
    QCOMPARE(newest.count("\r\n"), 7);
#else
    QVERIFY(!newest.contains('\r'));
#endif
    QCOMPARE(newest.count('\n'), 7);
    QVERIFY(trimmed.startsWith("2026-01-01 00:00:00  riga vecchia "));
    QVERIFY(trimmed.contains(old.right(old.size() - old.lastIndexOf('\n', old.size() - 2) - 1)));
    QStringList log = run.Log();
    log = log.mid(log.indexOf(QRegularExpression(start + ".*")));
    QCOMPARE(log.size(), 7);
    QCOMPARE(log.filter(QStringLiteral(": inviato, verifica non disponibile (il server non conosce il comando SIZE)")).size(), 5);
    QCOMPARE(log.last(), labelDone);
    QCOMPARE(peer.Count(QStringLiteral("CMD SIZE ")), 5);

    // A log that cannot be written changes nothing the operator sees.
    QFile::remove(run.scratch.file(QStringLiteral("morvantil.log")));
    QVERIFY(QDir(run.scratch.path()).mkdir(QStringLiteral("morvantil.log")));
    run.steps.clear();
    run.Press();
    QCOMPARE(run.boxes.seen().size(), 0);
    QCOMPARE(run.Labels(), (QStringList{labelStart, labelDia, labelCil, labelDiaImp, labelCilImp, labelProf, labelQuit}));
    QCOMPARE(run.form->Label1->text(), labelDone);
    QCOMPARE(peer.Count(QStringLiteral("RECEIVED ")), 10);
    QVERIFY(QDir(run.scratch.path()).rmdir(QStringLiteral("morvantil.log")));
#ifndef Q_OS_WIN
    // Nor does a FIFO in its place that nothing reads: the run goes on unlogged.
    QCOMPARE(mkfifo(qPrintable(run.scratch.file(QStringLiteral("morvantil.log"))), 0600), 0);
    run.Press();
    QCOMPARE(run.form->Label1->text(), labelDone);
    QCOMPARE(peer.Count(QStringLiteral("RECEIVED ")), 15);
    QFile::remove(run.scratch.file(QStringLiteral("morvantil.log")));
#endif

    // Runs writing at once, one of them trimming meanwhile, keep every line whole; whatever
    // their lock has become (a dead run's dated ahead by a clock set back, a folder, a FIFO)
    // neither holds them back nor stops the trim.
    const QString lockName = run.scratch.file(QStringLiteral("morvantil.log.lock"));
    for (int lockState = 0; lockState < 4; ++lockState) {
        run.scratch.write(QStringLiteral("morvantil.log"), old.left(old.lastIndexOf('\n', ProgramLog::MaxBytes - 10000) + 1));
        QFile deadRuns(lockName);
        if (lockState == 1)
            QVERIFY(deadRuns.open(QIODevice::WriteOnly) && deadRuns.write("4194302\nlog_writer\n" + QSysInfo::machineHostName().toUtf8())
                    && deadRuns.setFileTime(QDateTime::currentDateTime().addDays(1), QFileDevice::FileModificationTime));
        deadRuns.close();
        QVERIFY(lockState != 2 || QDir().mkdir(lockName));
#ifndef Q_OS_WIN
        QVERIFY(lockState != 3 || mkfifo(qPrintable(lockName), 0600) == 0);
#endif
        QProcess writers[4];
        for (int w = 0; w < 4; ++w) {
            writers[w].setWorkingDirectory(run.scratch.path());
            writers[w].start(QStringLiteral(MORVANTIL_LOG_WRITER), {QString::number(w)});
        }
        for (QProcess& writer : writers)
            QVERIFY(writer.waitForFinished(120000) && writer.exitCode() == 0);
        QCOMPARE(run.Log().filter(QRegularExpression(QStringLiteral("^scrittore \\d \\d+$"))).size(), 4 * 200);
        QVERIFY(run.scratch.read(QStringLiteral("morvantil.log")).size() < ProgramLog::MaxBytes);
    }

    // A value of a megabyte makes a line of a few kilobytes, marked as cut.
    run.form->path = QString(1024 * 1024, u'x');
    run.Press();
    QCOMPARE(run.boxes.seen().size(), 1);
    QVERIFY(run.Log().last().startsWith(QStringLiteral("Trasferimento non avviato: nella cartella \"xxx")));
    QVERIFY(run.Log().last().size() < 5000 && run.Log().last().endsWith(QStringLiteral(" byte in tutto]")));
}

void TestUpload::ftpsOnlyWithATrustedServer_data()
{
    QTest::addColumn<QString>("certificate");  // the server's; empty: a server without TLS
    QTest::addColumn<QString>("host");         // how the program names it
    QTest::addColumn<QString>("cause");        // empty: the run completes

    // libcurl's Schannel checks a certificate against the program's own authorities by host
    // name only: on Windows a server named by its address is refused.
    QTest::newRow("trusted, by address") << "server" << "127.0.0.1"
#ifdef Q_OS_WIN
                                         << "certificato del server non valido";
#else
                                         << "";
#endif
    QTest::newRow("trusted, by name") << "server" << "localhost" << "";
    QTest::newRow("server without TLS") << "" << "127.0.0.1" << "il server non accetta connessioni cifrate";
    QTest::newRow("certificate for another name") << "othername" << "127.0.0.1"
                                                  << "certificato del server non valido";
    QTest::newRow("unknown authority") << "unknown" << "localhost" << "certificato del server non valido";
    // Every data connection must resume the control connection's TLS session.
    QTest::newRow("ProFTPD") << "server" << "localhost" << "";
}

void TestUpload::ftpsOnlyWithATrustedServer()
{
    QFETCH(QString, certificate);
    QFETCH(QString, host);
    QFETCH(QString, cause);
    const QDir certs(certificates_.path());
    QStringList tls;
    if (!certificate.isEmpty())
        tls << "--tls" << certs.filePath(certificate + ".pem") << certs.filePath(certificate + ".key");
    const bool proftpd = QStringLiteral("ProFTPD") == QTest::currentDataTag();
#ifdef Q_OS_WIN
    if (proftpd && GetProcAddress(GetModuleHandleA("ntdll"), "wine_get_version"))
        QSKIP("Wine's Schannel resumes no TLS session: ProFTPD refuses every data connection");
#endif
    FtpPeer peer(tls, proftpd ? "proftpd_server.py" : "ftp_server.py");
    QVERIFY(peer.Started());
    QFile authority(certs.filePath(QStringLiteral("ca.pem")));
    QVERIFY(authority.open(QIODevice::ReadOnly));
    UploadFixture run(QStringLiteral("%1:%2").arg(host).arg(peer.Port()), QStringLiteral("001122"),
                      QStringLiteral("export"), 5, authority.readAll());
    WriteExport(run.path, {70000, 1, 2, 3, 4});

    run.Press();
    const QStringList commands = peer.Log().filter(QRegularExpression(QStringLiteral("^CMD ")));
    // Nothing goes in clear text: not even the user name before AUTH TLS.
    QCOMPARE(commands.value(0), QStringLiteral("CMD AUTH TLS"));
    if (cause.isEmpty()) {
        QVERIFY2(run.boxes.seen().isEmpty(), qPrintable(run.Log().join(u'\n')));
        QCOMPARE(run.form->Label1->text(), labelDone);
        QCOMPARE(commands.mid(0, 5).replaceInStrings("(hidden)", "******"),
                 (QStringList{"CMD AUTH TLS", "CMD USER lorvenzab", "CMD PASS ******", "CMD PBSZ 0", "CMD PROT P"}));
        for (int i = 0; i < pairs.size(); ++i)
            QVERIFY(peer.Received("001122" + pairs[i].second) == Content(i, i ? i : 70000));
        // TLS 1.2, whose sessions every data connection resumes, on every system.
        QVERIFY(proftpd || peer.Log().contains(QStringLiteral("TLS TLSv1.2")));
    } else {
        QCOMPARE(run.boxes.seen().size(), 1);
        QCOMPARE(run.boxes.seen()[0].text, sendError);
        QCOMPARE(commands.filter(QStringLiteral("CMD USER")), QStringList());
        QVERIFY2(run.Log().last().endsWith(": " + cause), qPrintable(run.Log().last()));
    }
    // The password is in nothing the program wrote or showed.
    QVERIFY(!run.scratch.read(QStringLiteral("morvantil.log")).contains("kqz3817t42"));
    for (const SeenMessageBox& box : run.boxes.seen())
        QVERIFY(!box.text.contains(QStringLiteral("kqz3817t42")));
}

void TestUpload::keysDuringARunNeverReachChiudi()
{
    // The server takes four seconds over the first file, whatever the buffers hold.
    constexpr qint64 big = 8000000;
    FtpPeer peer({QStringLiteral("--throttle"), QStringLiteral("2000000")});
    QVERIFY(peer.Started());
    UploadFixture run(peer.Host(), QStringLiteral("001122"));
    WriteExport(run.path, {big, 1000, 1000, 1000, 1000});
    QApplication::setActiveWindow(run.form);
    QVERIFY(QTest::qWaitForWindowActive(run.form));
    QCOMPARE(QApplication::focusWidget(), run.form->Command1);
    // Space, then Enter, then Tab and Space, each where the keyboard lands at that moment.
    QList<QWidget*> focused;
    QObject::connect(run.form->Inet1, &Inet::CommandEnded, run.form, [&] {
        if (run.form->Label1->text() != labelStart)
            return;
        QTimer::singleShot(100, run.form, [&] {
            for (const QList<Qt::Key>& keys : QList<QList<Qt::Key>>{{Qt::Key_Space}, {Qt::Key_Return},
                                                                  {Qt::Key_Tab, Qt::Key_Space}})
                for (Qt::Key key : keys) {
                    QWidget* target = QApplication::focusWidget();
                    focused << target;
                    QTest::keyClick(target ? target : run.form.data(), key);
                }
        });
    });

    QTest::keyClick(run.form->Command1, Qt::Key_Space);
    QVERIFY(run.form);
    QCOMPARE(run.boxes.seen().size(), 0);
    QCOMPARE(run.form->Label1->text(), labelDone);
    QCOMPARE(focused, QList<QWidget*>(4, run.form->Label1));
    for (int i = 0; i < pairs.size(); ++i)
        QVERIFY(peer.Received("001122" + pairs[i].second) == Content(i, i ? 1000 : big));
    QCOMPARE(QApplication::focusWidget(), run.form->Command1);
    // The mouse still closes it.
    QTest::mouseClick(run.form->Command2, Qt::LeftButton);
    QVERIFY(run.form->IsUnloaded());
}

void TestUpload::stalledExportFolderEndsInTheError()
{
    StallingFolder share(100000, 0);
    if (!share.Ready())
        QSKIP(qPrintable(share.Reason()));
    FtpPeer peer;
    QVERIFY(peer.Started());
    UploadFixture run(peer.Host(), QStringLiteral("001122"), QStringLiteral("export"), 2);
    run.form->path = share.Path();
    QSignalSpy programEnds(&WindowRegistry::Instance(), &WindowRegistry::LastWindowUnloaded);

    QElapsedTimer clock;
    clock.start();
    run.Press();
    QVERIFY2(clock.elapsed() < 15000, "a stalled read must fail within the limit");
    QCOMPARE(run.boxes.seen().size(), 1);
    QCOMPARE(run.boxes.seen()[0].text, sendError);
    QCOMPARE(run.form->Label1->text(), labelDia);
    QVERIFY(ButtonsReady(run.form));
    // What the server got of it is removed over a new connection. Wine is held in the
    // file's open already, before the server is told of the file.
    const QString removed = peer.Count(QStringLiteral("CMD STOR ")) ? "; il file 001122_DIA.txt è stato rimosso dal server" : "";
    QVERIFY2(run.Log().last().endsWith("lettura del file locale ferma da 2 s" + removed), qPrintable(run.Log().last()));

    // The read is still stuck; closing the window still ends the program.
    clock.restart();
    QTest::mouseClick(run.form->Command2, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(run.form.isNull());
    QCOMPARE(programEnds.count(), 1);
    QVERIFY2(clock.elapsed() < 5000, "the program's end waited for the stuck read");
}

void TestUpload::shortFileName()
{
    ScratchDir scratch;
    const QString folder = scratch.file(QStringLiteral("a b%c"));
    QDir().mkpath(folder);
    scratch.write(QStringLiteral("a b%c/DIA.TXT"), "x");
    const QString part = GetShortFileName(folder + QStringLiteral("//DIA.TXT"));
    QVERIFY(!part.isEmpty());
    QVERIFY(!part.contains(u' '));
#ifdef Q_OS_WIN
    // Windows: the short (8.3) form of the whole path, which has no blank.
    const QString shortPath = QUrl::fromPercentEncoding(part.toUtf8());
    QVERIFY2(QFileInfo(shortPath).isAbsolute() && !shortPath.contains(u"a b%c"), qPrintable(part));
    QFile shortName(shortPath);
    QVERIFY(shortName.open(QIODevice::ReadOnly));
    QCOMPARE(shortName.readAll(), QByteArray("x"));
    QCOMPARE(GetShortFileName(QStringLiteral("a b%c/DIA.TXT")), part);
#else
    QCOMPARE(QFileInfo(QUrl::fromPercentEncoding(part.toUtf8())).canonicalFilePath(),
             QFileInfo(folder + QStringLiteral("/DIA.TXT")).canonicalFilePath());
    // Relative to the working directory, the part is still the whole path.
    QCOMPARE(GetShortFileName(QStringLiteral("a b%c/DIA.TXT")), LocalPart(folder + "/DIA.TXT"));
#endif
    QCOMPARE(GetShortFileName(folder + QStringLiteral("/MISSING.TXT")), QString());
    QCOMPARE(GetShortFileName(folder), QString());
}

QTEST_MAIN(TestUpload)
#include "test_upload.moc"
