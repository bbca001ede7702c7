#include "core/update/Installer.h"
#include "core/update/ReplaceFile.h"
#include "core/update/UpdateRules.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryFile>

#include <optional>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

// A .minisig file is a few hundred bytes.
constexpr qint64 MaxSignatureBytes = 4096;

// The installer as it lies on disk, open for reading until this object goes. On Windows
// nobody can write, rename or delete it meanwhile; on Linux it is started through this
// very descriptor, so a file renamed over its name meanwhile is never what starts.
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
        // Without close-on-exec: a script's interpreter reads it through /proc/self/fd.
        // Never through a link, whatever it points to.
        : fd_(::open(QFile::encodeName(name).constData(), O_RDONLY | O_NOFOLLOW))
    {
    }
    ~HeldFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }
    qint64 Read(char* buffer, qint64 size)
    {
        qint64 read;
        while ((read = ::read(fd_, buffer, size_t(size))) < 0 && errno == EINTR) {
        }
        return read;
    }
    int Descriptor() const { return fd_; }

private:
    int fd_;
#endif
};

#ifndef Q_OS_WIN
std::string SpawnCause(int error)
{
    switch (error) {
    case ENOENT:
        return "programma o suo interprete non trovato";
    case EACCES:
    case EPERM:
        return "avvio non permesso (file non eseguibile o cartella montata senza esecuzione)";
    case ENOEXEC:
        return "formato di programma non eseguibile";
    case ETXTBSY:
        return "file aperto in scrittura da un altro programma";
    default:
        return "errore di sistema " + std::to_string(error);
    }
}

// Starts the program that `file` holds, under the name `command`, in a session of its own
// that outlives this process; raises with the cause when it cannot be started.
void SpawnHeld(const HeldFile& file, const QString& command)
{
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(file.Descriptor());
    QByteArray name = QFile::encodeName(command);
    char* argv[] = {name.data(), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The signals this program handles or blocks are its own, not the installer's.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t child;
    const int error = posix_spawn(&child, path.constData(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        throw InstallerError(SpawnCause(error));
}
#endif

// Downloads that a killed process left behind (the temporary files' names) would pile up,
// each up to the download's bound.
void RemoveLeftovers(const QString& name)
{
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity Case = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity Case = Qt::CaseSensitive;
#endif
    // Matched by hand, not by a name filter: this runs on the download's thread, and a
    // regular expression there leaves Qt a thread-local JIT stack whose destructor crashes
    // at the thread's end in the static MinGW build.
    const QString prefix = name + u'.';
    QDir here;
    QDirIterator files(here.path(), QDir::Files | QDir::Hidden | QDir::System);
    while (files.hasNext()) {
        const QString left = QFileInfo(files.next()).fileName();
        if (left.size() == prefix.size() + 6 && left.startsWith(prefix, Case))
            here.remove(left);
    }
}

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

    RemoveLeftovers(name);
    std::optional<QTemporaryFile> temporary;
    QTemporaryFile& file = temporary.emplace(name + QStringLiteral(".XXXXXX"));
    // Qt's own causes are English: the operator reads these.
    if (!file.open())
        throw InstallerError("impossibile creare un file nella cartella (permesso negato o disco pieno)");
    QByteArray head;
    bool writeFailed = false;
    try {
        inet.OpenURL(
            address,
            [&](const char* data, qint64 size) {
                if (head.size() < ProgramHeadBytes)
                    head.append(data, std::min(size, ProgramHeadBytes - head.size()));
                signature.Add(data, size);
                // Flushed at once: every write's failure is seen where it happens.
                writeFailed = file.write(data, size) != size || !file.flush();
                return !writeFailed;
            },
            progress);
    } catch (const InetError&) {
        if (writeFailed)
            throw InstallerError("scrittura non riuscita (disco pieno?)");
        throw;
    }
    if (!IsProgramForThisPlatform(head))
        throw InetError("il file scaricato non è un programma per questo sistema");
    signature.Check();
#ifndef Q_OS_WIN
    using P = QFileDevice::Permission;
    if (!file.setPermissions(P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadGroup | P::ExeGroup
                             | P::ReadOther | P::ExeOther))
        throw InstallerError("impossibile renderlo eseguibile");
#endif
    const QString written = file.fileName();
    // Its handle stays open past close(), and Windows renames no open file: it goes first.
    file.setAutoRemove(false);
    temporary.reset();
    try {
        ReplaceFile(written, name);
    } catch (const InstallerError&) {
        QFile::remove(written);
        throw;
    }
    return signature;
}

void StartInstaller(const QString& command, const QString& name, UpdateSignature signature)
{
    // What starts must be what was checked: the file on disk is checked again, and held so
    // until its process runs.
    HeldFile held(name);
    if (!held.IsOpen())
        throw InstallerError("impossibile aprire " + name.toStdString() + " (mancante o collegamento simbolico)");
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    signature.Restart();
    qint64 read;
    while ((read = held.Read(buffer.data(), buffer.size())) > 0)
        signature.Add(buffer.constData(), read);
    if (read < 0)
        throw InstallerError("impossibile leggere " + name.toStdString());
    signature.Check();
#ifdef Q_OS_WIN
    if (!Win32StartProgram(QDir::toNativeSeparators(command).toStdString()))
        throw InstallerError("Windows non avvia il programma");
#else
    SpawnHeld(held, command);
#endif
}
