#pragma once
#include <QString>
#include <optional>

// A note in the working directory of the version whose installer this program started
// last, so that an installer that fails on this PC does not take every start: the start
// after a failed one goes on without the version check, the one after that tries again.

// Notes that the installer for `version` is being started; false when it cannot be noted.
bool NoteInstallerStarted(const QString& version);
// Forgets the note, for an installer that did not start after all.
void ForgetInstallerStarted();
// The version noted at an earlier start when this program is still older than it: that
// installer did not install. The note goes at once, whatever it said; while it cannot be
// removed it is not believed, so that no start is held back for good.
std::optional<QString> TakeUninstalledUpdate();
