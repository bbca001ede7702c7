#pragma once
#include <QString>

// True for an ordinary file (links followed); a folder, or a hidden or system file,
// counts as missing.
bool FileExists(const QString& name);
