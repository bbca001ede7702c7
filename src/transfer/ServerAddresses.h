#pragma once
#include <QString>

// Where the program uploads and whom it asks for updates; fixed when the program is built.
struct ServerAddresses {
    QString ftpHost;         // IPv4 address, optionally ":port"
    QString updateBaseUrl;   // scheme and host
    int requestTimeoutSeconds = 60;  // a transfer without progress for this long fails
};
