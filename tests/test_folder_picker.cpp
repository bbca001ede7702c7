// The folder picker: where it opens, how the operator moves through the folders, what it
// hands back to the settings window, and the folders and drives it cannot read.
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

// Root may read any folder; for as long as this lives the process runs as "nobody", so
// a folder without permissions really cannot be listed. (Not needed for other users.)
class Unprivileged {
public:
    Unprivileged()
    {
        if (geteuid() == 0)
            active_ = setresuid(65534, 65534, 0) == 0;
    }
    ~Unprivileged()
    {
        if (active_ && setresuid(0, 0, 0) != 0)
            qFatal("could not take back root");
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

private:
    bool active_ = false;
};

void MakeDirs(const ScratchDir& dir, const QStringList& names)
{
    for (const QString& name : names)
        QVERIFY2(QDir(dir.path()).mkpath(name), qPrintable(name));
}

// The settings window, shown as the main window would show it, with its picture clicked.
Form2* OpenPicker()
{
    Form3* settings = WindowRegistry::Instance().Get<Form3>();
    settings->Show();
    QTest::mouseClick(settings->Picture1, Qt::LeftButton);
    return WindowRegistry::Instance().Loaded<Form2>();
}

QStringList Entries(const DirListBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// The entries a directory list shows on `directory` that has these subdirectories.
QStringList Expected(const QString& directory, const QStringList& children)
{
    QStringList levels = directory.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    levels.prepend(QStringLiteral("/"));
    return levels + children;
}

QListWidgetItem* Entry(DirListBox* list, const QString& text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.last();
}

QPoint Centre(DirListBox* list, QListWidgetItem* item)
{
    list->scrollToItem(item);
    return list->visualItemRect(item).center();
}

void Click(DirListBox* list, const QString& text)
{
    QListWidgetItem* item = Entry(list, text);
    QVERIFY2(item, qPrintable(text));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, Centre(list, item));
}

// The whole of a real double click: QTest's own sends the second press alone.
void DoubleClick(DirListBox* list, const QString& text)
{
    QListWidgetItem* item = Entry(list, text);
    QVERIFY2(item, qPrintable(text));
    const QPoint at = Centre(list, item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

// Chooses the last drive in the list with the keyboard, as the operator would.
void ChooseLastDrive(DriveListBox* drives)
{
    drives->setFocus();
    QTest::keyClick(drives, Qt::Key_End);
}

QString Percorso()
{
    return WindowRegistry::Instance().Get<Form3>()->percorso->text();
}

}  // namespace

class TestFolderPicker : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetWindows(); }
    void everyOpeningStartsOnTheWorkingDirectory();
    void singleClickHighlightsDoubleClickOpens();
    void keyboardMovesAndOpens();
    void rootKeepsItsSeparator();
    void folderRemovedAfterListing();
    void unreadableFolders();
    void driveChange();
    void waysBackLeaveTheSettingsAlone_data();
    void waysBackLeaveTheSettingsAlone();
};

void TestFolderPicker::everyOpeningStartsOnTheWorkingDirectory()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    MakeDirs(dir, {"beta", "Alfa", "gamma/interna", ".nascosta"});
    dir.write("file.txt", "not a folder");
    const QString cwd = QDir::currentPath();

    Form2* picker = OpenPicker();
    QVERIFY(picker && picker->isVisible());
    QVERIFY(!WindowRegistry::Instance().Get<Form3>()->isVisible());
    QCOMPARE(picker->Dir1->Path(), cwd);
    // Levels down to the working directory, then its folders by name, whatever the case;
    // hidden folders and files stay out.
    QCOMPARE(Entries(picker->Dir1), Expected(cwd, {"Alfa", "beta", "gamma"}));
    QCOMPARE(picker->Dir1->currentItem()->text(), QFileInfo(cwd).fileName());
    QCOMPARE(picker->Drive1->Drive(), QStorageInfo(cwd).rootPath());

    // Wherever the last opening went, the next starts again on the working directory.
    DoubleClick(picker->Dir1, "gamma");
    QCOMPARE(picker->Dir1->Path(), cwd + "/gamma");
    QTest::mouseClick(picker->Command1, Qt::LeftButton);
    QCOMPARE(Percorso(), cwd + "/gamma");
    QVERIFY(!WindowRegistry::Instance().Loaded<Form2>());

    picker = OpenPicker();
    QCOMPARE(picker->Dir1->Path(), cwd);
    DoubleClick(picker->Dir1, "Alfa");
    QTest::mouseClick(picker->Command2, Qt::LeftButton);

    picker = OpenPicker();
    QCOMPARE(picker->Dir1->Path(), cwd);
    QCOMPARE(Entries(picker->Dir1), Expected(cwd, {"Alfa", "beta", "gamma"}));
    QVERIFY(boxes.seen().isEmpty());
}

void TestFolderPicker::singleClickHighlightsDoubleClickOpens()
{
    ScratchDir dir;
    MakeDirs(dir, {"beta/uno", "beta/due", "delta"});
    const QString cwd = QDir::currentPath();

    // A highlighted folder is not chosen: "Seleziona" takes the current directory.
    Form2* picker = OpenPicker();
    Click(picker->Dir1, "beta");
    QCOMPARE(picker->Dir1->currentItem()->text(), QString("beta"));
    QCOMPARE(picker->Dir1->Path(), cwd);
    QCOMPARE(Entries(picker->Dir1), Expected(cwd, {"beta", "delta"}));
    QTest::mouseClick(picker->Command1, Qt::LeftButton);
    QCOMPARE(Percorso(), cwd);

    // An opened one is, without a trailing separator.
    picker = OpenPicker();
    DoubleClick(picker->Dir1, "beta");
    QCOMPARE(picker->Dir1->Path(), cwd + "/beta");
    QCOMPARE(Entries(picker->Dir1), Expected(cwd + "/beta", {"due", "uno"}));
    QCOMPARE(picker->Dir1->currentItem()->text(), QString("beta"));

    // Opening a level above goes back up.
    DoubleClick(picker->Dir1, QFileInfo(cwd).fileName());
    QCOMPARE(picker->Dir1->Path(), cwd);
    DoubleClick(picker->Dir1, "delta");
    QTest::mouseClick(picker->Command1, Qt::LeftButton);
    QCOMPARE(Percorso(), cwd + "/delta");
}

void TestFolderPicker::keyboardMovesAndOpens()
{
    ScratchDir dir;
    MakeDirs(dir, {"alfa/dentro", "beta"});
    const QString cwd = QDir::currentPath();

    Form2* picker = OpenPicker();
    DirListBox* list = picker->Dir1;
    list->setFocus();
    // The highlight starts on the current directory; moving it opens nothing.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentItem()->text(), QString("alfa"));
    QCOMPARE(list->Path(), cwd);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(list->Path(), cwd + "/alfa");
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Enter);
    QCOMPARE(list->Path(), cwd + "/alfa/dentro");
    // Enter opens in the list only; it presses no button.
    QVERIFY(picker->isVisible());
    QVERIFY(WindowRegistry::Instance().Loaded<Form2>());
}

void TestFolderPicker::rootKeepsItsSeparator()
{
    ScratchDir dir;
    Form2* picker = OpenPicker();
    DoubleClick(picker->Dir1, "/");
    QCOMPARE(picker->Dir1->Path(), QString("/"));
    QCOMPARE(picker->Dir1->item(0)->text(), QString("/"));
    QCOMPARE(picker->Dir1->currentItem(), picker->Dir1->item(0));

    // One level down from the root: a single separator, none at the end.
    const QString first = QDir::currentPath().section('/', 1, 1);
    DoubleClick(picker->Dir1, first);
    QCOMPARE(picker->Dir1->Path(), "/" + first);
    DoubleClick(picker->Dir1, "/");
    QTest::mouseClick(picker->Command1, Qt::LeftButton);
    QCOMPARE(Percorso(), QString("/"));
}

void TestFolderPicker::folderRemovedAfterListing()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    MakeDirs(dir, {"resta", "sparisce"});
    const QString cwd = QDir::currentPath();

    Form2* picker = OpenPicker();
    QVERIFY(QDir(cwd).rmdir("sparisce"));
    DoubleClick(picker->Dir1, "sparisce");
    QCOMPARE(picker->Dir1->Path(), cwd);
    QCOMPARE(Entries(picker->Dir1), Expected(cwd, {"resta"}));
    QVERIFY(boxes.seen().isEmpty());
}

void TestFolderPicker::unreadableFolders()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    MakeDirs(dir, {"aperta", "chiusa/nascosta", "solopassaggio/figlia"});
    const QString cwd = QDir::currentPath();
    QCOMPARE(chmod(qPrintable(cwd), 0755), 0);
    QCOMPARE(chmod(qPrintable(cwd + "/chiusa"), 0), 0);
    QCOMPARE(chmod(qPrintable(cwd + "/solopassaggio"), 0111), 0);

    {
        Unprivileged nobody;
        QVERIFY(!QDir(cwd + "/chiusa").isReadable());

        // Shown like any other folder; opened, it lists nothing and says nothing.
        Form2* picker = OpenPicker();
        QCOMPARE(Entries(picker->Dir1), Expected(cwd, {"aperta", "chiusa", "solopassaggio"}));
        DoubleClick(picker->Dir1, "chiusa");
        QCOMPARE(picker->Dir1->Path(), cwd + "/chiusa");
        QCOMPARE(Entries(picker->Dir1), Expected(cwd + "/chiusa", {}));
        QTest::mouseClick(picker->Command1, Qt::LeftButton);
        QCOMPARE(Percorso(), cwd + "/chiusa");

        // A working directory that can be entered but not listed still opens the picker.
        QVERIFY(QDir::setCurrent(cwd + "/solopassaggio"));
        picker = OpenPicker();
        QCOMPARE(picker->Dir1->Path(), cwd + "/solopassaggio");
        QCOMPARE(Entries(picker->Dir1), Expected(cwd + "/solopassaggio", {}));
        QTest::mouseClick(picker->Command1, Qt::LeftButton);
        QCOMPARE(Percorso(), cwd + "/solopassaggio");
        QVERIFY(QDir::setCurrent(cwd));
    }
    QVERIFY(boxes.seen().isEmpty());
    chmod(qPrintable(cwd + "/chiusa"), 0700);
    chmod(qPrintable(cwd + "/solopassaggio"), 0700);
}

void TestFolderPicker::driveChange()
{
    ScratchDir dir;
    MessageBoxWatcher boxes;
    MakeDirs(dir, {"qui", "altro/dentro", "bloccato"});
    const QString cwd = QDir::currentPath();
    QCOMPARE(chmod(qPrintable(cwd), 0755), 0);
    QCOMPARE(chmod(qPrintable(cwd + "/bloccato"), 0), 0);

    Unprivileged nobody;
    Form2* picker = OpenPicker();
    DoubleClick(picker->Dir1, "qui");

    // A readable drive: the list moves to it.
    picker->Drive1->addItem(cwd + "/altro");
    ChooseLastDrive(picker->Drive1);
    QCOMPARE(picker->Drive1->Drive(), cwd + "/altro");
    QCOMPARE(picker->Dir1->Path(), cwd + "/altro");
    QCOMPARE(Entries(picker->Dir1), Expected(cwd + "/altro", {"dentro"}));

    // Drives that cannot be read: the list shows the new drive, the directory list stays,
    // and no message comes up.
    for (const QString& unreadable : {cwd + "/assente", cwd + "/bloccato"}) {
        picker->Drive1->addItem(unreadable);
        ChooseLastDrive(picker->Drive1);
        QCOMPARE(picker->Drive1->Drive(), unreadable);
        QCOMPARE(picker->Dir1->Path(), cwd + "/altro");
        QCOMPARE(Entries(picker->Dir1), Expected(cwd + "/altro", {"dentro"}));
    }
    QVERIFY(boxes.seen().isEmpty());
    QTest::mouseClick(picker->Command1, Qt::LeftButton);
    QCOMPARE(Percorso(), cwd + "/altro");
}

void TestFolderPicker::waysBackLeaveTheSettingsAlone_data()
{
    QTest::addColumn<bool>("titleBar");
    QTest::newRow("Annulla") << false;
    QTest::newRow("title bar") << true;
}

void TestFolderPicker::waysBackLeaveTheSettingsAlone()
{
    QFETCH(bool, titleBar);
    ScratchDir dir;
    MakeDirs(dir, {"altrove"});
    dir.write("path.dat", "/srv/salvato\r\n");
    Form3* settings = WindowRegistry::Instance().Get<Form3>();
    settings->Show();
    settings->percorso->selectAll();
    QTest::keyClicks(settings->percorso, " scritto ma non salvato ");
    QTest::keyClicks(settings->comune, "016024");

    Form2* picker = OpenPicker();
    DoubleClick(picker->Dir1, "altrove");
    if (titleBar)
        picker->close();
    else
        QTest::mouseClick(picker->Command2, Qt::LeftButton);

    QVERIFY(!WindowRegistry::Instance().Loaded<Form2>());
    QCOMPARE(WindowRegistry::Instance().Loaded<Form3>(), settings);
    QVERIFY(settings->isVisible());
    QCOMPARE(settings->percorso->text(), QString(" scritto ma non salvato "));
    QCOMPARE(settings->comune->text(), QString("016024"));
}

QTEST_MAIN(TestFolderPicker)
#include "test_folder_picker.moc"
