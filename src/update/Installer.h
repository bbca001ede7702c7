#pragma once
#include <QByteArray>
#include <QString>
#include <stdexcept>

// The installer could not be written or started; what() says why, for the operator.
class InstallerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes the downloaded bytes as `name` in the working directory. They go to a temporary
// file beside it first, which takes the name only once complete: a failed write never
// leaves a half installer, nor the tail of an older, longer one. Executable on Linux.
void SaveInstaller(const QString& name, const QByteArray& bytes);

// Starts `command` without waiting for it, with the working directory as its own, in a
// normal window that gets the focus.
void StartInstaller(const QString& command);
