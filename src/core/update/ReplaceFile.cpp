#include "core/update/ReplaceFile.h"
#include "core/update/Installer.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#else
#include <cerrno>
#include <cstdio>
#endif

void ReplaceFile(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    const auto native = [](const QString& name) {
        return QDir::toNativeSeparators(QDir::current().absoluteFilePath(name)).toStdWString();
    };
    if (!Win32ReplaceFile(native(from), native(to)))
        throw InstallerError("impossibile sostituire " + to.toStdString());
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw InstallerError("impossibile sostituire " + to.toStdString()
                             + (errno == EISDIR ? " (è una cartella)" : errno == EACCES ? " (permesso negato)" : ""));
#endif
}
