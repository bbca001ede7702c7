#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The export files as the last run that ended in "Operazione completata" sent them: each
// file's size, time and SHA-256, with the code, folder and server they went with, kept
// beside the settings. A scheduled run sends only when they differ.
struct ExportFile {
    QString name;
    qint64 size = -1;
    QDateTime modified;
    QByteArray sha256;  // hex
    bool operator==(const ExportFile&) const = default;
};

struct SentExports {
    QString com;
    QString path;
    QString server;
    QList<ExportFile> files;
    bool operator==(const SentExports&) const = default;

    static const QString FileName;  // in the working folder

    // The files of `names` in `path` as they are now; nothing when one cannot be read.
    static std::optional<SentExports> Take(const QString& com, const QString& path, const QString& server,
                                           const QStringList& names);
    // The record of the last whole run; nothing when there is none or it cannot be read.
    static std::optional<SentExports> Load();
    // Replaces the record in one step (QSaveFile). False when it could not be written.
    bool Save() const;
};

// Waits until none of `names` in `path` has changed in size or time for `stillSeconds`,
// at most `boundSeconds`, or until `stopped`. The file last seen changing when the bound
// passed, or "".
QString WaitUntilStill(const QString& path, const QStringList& names, int stillSeconds, int boundSeconds,
                       const std::function<bool()>& stopped);
