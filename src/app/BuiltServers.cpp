#include "app/BuiltServers.h"

#include "FtpAuthorities.h"
#include "UpdateKey.h"

#include <QRegularExpression>

namespace {

// A build for this machine's own services (make run's, the tests') takes another local port
// from the environment, so that tests run beside make run and beside each other. Only the
// port of 127.0.0.1 changes: a build for a real server ignores the variable, so no
// environment can send the files or ask for updates anywhere else.
QString LocalPortFromEnvironment(const QString& address, const char* variable)
{
    static const QRegularExpression local(QStringLiteral(R"(^((?:http://)?127\.0\.0\.1)(?::\d+)?/?$)"));
    bool isNumber = false;
    const int port = qEnvironmentVariableIntValue(variable, &isNumber);
    const QRegularExpressionMatch match = local.match(address);
    if (!isNumber || port < 1 || port > 65535 || !match.hasMatch())
        return address;
    return match.captured(1) + u':' + QString::number(port);
}

}  // namespace

ServerAddresses BuiltServers()
{
#ifdef MORVANTIL_FTP_TLS_REQUIRED
    constexpr bool ftpTls = true;
#else
    constexpr bool ftpTls = false;
#endif
#ifdef MORVANTIL_FTP_TEMP_NAMES
    constexpr bool ftpTempNames = true;
#else
    constexpr bool ftpTempNames = false;
#endif
    return {LocalPortFromEnvironment(QStringLiteral(MORVANTIL_FTP_HOST), "MORVANTIL_LOCAL_FTP_PORT"),
            LocalPortFromEnvironment(QStringLiteral(MORVANTIL_UPDATE_BASE_URL), "MORVANTIL_LOCAL_UPDATE_PORT"),
            60,
            ftpTls,
            QByteArray(FtpAuthoritiesPem),
            QByteArray(UpdatePublicKey),
            ftpTempNames};
}
