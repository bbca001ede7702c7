// The folder picker: where it opens, how the operator moves, what it hands back, and the
// folders and drives it cannot read.
#include "platform/DirListBox.h"
#include "platform/DriveListBox.h"
#include "platform/WindowRegistry.h"
#include "settings/Form2.h"
#include "settings/Form3.h"
#include "support/TestSupport.h"
#include "ui/PictureBox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Root reads every folder: while this lives the process runs as "nobody" instead.
struct Unprivileged {
    bool active = geteuid() == 0 && setresuid(65534, 65534, 0) == 0;
    ~Unprivileged() { if (active && setresuid(0, 0, 0) != 0) qFatal("root not taken back"); }
};

Form3* Settings() { return WindowRegistry::Instance().Get<Form3>(); }

Form2* OpenPicker()
{
    Settings()->Show();
    QTest::mouseClick(Settings()->Picture1, Qt::LeftButton);
    return WindowRegistry::Instance().Loaded<Form2>();
}

// The levels from the root down to `directory`, then `children`.
QStringList Expected(const QString& directory, const QStringList& children)
{
    return QStringList{"/"} + directory.split('/', Qt::SkipEmptyParts) + children;
}

QStringList Entries(const DirListBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// A real click or double click (QTest's double click sends the second press alone).
void Click(DirListBox* list, const QString& text, bool twice)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list->scrollToItem(found.last());
    const QPoint at = list->visualItemRect(found.last()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }
}

}  // namespace

class TestFolderPicker : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }

    void everyOpeningStartsOnTheWorkingDirectory()
    {
        ScratchDir dir;
        MessageBoxWatcher boxes;
        for (const char* folder : {"gamma/interna", "beta", "Alfa", ".nascosta"})
            QDir(dir.path()).mkpath(folder);
        dir.write("file.txt", "");
        const QString cwd = QDir::currentPath();

        for (int opening = 0; opening < 2; ++opening) {
            Form2* picker = OpenPicker();
            QVERIFY(picker && picker->isVisible() && !Settings()->isVisible());
            QCOMPARE(picker->Dir1->Path(), cwd);
            QCOMPARE(Entries(picker->Dir1), Expected(cwd, {"Alfa", "beta", "gamma"}));
            QCOMPARE(picker->Dir1->currentItem()->text(), QFileInfo(cwd).fileName());
            QCOMPARE(picker->Drive1->Drive(), QStorageInfo(cwd).rootPath());
            Click(picker->Dir1, "gamma", true);
            QTest::mouseClick(picker->Command1, Qt::LeftButton);
            QCOMPARE(Settings()->percorso->text(), cwd + "/gamma");
            QVERIFY(!WindowRegistry::Instance().Loaded<Form2>());
        }
        QVERIFY(boxes.seen().isEmpty());
    }

    void clickHighlightsDoubleClickOpens()
    {
        ScratchDir dir;
        for (const char* folder : {"alfa/dentro", "beta", "sparisce"})
            QDir(dir.path()).mkpath(folder);
        const QString cwd = QDir::currentPath();

        Form2* picker = OpenPicker();
        DirListBox* list = picker->Dir1;
        Click(list, "beta", false);
        QCOMPARE(list->currentItem()->text(), QString("beta"));
        QCOMPARE(list->Path(), cwd);
        // Keys move the highlight; Enter opens, and presses no button.
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(list->Path(), cwd + "/alfa");
        QCOMPARE(Entries(list), Expected(cwd + "/alfa", {"dentro"}));
        QVERIFY(picker->isVisible());
        // An entry above goes back up; a folder gone since it was listed is dropped.
        Click(list, QFileInfo(cwd).fileName(), true);
        QVERIFY(QDir(cwd).rmdir("sparisce"));
        Click(list, "sparisce", true);
        QCOMPARE(list->Path(), cwd);
        QCOMPARE(Entries(list), Expected(cwd, {"alfa", "beta"}));
        // Only a root keeps its separator.
        Click(list, "/", true);
        QCOMPARE(list->Path(), QString("/"));
        QTest::mouseClick(picker->Command1, Qt::LeftButton);
        QCOMPARE(Settings()->percorso->text(), QString("/"));
    }

    void removedWorkingDirectory()
    {
        ScratchDir dir;
        MessageBoxWatcher boxes;
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir().mkdir(cwd + "/via") && QDir::setCurrent(cwd + "/via"));
        QVERIFY(QDir(cwd).rmdir("via"));
        Form2* picker = OpenPicker();
        QCOMPARE(picker->Dir1->Path(), QString());
        QCOMPARE(picker->Dir1->count(), 0);
        QTest::mouseClick(picker->Command1, Qt::LeftButton);
        QCOMPARE(boxes.seen().size(), 1);
        QCOMPARE(boxes.seen()[0].text, QString("Selezionare la cartella di origine"));
        QCOMPARE(boxes.seen()[0].title, QString("Attenzione!"));
        QVERIFY(boxes.seen()[0].stopIcon);
        QVERIFY(picker->isVisible() && !Settings()->isVisible());
        // Another drive gets the operator out.
        picker->Drive1->addItem(cwd);
        QTest::keyClick(picker->Drive1, Qt::Key_End);
        QCOMPARE(picker->Dir1->Path(), cwd);
    }

    void unreadableFoldersAndDrives()
    {
        ScratchDir dir;
        MessageBoxWatcher boxes;
        for (const char* folder : {"chiusa/dentro", "altro/sotto", "passaggio"})
            QDir(dir.path()).mkpath(folder);
        const QString cwd = QDir::currentPath();
        QCOMPARE(chmod(qPrintable(cwd), 0755), 0);
        QCOMPARE(chmod(qPrintable(cwd + "/chiusa"), 0), 0);
        QCOMPARE(chmod(qPrintable(cwd + "/passaggio"), 0111), 0);
        {
            Unprivileged nobody;
            QVERIFY(!QDir(cwd + "/chiusa").isReadable());
            // A working directory that can be entered but not listed.
            QVERIFY(QDir::setCurrent(cwd + "/passaggio"));
            Form2* picker = OpenPicker();
            QCOMPARE(Entries(picker->Dir1), Expected(cwd + "/passaggio", {}));
            QVERIFY(QDir::setCurrent(cwd));
            Click(picker->Dir1, QFileInfo(cwd).fileName(), true);
            // A folder that cannot be listed is shown and opens, empty.
            QCOMPARE(Entries(picker->Dir1), Expected(cwd, {"altro", "chiusa", "passaggio"}));
            Click(picker->Dir1, "chiusa", true);
            QCOMPARE(picker->Dir1->Path(), cwd + "/chiusa");
            QCOMPARE(Entries(picker->Dir1), Expected(cwd + "/chiusa", {}));

            // A readable drive moves the list; one that cannot be read leaves it in place.
            for (const QString& drive : {cwd + "/altro", cwd + "/chiusa", cwd + "/assente"}) {
                picker->Drive1->addItem(drive);
                picker->Drive1->setFocus();
                QTest::keyClick(picker->Drive1, Qt::Key_End);
                QCOMPARE(picker->Drive1->Drive(), drive);
                QCOMPARE(picker->Dir1->Path(), cwd + "/altro");
                QCOMPARE(Entries(picker->Dir1), Expected(cwd + "/altro", {"sotto"}));
            }
            QTest::mouseClick(picker->Command1, Qt::LeftButton);
            QCOMPARE(Settings()->percorso->text(), cwd + "/altro");
        }
        QVERIFY(boxes.seen().isEmpty());
        chmod(qPrintable(cwd + "/chiusa"), 0700);
    }
};

QTEST_MAIN(TestFolderPicker)
#include "test_folder_picker.moc"
