// What the program writes, on a disk with no room left: the settings and a downloaded
// installer. The old files stay whole, and the operator is told what was and was not saved.
#include "core/transfer/Inet.h"
#include "gui/Form1.h"
#include "gui/Form3.h"
#include "gui/WindowRegistry.h"
#include "support/HttpPeer.h"
#include "support/WindowTestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestFullDisk : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }

    void oldFilesStayWholeAndTheMessageSaysWhatWasSaved()
    {
        if (!FullDisk::Reason().isEmpty())
            QSKIP(qPrintable(FullDisk::Reason()));
        HttpPeer service;
        QVERIFY(service.started());
        service.route("/morvantil/update.php?v=1.3", service.url("/new").toUtf8());
        const QByteArray installer = "#!/bin/sh\n" + QByteArray(200000, '#');
        service.route("/new", installer);
        service.route("/new.minisig", service.sign(installer, "Morvantil 1.4"));
        FullDisk disk;
        const auto read = [&](const char* name) {
            QFile f(QDir(disk.path()).filePath(name));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        };
        const QByteArray lastYear = "#!/bin/sh\n# last year's\n";
        for (const auto& [name, bytes] : {std::pair("path.dat", QByteArray("/srv/vecchia\r\n")),
                                          std::pair("com.dat", QByteArray("016024\r\n")),
                                          std::pair("update.exe", lastYear)}) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
        disk.Fill();
        MessageBoxWatcher boxes;

        // The new version cannot be saved: said so, last year's installer kept, start goes on.
        WindowRegistry::Instance().SetFactory<Form1>([&] {
            auto* main = new Form1(ServerAddresses{"127.0.0.1:9", service.url(), 2, false, {}, service.publicKey()});
            main->Inet1->DownloadLimits(1024, 1, 3);
            return main;
        });
        Form1* main = WindowRegistry::Instance().Start<Form1>();
        QVERIFY(main->isVisible());
        QCOMPARE(boxes.seen().size(), 1);
        QVERIFY2(boxes.seen()[0].text.startsWith("Impossibile scrivere il file update.exe"),
                 qPrintable(boxes.seen()[0].text));
        QCOMPARE(read("update.exe"), lastYear);

        // Nothing fits: nothing saved, and the message says so.
        QTest::mouseClick(main->Command3, Qt::LeftButton);
        Form3* settings = WindowRegistry::Instance().Loaded<Form3>();
        settings->percorso->setText("/srv/nuova");
        settings->comune->setText(QString(5000, u'9'));
        QTest::mouseClick(settings->Command1, Qt::LeftButton);
        QCOMPARE(boxes.seen().size(), 2);
        QVERIFY2(boxes.seen()[1].text.startsWith("Impossibile scrivere il file path.dat"),
                 qPrintable(boxes.seen()[1].text));
        QVERIFY(boxes.seen()[1].text.contains("Le impostazioni non sono state salvate"));
        QCOMPARE(read("path.dat"), QByteArray("/srv/vecchia\r\n"));
        QCOMPARE(read("com.dat"), QByteArray("016024\r\n"));
        QVERIFY(settings->isVisible() && !main->isVisible());

        // Room for the short folder, not for the long code: the message says which was saved.
        disk.Fill(4096);
        QTest::mouseClick(settings->Command1, Qt::LeftButton);
        QCOMPARE(boxes.seen().size(), 3);
        QVERIFY2(boxes.seen()[2].text.startsWith("Impossibile scrivere il file com.dat"),
                 qPrintable(boxes.seen()[2].text));
        QVERIFY(boxes.seen()[2].text.contains("Il file path.dat è stato salvato, il file com.dat no"));
        QCOMPARE(read("path.dat"), QByteArray("/srv/nuova\r\n"));
        QCOMPARE(read("com.dat"), QByteArray("016024\r\n"));
        QVERIFY(settings->isVisible());
    }
};

QTEST_MAIN(TestFullDisk)
#include "test_full_disk.moc"
