// A package build's start (MORVANTIL_SELF_UPDATE off: the package manager updates the
// program): straight to the main window, without a single request to the update service.
#include "gui/Form1.h"
#include "gui/Form4.h"
#include "gui/WindowRegistry.h"
#include "support/HttpPeer.h"
#include "support/WindowTestSupport.h"

#include <QtTest>

class TestPackagedStartup : public QObject {
    Q_OBJECT
private slots:
    void noVersionCheck()
    {
        HttpPeer service;
        QVERIFY(service.started());
        service.route("/morvantil/update.php?v=1.3", service.url("/new.exe").toUtf8());
        ScratchDir dir;
        dir.write("path.dat", "/srv/export\r\n");
        dir.write("com.dat", "016024\r\n");
        WindowRegistry::Instance().SetFactory<Form1>([&service] {
            return new Form1(ServerAddresses{"127.0.0.1:9", service.url(), 5});
        });
        Form1* main = WindowRegistry::Instance().Start<Form1>();
        QVERIFY(main->isVisible());
        QCOMPARE(main->com, QString("016024"));
        QCOMPARE(service.requests(), QStringList());
        QCOMPARE(dir.read("update.exe"), QByteArray("<missing>"));
        ResetWindows();
    }
};

QTEST_MAIN(TestPackagedStartup)
#include "packaged_startup.moc"
