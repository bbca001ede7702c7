#include "core/platform/SystemProxy.h"

#include <QUrl>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Proxy.h"

#include <memory>
#else
#include <QByteArray>
#include <QtGlobal>
#endif

namespace {

// This machine is always reached directly.
const QByteArray ThisMachine = "localhost,127.0.0.1,::1";

#ifdef Q_OS_WIN
// True when the proxy ("host:port", maybe after a scheme) accepts a connection within two
// seconds.
bool Answers(const std::string& proxy)
{
    const size_t scheme = proxy.find("://");
    const std::string address = "http://" + (scheme == std::string::npos ? proxy : proxy.substr(scheme + 3));
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> probe(curl_easy_init(), curl_easy_cleanup);
    if (!probe)
        return true;
    curl_easy_setopt(probe.get(), CURLOPT_URL, address.c_str());
    curl_easy_setopt(probe.get(), CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(probe.get(), CURLOPT_CONNECTTIMEOUT_MS, 2000L);
    curl_easy_setopt(probe.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(probe.get(), CURLOPT_PROXY, "");
    return curl_easy_perform(probe.get()) == CURLE_OK;
}
#endif

}  // namespace

std::string UseSystemProxy(CURL* curl, const QUrl& url)
{
#ifdef Q_OS_WIN
    // A configuration script sees the address, never its password.
    bool automatic = false;
    std::string proxy = Win32ProxyFor(url.toString(QUrl::RemoveUserInfo | QUrl::FullyEncoded).toStdWString(), automatic);
    if (automatic && !proxy.empty() && !Answers(proxy))
        proxy.clear();
    // "" is a direct connection, whatever the variables say: Windows keeps its settings elsewhere.
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, ThisMachine.constData());
    // Windows' own sign-on (Negotiate, NTLM) as the logged-on user; never a password in clear.
    curl_easy_setopt(curl, CURLOPT_PROXYAUTH, long(CURLAUTH_NEGOTIATE | CURLAUTH_NTLM));
    curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, ":");
    return proxy;
#else
    Q_UNUSED(url);
    // libcurl reads no_proxy only while no list is set: the user's goes beside this machine's.
    QByteArray user = qgetenv("no_proxy");
    if (user.isEmpty())
        user = qgetenv("NO_PROXY");
    const QByteArray list = user.trimmed() == "*" ? user.trimmed() : user.isEmpty() ? ThisMachine : ThisMachine + "," + user;
    curl_easy_setopt(curl, CURLOPT_NOPROXY, list.constData());
    return {};
#endif
}
