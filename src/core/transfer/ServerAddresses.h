#pragma once
#include <QByteArray>
#include <QString>

// Where the program uploads and whom it asks for updates; fixed when the program is built.
struct ServerAddresses {
    QString ftpHost{};       // an address (or, with TLS, a host name), optionally ":port"
    QString updateBaseUrl{}; // scheme and host
    int requestTimeoutSeconds = 60;  // a transfer without progress for this long fails
    bool ftpTls = false;     // explicit FTPS: AUTH TLS before the login, protected data
    QByteArray ftpCaPem{};   // certificates trusted beside the system's, PEM; may be empty
    QByteArray updatePublicKey{};  // minisign public key line that signs the updates
    bool ftpTempNames = false;  // send under a temporary name, rename once verified
};
