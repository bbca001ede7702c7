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
    return {QStringLiteral(MORVANTIL_FTP_HOST), QStringLiteral(MORVANTIL_UPDATE_BASE_URL), 60, ftpTls,
            QByteArray(FtpAuthoritiesPem), QByteArray(UpdatePublicKey)};
}
