#pragma once
#include <QByteArray>
#include <QString>
#include <stdexcept>

class Inet;

// The installer could not be written or started; what() says why, for the operator.
class InstallerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Downloads `address` into `name` in the working directory. The bytes go to a temporary
// file beside it as they arrive, which takes the name only once the download is complete
// and is a program for this system: a failed download or write never leaves a half
// installer, nor the tail of an older, longer one, and never replaces a good one.
// Executable on Linux. A failed download, or one that is not a program, raises InetError;
// a file that cannot be written raises InstallerError.
void DownloadInstaller(Inet& inet, const QString& address, const QString& name);

// Starts `command` without waiting for it, with the working directory as its own, in a
// normal window that gets the focus.
void StartInstaller(const QString& command);
