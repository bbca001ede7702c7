#include "core/settings/SettingsFile.h"
#include "core/platform/FileExists.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr char Utf8Mark[] = "\xEF\xBB\xBF";

// Notepad's "Unicode" (UTF-16, with or without its mark): every other byte of plain text is
// zero, which no 8-bit text holds.
bool IsUtf16(const QByteArray& head)
{
    return head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF") || head.contains('\0');
}

const QString comFile = QStringLiteral("com.dat");
const QString pathFile = QStringLiteral("path.dat");

QByteArray FirstBytes(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

}  // namespace

bool SettingsFileExists(const QString& fileName)
{
    return FileExists(fileName);
}

QString ReadSettingsLine(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QByteArray line;
    char c;
    // Buffered by QFile; stops at the first line end and never reads the rest of the file.
    while (file.getChar(&c) && c != '\r' && c != '\n')
        line.append(c);
    if (IsUtf16(line))
        return QString();
    // Notepad's "UTF-8" puts a mark in front, which is no part of the value.
    if (line.startsWith(Utf8Mark))
        return QString::fromUtf8(line.mid(3));
    return QString::fromLocal8Bit(line);
}

QString SettingsFileProblem(const QString& fileName)
{
    if (IsUtf16(FirstBytes(fileName)))
        return QStringLiteral("%1 è scritto in UTF-16 (\"Unicode\"), che non viene letto: salvarlo "
                              "di nuovo dalla finestra Impostazioni")
            .arg(fileName);
    if (QFileInfo(fileName).fileName() == comFile)
        if (const QString problem = IstatCodeProblem(TrimIstatCode(ReadSettingsLine(fileName))); !problem.isEmpty())
            return fileName + QStringLiteral(": ") + problem;
    return {};
}

QString TrimIstatCode(const QString& code)
{
    // Blanks and invisible characters (no-break and zero-width spaces, marks) that editors
    // and copied text leave around a code.
    const auto invisible = [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Format; };
    qsizetype begin = 0;
    qsizetype end = code.size();
    while (begin < end && invisible(code[begin]))
        ++begin;
    while (end > begin && invisible(code[end - 1]))
        --end;
    return code.mid(begin, end - begin);
}

QString IstatCodeProblem(const QString& code)
{
    QStringList outside;
    for (const QChar c : code)
        if (c < u' ' || c > u'~') {
            const QString shown = c.isPrint() ? QString(c) : QStringLiteral("U+%1").arg(int(c.unicode()), 4, 16, QChar(u'0'));
            if (!outside.contains(shown))
                outside << shown;
        }
    if (outside.isEmpty())
        return {};
    return QStringLiteral("Il codice ISTAT \"%1\" contiene caratteri (%2) che un codice ISTAT non ha: "
                          "è fatto di cifre.")
        .arg(code, outside.join(u' '));
}

bool WriteSettingsLine(const QString& fileName, const QString& value)
{
    // Unbuffered: a buffered write only fills memory, and a flush that fails on a full
    // disk is not reported by commit(), which would then put an empty file in place.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray bytes = value.toLocal8Bit() + "\r\n";
    if (file.write(bytes) != bytes.size())
        return false;  // the temporary file goes with `file`; the old one stays whole
    return file.commit();
}

Settings ReadSettings()
{
    Settings settings;
    const bool comExists = SettingsFileExists(comFile);
    const bool pathExists = SettingsFileExists(pathFile);
    settings.filesExist = comExists && pathExists;
    if (pathExists)
        settings.path = ReadSettingsLine(pathFile);
    if (comExists)
        settings.com = TrimIstatCode(ReadSettingsLine(comFile));
    // Refused as at "Salva": the program counts as not configured, and the transfer's refusal
    // gives the cause (SettingsFileProblem).
    if (!IstatCodeProblem(settings.com).isEmpty())
        settings.com.clear();
    return settings;
}

QString WriteSettings(const QString& path, const QString& com)
{
    if (!WriteSettingsLine(pathFile, path))
        return pathFile;
    if (!WriteSettingsLine(comFile, TrimIstatCode(com)))
        return comFile;
    return {};
}
