#pragma once
#include <QString>

// The two one-line settings files: the value in the system's 8-bit encoding, then CR LF.

// True when the name is an ordinary, visible file.
bool SettingsFileExists(const QString& fileName);
// The first line without its end (CR, or CR LF; LF alone stays in the value).
// A file that cannot be read, or is empty, reads as empty text.
QString ReadSettingsLine(const QString& fileName);
// Replaces the file with the value and CR LF, atomically. False when it could not.
[[nodiscard]] bool WriteSettingsLine(const QString& fileName, const QString& value);
