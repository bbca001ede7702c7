#pragma once
#include "core/transfer/Inet.h"
#include "core/update/UpdateSignature.h"

#include <QByteArray>
#include <QString>
#include <stdexcept>

// The installer could not be written or started; what() says why, for the operator.
class InstallerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Downloads the installer that the service's `answer` names into `name` in the working
// directory, once its signature (the same address with ".minisig" appended) holds for
// `publicKey` and names a newer version. The bytes go to a temporary file beside `name` as
// they arrive, which takes the name only once the download is complete, is a program for
// this system and is the signed file: a failed download, write or check never leaves a
// half installer, nor the tail of an older one, and never replaces a good one. Executable
// on Linux. Raises InetError for a failed download or one that is no program,
// SignatureError for a signature that is missing or does not hold, InstallerError for a
// file that cannot be written. The signature comes back for StartInstaller.
UpdateSignature DownloadInstaller(Inet& inet, const QString& answer, const QString& name,
                                  const QByteArray& publicKey, const Inet::Progress& progress = {});

// Starts `command` without waiting for it, with the working directory as its own, in a
// normal window that gets the focus, once the bytes of `name` on disk are checked against
// `signature` again: on Windows the file is held open, so that nobody can change or delete
// it, from that check until the installer's process has started. Raises SignatureError or
// InstallerError, and starts nothing then.
void StartInstaller(const QString& command, const QString& name, UpdateSignature signature);
