// The daily scheduled run: which failures are tried again, and the platform's own scheduler
// holding the run (Task Scheduler's interface under Wine; on Linux the crontab and systemd
// paths through stand-ins for the crontab and systemctl commands, so that the user's own
// schedule is never touched).
#include "core/schedule/DailyRun.h"
#include "core/schedule/RetryPolicy.h"
#include "core/schedule/TaskDefinition.h"
#include "core/transfer/CurlCause.h"
#include "support/TestSupport.h"

#ifdef Q_OS_WIN
#include "core/schedule/win32/WindowsTask.h"
#endif

#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

class TestSchedule : public QObject {
    Q_OBJECT
private slots:
    void whatIsTriedAgain()
    {
        const struct {
            CURLcode code;
            const char* reply;
            bool again;
        } failures[] = {
            {CURLE_COULDNT_CONNECT, "", true},
            {CURLE_COULDNT_RESOLVE_HOST, "", true},
            {CURLE_OPERATION_TIMEDOUT, "", true},
            {CURLE_RECV_ERROR, "", true},
            {CURLE_WEIRD_SERVER_REPLY, "421 Too many connections (2) from this IP", true},
            {CURLE_LOGIN_DENIED, "421 Service not available", true},
            {CURLE_LOGIN_DENIED, "530 Login incorrect.", false},
            {CURLE_UPLOAD_FAILED, "452 Insufficient storage space", true},
            {CURLE_UPLOAD_FAILED, "553 Could not create file.", false},
            {CURLE_USE_SSL_FAILED, "", false},
            {CURLE_PEER_FAILED_VERIFICATION, "", false},
        };
        for (const auto& failure : failures) {
            const QString cause = QStringLiteral("collegamento al server 127.0.0.1:21: ")
                                  + QString::fromStdString(CurlCause(failure.code, failure.reply, 60));
            QVERIFY2(RetryPolicy::MayPassByWaiting(cause) == failure.again, qPrintable(cause));
        }
        // The removal of a cut file has its own reply, which says nothing of the failure.
        QVERIFY(RetryPolicy::MayPassByWaiting("invio di DIA.TXT come 1_DIA.txt: collegamento interrotto durante "
                                              "l'invio; il file 1_DIA.txt sul server potrebbe essere incompleto (550 No)"));
        QVERIFY(!RetryPolicy::MayPassByWaiting("invio di DIA.TXT come 1_DIA.txt: 3000 byte inviati, 2999 ricevuti"));
        QVERIFY(!RetryPolicy::MayPassByWaiting("nella cartella \"/x\" mancano DIA.TXT"));

        QCOMPARE(RetryPolicy::ParseWaits("1,0,30").value_or(QList<int>()), (QList<int>{1, 0, 30}));
        for (const char* wrong : {"", "1,,2", "-1", "2 ", "1;2", "7200", "1,1,1,1,1,1,1,1,1,1,1"})
            QVERIFY2(!RetryPolicy::ParseWaits(wrong), wrong);
    }

    void theSchedulerHoldsTheRun()
    {
        ScratchDir dir;
        // A folder as offices name them, with what shells and schedulers take for their own.
        const QString folder = dir.file("Uff. tecnico 100% l'export $HOME");
        QVERIFY(QDir().mkpath(folder));
        const QString program = dir.file("Programmi/Morvantil.exe");
        const auto same = [&](const std::optional<DailyRun>& run, const QTime& time) {
            QVERIFY(run);
            QCOMPARE(run->time, time);
            QCOMPARE(QDir::fromNativeSeparators(run->folder), folder);
            QCOMPARE(QDir::fromNativeSeparators(run->program), program);
        };
        const QString given = TaskDefinitionXml({QTime(21, 30), folder, program, {}});
        same(ParseTaskDefinition(given), QTime(21, 30));
        const QStringList when{"<StartBoundary>2020-01-01T21:30:00</StartBoundary>", "<DaysInterval>1<",
                               "<Arguments>--invia --automatico<",
                               "<WorkingDirectory>" + QDir::toNativeSeparators(folder) + "<"};
        const QStringList how{"<StartWhenAvailable>true<", "<RunOnlyIfNetworkAvailable>true<",
                              "<MultipleInstancesPolicy>IgnoreNew<", "<ExecutionTimeLimit>PT1H<"};
        for (const QString& part : when + how)
            QVERIFY2(given.contains(part), qPrintable(part));
#ifdef Q_OS_WIN
        // The real Task Scheduler, in the build's own Wine prefix.
        try {
            RemoveDailyRun();
            QCOMPARE(ScheduleDailyRun(QTime(7, 5), folder, program).time, QTime(7, 5));
            QCOMPARE(ScheduleDailyRun(QTime(21, 30), folder, program).where, WindowsTask::Where());
            // Wine 8 keeps the settings but neither trigger nor action (its reader has stubs
            // there); Windows keeps the whole definition.
            const QString stored = WindowsTask::StoredXml();
            for (const QString& part : stored.contains("<Triggers/>") ? how : when + how)
                QVERIFY2(stored.contains(part), qPrintable(part + u'\n' + stored));
            QVERIFY(RemoveDailyRun());
            QCOMPARE(WindowsTask::StoredXml(), QString());
            QVERIFY(!RemoveDailyRun());
            QVERIFY(!ScheduledDailyRun());
        } catch (const ScheduleError& error) {
            QFAIL(error.what());
        }
#else
        // Stand-ins: crontab keeps its table in a file; systemctl answers as a user manager
        // does when "manager" exists, and notes what it was asked.
        QDir(dir.path()).mkdir("bin");
        dir.write("bin/crontab", "#!/bin/sh\nt=\"$(dirname \"$0\")/table\"\n"
                                 "if [ \"$1\" = -l ]; then [ -f \"$t\" ] && exec cat \"$t\"; "
                                 "echo \"no crontab for $USER\" >&2; exit 1; fi\ncat >\"$t\"\n");
        dir.write("bin/systemctl", "#!/bin/sh\nb=\"$(dirname \"$0\")\"\necho \"$*\" >>\"$b/calls\"\n[ -f \"$b/manager\" ]\n");
        for (const char* tool : {"bin/crontab", "bin/systemctl"})
            QFile::setPermissions(dir.file(tool), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const bool userManager = QProcess::execute("systemctl", {"--user", "show-environment"}) == 0;
        const QByteArray path = qgetenv("PATH");
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        qputenv("PATH", dir.file("bin").toLocal8Bit() + ':' + path);
        qputenv("XDG_CONFIG_HOME", dir.file("config").toLocal8Bit());
        const auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            config.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", config);
        });

        // No user manager: the crontab, beside the lines already there.
        const QByteArray other = "0 1 * * * /usr/bin/backup\n";
        dir.write("bin/table", other);
        same(ScheduleDailyRun(QTime(7, 5), folder, program), QTime(7, 5));
        same(ScheduleDailyRun(QTime(21, 30), folder, program), QTime(21, 30));
        QCOMPARE(ScheduleDailyRun(QTime(21, 30), folder, program).where, QString("crontab dell'utente"));
        const QStringList table = QString::fromLocal8Bit(dir.read("bin/table")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(table.size(), 2);
        QVERIFY(table[1].startsWith("30 21 * * * cd '" + dir.path() + "/Uff. tecnico 100\\% l'\\''export $HOME' && '"));
        QVERIFY(RemoveDailyRun());
        QCOMPARE(dir.read("bin/table"), other);
        QVERIFY(!RemoveDailyRun());

        // A user manager: the timer and its service; the crontab line goes.
        dir.write("bin/manager", "");
        ScheduleDailyRun(QTime(7, 5), folder, program);
        dir.write("bin/calls", "");
        same(ScheduleDailyRun(QTime(6, 0), folder, program), QTime(6, 0));
        QCOMPARE(dir.read("bin/table"), other);
        const QString units = "config/systemd/user/morvantil-invio";
        const QString timer = QString::fromUtf8(dir.read(units + ".timer"));
        const QString service = QString::fromUtf8(dir.read(units + ".service"));
        QVERIFY(timer.contains("\nOnCalendar=*-*-* 06:00:00\nPersistent=true\n"));
        QVERIFY(service.contains("\nWorkingDirectory=" + dir.path() + "/Uff. tecnico 100%% l'export $HOME\n"));
        QVERIFY(service.contains("\nExecStart=\"" + program + "\" --invia --automatico\n"));
        QCOMPARE(dir.read("bin/calls"), QByteArray("--user show-environment\n--user daemon-reload\n"
                                                   "--user enable morvantil-invio.timer\n--user restart morvantil-invio.timer\n"));
        QVERIFY(RemoveDailyRun());
        QVERIFY(!QFile::exists(dir.file(units + ".timer")) && !QFile::exists(dir.file(units + ".service")));
        QVERIFY(!ScheduledDailyRun());

        if (!userManager)
            QSKIP("no systemd user manager runs here: the timer's units were checked, not run by systemd");
#endif
    }
};

QTEST_GUILESS_MAIN(TestSchedule)
#include "test_schedule.moc"
