#pragma once
#include <QByteArray>
#include <QString>

class Inet;
class Window;

// The version check at every start, run by the main window's load step before anything
// else, with the main window's transfer component. When the update service at
// `updateBaseUrl` names a new version, it is fetched into "update.exe" in the working
// directory and started after the operator's OK; `main` is then closed, which ends the
// start-up. Only an installer signed with `updatePublicKey` for a newer version is started.
// Any other outcome closes the progress window and leaves the start-up to go on:
// a missing or failing service never keeps the program from starting.
void CheckForUpdate(Window& main, Inet& Inet1, const QString& updateBaseUrl, const QByteArray& updatePublicKey);
