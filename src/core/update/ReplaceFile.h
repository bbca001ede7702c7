#pragma once
#include <QString>

// Gives the file `from` the name `to` in one step, in place of whatever had that name: a
// symbolic link is replaced, never followed. Raises InstallerError with the cause.
void ReplaceFile(const QString& from, const QString& to);
