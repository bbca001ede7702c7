#pragma once
#include <QString>

// The two one-line settings files, path.dat (the folder of the exported files) and com.dat
// (the municipality's ISTAT code), in the working directory: the value in the system's
// 8-bit encoding, then CR LF. The program reads and writes them here and nowhere else.

struct Settings {
    QString path;
    QString com;               // without blanks around it; empty when refused (IstatCodeProblem)
    bool filesExist = false;   // both files are there
};
// Both settings: each read from its file when that file exists, empty otherwise. Both
// files are tested, com.dat first.
Settings ReadSettings();
// Writes path.dat, then com.dat (the code without blanks around it), stopping at the first
// that fails. The name of the file that could not be written; "" when both were.
QString WriteSettings(const QString& path, const QString& com);

// The operations on one file.

// True when the name is an ordinary, visible file.
bool SettingsFileExists(const QString& fileName);
// The first line without its end (CR LF, LF or CR), in the system's encoding, or in UTF-8
// after a UTF-8 mark. A file that cannot be read, is empty or is UTF-16 reads as empty text.
QString ReadSettingsLine(const QString& fileName);
// Why a settings file that exists reads as empty text although it holds something (for
// com.dat also a refused code); "" when nothing is wrong with it.
QString SettingsFileProblem(const QString& fileName);
// The ISTAT code without the blanks and invisible spaces around it, which are no part of it.
QString TrimIstatCode(const QString& code);
// Why the code cannot be a municipality's: one is made of digits, and a character outside
// printable ASCII is sent to the server in one encoding and stored by it in another, under a
// name nobody looks for. "" when it can.
QString IstatCodeProblem(const QString& code);
// Replaces the file with the value and CR LF, atomically. False when it could not.
[[nodiscard]] bool WriteSettingsLine(const QString& fileName, const QString& value);
