// The folder picker: where it opens, how the operator moves, what it hands back, and the
// folders and drives it cannot read.
#include "gui/DirListBox.h"
#include "gui/DriveListBox.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "gui/PictureBox.h"
#include "gui/WindowRegistry.h"
#include "support/WindowTestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QtTest>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifndef Q_OS_WIN
// Root reads every folder: while this lives the process runs as "nobody" instead.
struct Unprivileged {
    bool active = geteuid() == 0 && setresuid(65534, 65534, 0) == 0;
    ~Unprivileged() { if (active && setresuid(0, 0, 0) != 0) qFatal("root not taken back"); }
};
#endif

Form3* Settings() { return WindowRegistry::Instance().Get<Form3>(); }

Form2* OpenPicker()
{
    Settings()->Show();
    QTest::mouseClick(Settings()->Picture1, Qt::LeftButton);
    return WindowRegistry::Instance().Loaded<Form2>();
}

// Paths as the picker shows and hands them: with the platform's separator.
QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// The root entry of a path: "/", or on Windows its drive, "C:\".
QString Root(const QString& path) { return Native(path.section('/', 0, 0) + '/'); }

// The levels from the root down to `directory`, then `children`.
QStringList Expected(const QString& directory, const QStringList& children)
{
    return QStringList{Root(directory)} + directory.section('/', 1).split('/', Qt::SkipEmptyParts) + children;
}

// The drive list's name for the drive that holds `path`.
QString DriveOf(const QString& path)
{
#ifdef Q_OS_WIN
    return path.left(2).toLower();  // drive letters: "c:"
#else
    return QStorageInfo(path).rootPath();  // the mounted file system's root
#endif
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
            QCOMPARE(picker->Dir1->Path(), Native(cwd));
            QCOMPARE(Entries(picker->Dir1), Expected(cwd, {"Alfa", "beta", "gamma"}));
            QCOMPARE(picker->Dir1->currentItem()->text(), QFileInfo(cwd).fileName());
            QCOMPARE(picker->Drive1->Drive(), DriveOf(cwd));
            Click(picker->Dir1, "gamma", true);
            QTest::mouseClick(picker->Command1, Qt::LeftButton);
            QCOMPARE(Settings()->percorso->text(), Native(cwd + "/gamma"));
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
        QCOMPARE(list->Path(), Native(cwd));
        // Keys move the highlight; Enter opens, and presses no button.
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(list->Path(), Native(cwd + "/alfa"));
        QCOMPARE(Entries(list), Expected(cwd + "/alfa", {"dentro"}));
        QVERIFY(picker->isVisible());
        // An entry above goes back up; a folder gone since it was listed is dropped.
        Click(list, QFileInfo(cwd).fileName(), true);
        QVERIFY(QDir(cwd).rmdir("sparisce"));
        Click(list, "sparisce", true);
        QCOMPARE(list->Path(), Native(cwd));
        QCOMPARE(Entries(list), Expected(cwd, {"alfa", "beta"}));
        // Only a root keeps its separator.
        Click(list, Root(cwd), true);
        QCOMPARE(list->Path(), Root(cwd));
        QTest::mouseClick(picker->Command1, Qt::LeftButton);
        QCOMPARE(Settings()->percorso->text(), Root(cwd));
    }

    void removedWorkingDirectory()
    {
        ScratchDir dir;
        MessageBoxWatcher boxes;
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir().mkdir(cwd + "/via") && QDir::setCurrent(cwd + "/via"));
#ifdef Q_OS_WIN
        // Windows keeps a process's working directory from being removed.
        QVERIFY(!QDir(cwd).rmdir("via"));
        QVERIFY(QDir::setCurrent(cwd));
        return;
#endif
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

#ifdef Q_OS_WIN
    // Windows: the drive list holds drive letters. Another ready drive lists where that
    // drive stands; a letter with no volume behind it leaves the list in place, with no
    // question to the operator. (chmod cannot take reading away here: no unreadable folders.)
    void driveLetters()
    {
        ScratchDir dir;
        MessageBoxWatcher boxes;
        const QString cwd = QDir::currentPath();
        Form2* picker = OpenPicker();
        DriveListBox* drives = picker->Drive1;
        QStringList letters;
        for (int i = 0; i < drives->count(); ++i)
            letters << drives->itemText(i);
        QVERIFY2(letters.filter(QRegularExpression("^[a-z]:$")) == letters, qPrintable(letters.join(' ')));
        QCOMPARE(drives->Drive(), DriveOf(cwd));

        QString other;
        for (const QString& letter : letters)
            if (letter != DriveOf(cwd) && other.isEmpty() && QFileInfo(letter + '/').isDir())
                other = letter;
        QVERIFY2(!other.isEmpty(), "no second drive to move to");
        drives->setCurrentIndex(int(letters.indexOf(other)));
        QCOMPARE(picker->Dir1->Path().left(3), other.toUpper() + '\\');

        const QString moved = picker->Dir1->Path();
        QString missing = QStringLiteral("y:");
        while (letters.contains(missing))
            missing[0] = QChar(missing[0].unicode() - 1);
        drives->addItem(missing);
        drives->setCurrentIndex(drives->count() - 1);
        QCOMPARE(drives->Drive(), missing);
        QVERIFY(!drives->Ready());
        QCOMPARE(picker->Dir1->Path(), moved);
        QVERIFY(boxes.seen().isEmpty());
    }
#endif

#ifndef Q_OS_WIN
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
#endif
};

QTEST_MAIN(TestFolderPicker)
#include "test_folder_picker.moc"
