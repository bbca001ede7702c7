#include "core/transfer/TlsPolicy.h"

#include <QtGlobal>

void ApplyTlsPolicy(CURL* handle)
{
    curl_easy_setopt(handle, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
#ifdef Q_OS_WIN
    curl_easy_setopt(handle, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_REVOKE_BEST_EFFORT));
#endif
}
