#include "core/update/Installer.h"
#include "core/update/UpdateRules.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#endif

namespace {

// A .minisig file is a few hundred bytes.
constexpr qint64 MaxSignatureBytes = 4096;

// The installer as it lies on disk, open for reading until this object goes; on Windows
// nobody can write, rename or delete it meanwhile.
class HeldFile {
public:
    explicit HeldFile(const QString& name)
#ifdef Q_OS_WIN
        : handle_(Win32OpenHeld(QDir::toNativeSeparators(QDir::current().absoluteFilePath(name)).toStdWString()))
    {
    }
    ~HeldFile() { Win32CloseHeld(handle_); }
    bool IsOpen() const { return handle_ != nullptr; }
    qint64 Read(char* buffer, qint64 size) { return Win32ReadHeld(handle_, buffer, size); }

private:
    void* handle_;
#else
        : file_(name)
    {
        file_.open(QIODevice::ReadOnly);
    }
    bool IsOpen() const { return file_.isOpen(); }
    qint64 Read(char* buffer, qint64 size) { return file_.read(buffer, size); }

private:
    QFile file_;
#endif
};

QByteArray FetchSignature(Inet& inet, const QString& address)
{
    QByteArray minisig;
    try {
        inet.OpenURL(address + QStringLiteral(".minisig"), [&](const char* data, qint64 size) {
            minisig.append(data, size);
            return minisig.size() <= MaxSignatureBytes;
        });
    } catch (const InetError& error) {
        throw SignatureError(std::string("firma non scaricata (") + error.what() + ")");
    }
    return minisig;
}

}  // namespace

UpdateSignature DownloadInstaller(Inet& inet, const QString& answer, const QString& name,
                                  const QByteArray& publicKey, const Inet::Progress& progress)
{
    const QString address = Inet::AddressOf(answer);
    // The signature first: an installer nobody signed is not worth its download.
    UpdateSignature signature(publicKey, FetchSignature(inet, address), VersionText());

    // Unbuffered: every write's failure is seen where it happens; a buffered one would
    // only surface in a flush that commit() does not report.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw InstallerError(file.errorString().toStdString());
    QByteArray head;
    bool writeFailed = false;
    try {
        inet.OpenURL(
            address,
            [&](const char* data, qint64 size) {
                if (head.size() < ProgramHeadBytes)
                    head.append(data, std::min(size, ProgramHeadBytes - head.size()));
                signature.Add(data, size);
                writeFailed = file.write(data, size) != size;
                return !writeFailed;
            },
            progress);
    } catch (const InetError&) {
        if (writeFailed)
            throw InstallerError(file.errorString().toStdString());
        throw;
    }
    if (!IsProgramForThisPlatform(head))
        throw InetError("the download is not a program for this system");
    signature.Check();
#ifndef Q_OS_WIN
    using P = QFileDevice::Permission;
    if (!file.setPermissions(P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadGroup | P::ExeGroup
                             | P::ReadOther | P::ExeOther))
        throw InstallerError(file.errorString().toStdString());
#endif
    if (!file.commit())
        throw InstallerError(file.errorString().toStdString());
    return signature;
}

void StartInstaller(const QString& command, const QString& name, UpdateSignature signature)
{
    // What starts must be what was checked: the file on disk is checked again, and on
    // Windows held so until its process runs.
    HeldFile held(name);
    if (!held.IsOpen())
        throw InstallerError("impossibile aprire " + name.toStdString());
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    signature.Restart();
    for (qint64 read; (read = held.Read(buffer.data(), buffer.size())) > 0;)
        signature.Add(buffer.constData(), read);
    signature.Check();
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
