#include "update/Installer.h"

#include <QDir>
#include <QProcess>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include "platform/win32/Win32Api.h"
#endif

void SaveInstaller(const QString& name, const QByteArray& bytes)
{
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        throw InstallerError(file.errorString().toStdString());
    if (file.write(bytes) != bytes.size())
        throw InstallerError(file.errorString().toStdString());
#ifndef Q_OS_WIN
    using P = QFileDevice::Permission;
    if (!file.setPermissions(P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadGroup | P::ExeGroup
                             | P::ReadOther | P::ExeOther))
        throw InstallerError(file.errorString().toStdString());
#endif
    if (!file.commit())
        throw InstallerError(file.errorString().toStdString());
}

void StartInstaller(const QString& command)
{
#ifdef Q_OS_WIN
    if (!Win32StartProgram(QDir::toNativeSeparators(command).toStdString()))
        throw InstallerError("CreateProcess failed");
#else
    QProcess process;
    process.setProgram(command);
    process.setWorkingDirectory(QDir::currentPath());
    if (!process.startDetached())
        throw InstallerError(process.errorString().toStdString());
#endif
}
