#include "core/platform/FileExists.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#endif

bool FileExists(const QString& name)
{
    if (name.isEmpty())
        return false;
    const QFileInfo info(name);
    if (!info.isFile())
        return false;
#ifdef Q_OS_WIN
    return Win32IsOrdinaryVisibleFile(name.toStdWString());
#else
    return !info.fileName().startsWith(QLatin1Char('.'));
#endif
}
