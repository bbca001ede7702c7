#pragma once
#include "core/Version.h"

#include <QString>

// The program's own version, as reported to the update service.
inline QString VersionText() { return QLatin1String(ProgramVersion); }

// The address asked at every start: the service's base address, the fixed path and the
// version, nothing escaped.
QString UpdateQueryAddress(const QString& baseUrl);

// True when `candidate` is a later version than `running`, compared number by number
// ("1.10" is later than "1.9"; a missing number counts as 0).
bool IsNewerVersion(const QString& candidate, const QString& running);

// True when the service's answer names a new version's file: its first four characters
// are exactly "http". Nothing is trimmed or folded: " http..." or "HTTP..." is no update.
bool IsDownloadAddress(const QString& answer);

// The first bytes of a download that IsProgramForThisPlatform needs to see.
constexpr qsizetype ProgramHeadBytes = 64 * 1024;

// True when a download that begins with `head` is a program this system can start: on
// Windows a PE program (not a DLL) for this build's processor or for 32-bit x86, with a window
// or a console; elsewhere an ELF program of this build's class and processor, or a script
// ("#!"). An empty answer, a web server's error page, a library or a program for another
// processor is none of these.
bool IsProgramForThisPlatform(const QByteArray& head);
