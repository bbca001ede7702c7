#include "settings/SettingsFile.h"
#include "platform/FileExists.h"

#include <QFile>
#include <QSaveFile>

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
    // Buffered by QFile; stops at the first CR and never reads the rest of the file.
    while (file.getChar(&c) && c != '\r')
        line.append(c);
    return QString::fromLocal8Bit(line);
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
