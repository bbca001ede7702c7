#include "core/platform/SystemProxy.h"

#include <QUrl>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Proxy.h"
#endif

void UseSystemProxy(CURL* curl, const QUrl& url)
{
#ifdef Q_OS_WIN
    // A configuration script sees the address, never its password.
    const std::string proxy = Win32ProxyFor(url.toString(QUrl::RemoveUserInfo | QUrl::FullyEncoded).toStdWString());
    // "" is a direct connection, whatever the variables say: Windows keeps its settings elsewhere.
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    // Windows' own sign-on (Negotiate, NTLM) as the logged-on user; never a password in clear.
    curl_easy_setopt(curl, CURLOPT_PROXYAUTH, long(CURLAUTH_NEGOTIATE | CURLAUTH_NTLM));
    curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, ":");
#else
    Q_UNUSED(curl);
    Q_UNUSED(url);
#endif
}
