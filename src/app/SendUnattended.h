#pragma once
#include "core/transfer/ServerAddresses.h"

#include <QString>
#include <functional>

class StopRequests;

// One transfer from the working folder without any window, as "Trasferimento" does it:
// the settings files read as at start-up, the same checks, the same log. Each step's
// status text goes to `out`, a failure's message and cause to `err`. Returns the exit
// status (ExitStatus). No version check: nobody is there to be told.
int SendUnattended(const ServerAddresses& servers, const std::function<void(const QString&)>& out,
                   const std::function<void(const QString&)>& err);

// How one transfer ended: its exit status, and for any other than ExitSent the cause in the
// log's words.
struct SendResult {
    int status = 0;
    QString cause;
    bool stopped = false;  // by a stop request
};

// One transfer as SendUnattended makes it. A first stop request from `requests` ends it
// cleanly, a second at once; `stopped` says whether one came, before or during it.
SendResult SendOnce(const ServerAddresses& servers, const std::function<void(const QString&)>& out,
                    const std::function<void(const QString&)>& err, StopRequests& requests, bool& stopped);
