#pragma once
#include "core/transfer/ServerAddresses.h"

#include <QString>
#include <functional>

// One transfer from the working folder without any window, as "Trasferimento" does it:
// the settings files read as at start-up, the same checks, the same log. Each step's
// status text goes to `out`, a failure's message and cause to `err`. Returns the exit
// status (ExitStatus). No version check: nobody is there to be told.
int SendUnattended(const ServerAddresses& servers, const std::function<void(const QString&)>& out,
                   const std::function<void(const QString&)>& err);
