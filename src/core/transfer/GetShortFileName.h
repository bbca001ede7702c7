#pragma once
#include <QString>

// The form of an existing file's full path that goes into a "PUT " command as its local
// part: the short (8.3) path on Windows where there is one, else the absolute path, as on
// Linux. Either way with blanks and '%' percent-encoded, so the part holds no blank. Empty
// text for a missing file or on any failure.
QString GetShortFileName(const QString& FullPath);

// The local part of a "PUT " command for a file: the path with '%' and ' ' percent-encoded,
// so that the part holds no blank and the command splits at the first blank after it.
QString LocalPart(const QString& localPath);
