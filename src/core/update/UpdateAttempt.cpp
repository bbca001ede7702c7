#include "core/update/UpdateAttempt.h"
#include "core/update/Installer.h"
#include "core/update/ReplaceFile.h"
#include "core/update/UpdateRules.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

const QString NoteFile = QStringLiteral("update.started");

}  // namespace

bool NoteInstallerStarted(const QString& version)
{
    // Written beside and renamed over: never through a link that has the note's name.
    QString written;
    {
        QTemporaryFile file(NoteFile + QStringLiteral(".XXXXXX"));
        const QByteArray text = version.toLatin1() + '\n';
        if (!file.open() || file.write(text) != text.size() || !file.flush())
            return false;
        written = file.fileName();
        file.setAutoRemove(false);
    }  // closed for good only here: Windows renames no open file
    try {
        ReplaceFile(written, NoteFile);
    } catch (const InstallerError&) {
        QFile::remove(written);
        return false;
    }
    return true;
}

void ForgetInstallerStarted()
{
    QFile::remove(NoteFile);
}

std::optional<QString> TakeUninstalledUpdate()
{
    const QFileInfo info(NoteFile);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    QString version;
    QFile file(NoteFile);
    // Only a plain file is read: a pipe of that name would never answer.
    if (info.isFile() && file.open(QIODevice::ReadOnly))
        version = QString::fromLatin1(file.read(64)).trimmed();
    file.close();
    if (!QFile::remove(NoteFile) || version.isEmpty() || !IsNewerVersion(version, VersionText()))
        return std::nullopt;
    return version;
}
