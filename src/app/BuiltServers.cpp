#include "app/BuiltServers.h"

#include "FtpAuthorities.h"
#include "UpdateKey.h"

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
    return {QStringLiteral(MORVANTIL_FTP_HOST), QStringLiteral(MORVANTIL_UPDATE_BASE_URL), 60, ftpTls,
            QByteArray(FtpAuthoritiesPem), QByteArray(UpdatePublicKey), ftpTempNames};
}
