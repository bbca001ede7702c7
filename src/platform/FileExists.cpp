#include "platform/FileExists.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

bool FileExists(const QString& name)
{
    if (name.isEmpty())
        return false;
    const QFileInfo info(name);
    if (!info.isFile())
        return false;
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(name.utf16()));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
#else
    return !info.fileName().startsWith(QLatin1Char('.'));
#endif
}
