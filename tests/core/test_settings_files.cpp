// The settings files: bytes on disk, line ends, round trips, and files that misbehave.
#include "core/settings/SettingsFile.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QtTest>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#endif

class TestSettingsFiles : public QObject {
    Q_OBJECT
private slots:
    void writesValueThenCrLf_data();
    void writesValueThenCrLf();
    void readsFirstLineOnly_data();
    void readsFirstLineOnly();
    void shorterOverLongerLeavesNoTail();
    void unreadableOrEmptyReadsAsEmptyText();
    void existenceMeansOrdinaryVisibleFile();
    void failedWriteIsReportedAndKeepsOldFile();
};

void TestSettingsFiles::writesValueThenCrLf_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("three letters") << "abc" << QByteArray("abc\r\n");
    QTest::newRow("empty") << "" << QByteArray("\r\n");
    QTest::newRow("blanks kept") << "  042 " << QByteArray("  042 \r\n");
#ifdef Q_OS_WIN
    // The ANSI code page: 1252 on Italian Windows (and under Wine).
    QTest::newRow("accents") << QString::fromUtf8("Città d'Òria") << QByteArray("Citt\xE0 d'\xD2ria\r\n");
#else
    QTest::newRow("accents") << QString::fromUtf8("Città d'Òria") << QByteArray("Citt\xC3\xA0 d'\xC3\x92ria\r\n");
#endif
    QTest::newRow("doubled backslash") << "D:\\\\DATI" << QByteArray("D:\\\\DATI\r\n");
}

void TestSettingsFiles::writesValueThenCrLf()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, bytes);
    ScratchDir dir;
    QVERIFY(WriteSettingsLine("./com.dat", value));
    QCOMPARE(dir.read("com.dat"), bytes);
    QCOMPARE(ReadSettingsLine("com.dat"), value);
}

void TestSettingsFiles::readsFirstLineOnly_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("value");
    QTest::newRow("several lines") << QByteArray("first\r\nsecond\r\n") << "first";
    QTest::newRow("no line end") << QByteArray("whole content") << "whole content";
    QTest::newRow("begins with line end") << QByteArray("\r\nafter") << "";
    QTest::newRow("CR alone ends") << QByteArray("one\rtwo") << "one";
    QTest::newRow("LF alone ends") << QByteArray("a\nb\nc\rd") << "a";
    // Notepad's encodings: the UTF-8 mark is dropped on every system; UTF-16 is not read.
    QTest::newRow("UTF-8 with its mark") << QByteArray("\xEF\xBB\xBF" "Citt\xC3\xA0\n") << QString::fromUtf8("Città");
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE" "0\0" "1\0\r\0\n\0", 10) << "";
    QTest::newRow("blanks kept") << QByteArray(" 042 \r\n") << " 042 ";
}

void TestSettingsFiles::readsFirstLineOnly()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, value);
    ScratchDir dir;
    dir.write("path.dat", bytes);
    QCOMPARE(ReadSettingsLine("./path.dat"), value);
}

void TestSettingsFiles::shorterOverLongerLeavesNoTail()
{
    ScratchDir dir;
    QVERIFY(WriteSettingsLine("path.dat", "/home/ufficio/esportazioni/brenola"));
    QVERIFY(WriteSettingsLine("path.dat", "/tmp"));
    QCOMPARE(dir.read("path.dat"), QByteArray("/tmp\r\n"));
}

void TestSettingsFiles::unreadableOrEmptyReadsAsEmptyText()
{
    ScratchDir dir;
    dir.write("com.dat", QByteArray());
    QCOMPARE(ReadSettingsLine("com.dat"), QString(""));
    QVERIFY(QDir(dir.path()).mkdir("path.dat"));
    QCOMPARE(ReadSettingsLine("path.dat"), QString(""));
    QCOMPARE(ReadSettingsLine("missing.dat"), QString(""));
    // A code that is no municipality's counts as not set, with its cause.
    QVERIFY(QDir(dir.path()).rmdir("path.dat"));
    dir.write("path.dat", "/srv\r\n");
    for (const QByteArray code : {"01602\xC3\xA0\r\n", "01602\xE0\r\n", "0160\a24\r\n"}) {
        dir.write("com.dat", code);
        QVERIFY(ReadSettings().com.isEmpty() && SettingsFileProblem("com.dat").contains("contiene caratteri"));
    }
}

void TestSettingsFiles::existenceMeansOrdinaryVisibleFile()
{
    ScratchDir dir;
    dir.write("com.dat", "1\r\n");
    dir.write(".hidden.dat", "1\r\n");
    QVERIFY(QDir(dir.path()).mkdir("path.dat"));
    QVERIFY(QFile::link(dir.file("com.dat"), dir.file("link.dat")));

    QVERIFY(SettingsFileExists("com.dat"));
    QVERIFY(SettingsFileExists("./com.dat"));
    QVERIFY(SettingsFileExists("link.dat"));
    QVERIFY(!SettingsFileExists("path.dat"));
    QVERIFY(!SettingsFileExists("absent.dat"));
#ifdef Q_OS_WIN
    // Windows: the hidden and the system attributes count as missing; names ignore case.
    dir.write("nascosto.dat", "1\r\n");
    dir.write("sistema.dat", "1\r\n");
    QVERIFY(SetFileAttributesW(reinterpret_cast<LPCWSTR>(dir.file("nascosto.dat").utf16()), FILE_ATTRIBUTE_HIDDEN));
    QVERIFY(SetFileAttributesW(reinterpret_cast<LPCWSTR>(dir.file("sistema.dat").utf16()), FILE_ATTRIBUTE_SYSTEM));
    QVERIFY(!SettingsFileExists("nascosto.dat"));
    QVERIFY(!SettingsFileExists("sistema.dat"));
    QVERIFY(SettingsFileExists("COM.DAT"));
#else
    QVERIFY(!SettingsFileExists(".hidden.dat"));
    QVERIFY(!SettingsFileExists("COM.DAT"));
#endif
}

void TestSettingsFiles::failedWriteIsReportedAndKeepsOldFile()
{
    ScratchDir dir;
    QVERIFY(QDir(dir.path()).mkdir("path.dat"));
    QVERIFY(!WriteSettingsLine("path.dat", "x"));
    QVERIFY(!WriteSettingsLine("no-such-folder/com.dat", "x"));

    dir.write("com.dat", "old value\r\n");
#ifdef Q_OS_WIN
    // Windows refuses to replace a read-only file, whoever asks.
    QVERIFY(QFile::setPermissions(dir.file("com.dat"), QFile::ReadOwner));
    const bool written = WriteSettingsLine("com.dat", "new value");
    QFile::setPermissions(dir.file("com.dat"), QFile::ReadOwner | QFile::WriteOwner);
#else
    // A disk that fills up midway; a file size limit binds root too, as permissions do not.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit previous = limit;
    limit.rlim_cur = 4;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = WriteSettingsLine("com.dat", "new value");
    setrlimit(RLIMIT_FSIZE, &previous);
#endif
    QVERIFY(!written);
    QCOMPARE(dir.read("com.dat"), QByteArray("old value\r\n"));
}

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "test_settings_files.moc"
