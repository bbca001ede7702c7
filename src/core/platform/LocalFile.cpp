#include "core/platform/LocalFile.h"

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool OpenRegularFile(QFile& file, const QString& path)
{
    if (path.isEmpty())
        return false;
#ifdef Q_OS_WIN
    // Only a device or a pipe could block here, and neither can sit in a folder under a
    // file's name; it would still read as a sequential device.
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
#else
    // Opening a FIFO waits for a writer; O_NONBLOCK makes that open return at once.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0
        || !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
#endif
    if (file.isSequential()) {
        file.close();
        return false;
    }
    return true;
}

bool AppendToRegularFile(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return false;
#ifdef Q_OS_WIN
    return Win32AppendToFile(path.toStdWString(), bytes.toStdString());
#else
    // A FIFO opened for writing waits for a reader; with O_NONBLOCK it opens, or fails, at once.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return false;
    struct stat status {};
    const bool whole = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
                       && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(fd);
    return whole;
#endif
}
