#pragma once
#include <curl/curl.h>

class QUrl;

// Sends an http or https request through the proxy that the system's settings choose for its
// address, as a browser does. On Windows: the user's Internet settings (a fixed proxy and its
// exceptions, a configuration script, automatic detection), with the logged-on user's
// credentials for a proxy that asks for them; a direct connection when they say so or cannot
// be read. On Linux libcurl keeps to the usual variables (http_proxy, https_proxy, no_proxy).
void UseSystemProxy(CURL* curl, const QUrl& url);
