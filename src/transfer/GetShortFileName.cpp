#include "transfer/GetShortFileName.h"
#include "platform/FileExists.h"
#include "platform/Inet.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include "platform/win32/Win32Api.h"
#endif

QString GetShortFileName(const QString& FullPath)
{
    try {
        if (!FileExists(FullPath))
            return {};
#ifdef Q_OS_WIN
        const std::string shortPath = Win32ShortPathName(FullPath.toLocal8Bit().toStdString());
        if (shortPath.empty())
            return {};
        return Inet::LocalPart(QString::fromLocal8Bit(shortPath));
#else
        // The transfer runs later and elsewhere: a relative folder must not depend on it.
        return Inet::LocalPart(QFileInfo(FullPath).absoluteFilePath());
#endif
    } catch (...) {
        return {};
    }
}
