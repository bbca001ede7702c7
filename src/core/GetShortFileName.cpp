#include "core/GetShortFileName.h"
#include "core/FileExists.h"
#include "core/Inet.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include "core/win32/Win32Api.h"
#endif

QString GetShortFileName(const QString& FullPath)
{
    try {
        if (!FileExists(FullPath))
            return {};
        // The transfer runs later and elsewhere: a relative folder must not depend on it.
        const QString absolute = QFileInfo(FullPath).absoluteFilePath();
#ifdef Q_OS_WIN
        const std::string shortPath =
            Win32ShortPathName(QDir::toNativeSeparators(absolute).toLocal8Bit().toStdString());
        if (shortPath.empty())
            return {};
        return Inet::LocalPart(QString::fromLocal8Bit(shortPath));
#else
        return Inet::LocalPart(absolute);
#endif
    } catch (...) {
        return {};
    }
}
