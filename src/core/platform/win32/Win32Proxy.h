#pragma once
// The proxy that the current user's Internet settings (Windows' proxy page, Internet
// Explorer's connection settings) choose for a web address. Only standard types cross this
// header, as in Win32Api.h.
#include <string>

// As libcurl takes it ("host:port", "http://host:port", "socks4://host:port"); "" for a
// direct connection: so the settings say, or the address is an exception of theirs, or they
// cannot be read, or the configuration script gave no answer within a few seconds.
// `automatic`: chosen by a configuration script or detection, which a browser leaves for a
// direct connection when the proxy does not answer.
std::string Win32ProxyFor(const std::wstring& url, bool& automatic);
