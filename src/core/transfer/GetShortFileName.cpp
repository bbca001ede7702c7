#include "core/transfer/GetShortFileName.h"
#include "core/platform/FileExists.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#endif

QString GetShortFileName(const QString& FullPath)
{
    try {
        if (!FileExists(FullPath))
            return {};
        // The transfer runs later and elsewhere: a relative folder must not depend on it.
        const QString absolute = QFileInfo(FullPath).absoluteFilePath();
#ifdef Q_OS_WIN
        // In UTF-16 all the way: through the code page a name could turn into another's. With
        // no short form to be had the long one serves: it is the same file.
        const QString native = QDir::toNativeSeparators(absolute);
        const std::wstring shortPath = Win32ShortPathName(native.toStdWString());
        return LocalPart(shortPath.empty() ? native : QString::fromStdWString(shortPath));
#else
        return LocalPart(absolute);
#endif
    } catch (...) {
        return {};
    }
}

QString LocalPart(const QString& localPath)
{
    QString part = localPath;
    part.replace(u'%', QStringLiteral("%25"));
    part.replace(u' ', QStringLiteral("%20"));
    return part;
}
