#include "core/Installer.h"
#include "core/Inet.h"
#include "core/UpdateRules.h"

#include <QDir>
#include <QProcess>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include "core/win32/Win32Api.h"
#endif

void DownloadInstaller(Inet& inet, const QString& address, const QString& name)
{
    // Unbuffered: every write's failure is seen where it happens; a buffered one would
    // only surface in a flush that commit() does not report.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw InstallerError(file.errorString().toStdString());
    QByteArray head;
    bool writeFailed = false;
    try {
        inet.OpenURL(address, [&](const char* data, qint64 size) {
            if (head.size() < ProgramHeadBytes)
                head.append(data, std::min(size, ProgramHeadBytes - head.size()));
            writeFailed = file.write(data, size) != size;
            return !writeFailed;
        });
    } catch (const InetError&) {
        if (writeFailed)
            throw InstallerError(file.errorString().toStdString());
        throw;
    }
    if (!IsProgramForThisPlatform(head))
        throw InetError("the download is not a program for this system");
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
