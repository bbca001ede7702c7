#pragma once
#include <curl/curl.h>
#include <string>

class QUrl;

// Sends an http or https request through the proxy that the system's settings choose for its
// address, as a browser does; never for this machine itself (localhost, 127.0.0.1, ::1).
// On Windows: the user's Internet settings (a fixed proxy and its exceptions, a configuration
// script, automatic detection), with the logged-on user's credentials for a proxy that asks
// for them; a direct connection when they say so or cannot be read, and when a proxy that a
// script or detection chose does not answer, as a script's "PROXY host:port; DIRECT" asks.
// On Linux libcurl keeps to the usual variables (http_proxy, https_proxy, all_proxy), and
// no_proxy's hosts (or NO_PROXY's) are reached directly. Returns the proxy chosen, for a
// failure's cause; "" for none or where libcurl chooses it.
std::string UseSystemProxy(CURL* curl, const QUrl& url);
