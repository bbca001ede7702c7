#pragma once
#include <curl/curl.h>
#include <string>

// What made a transfer fail, in Italian words the assistance desk can act on: the server's
// reply line where it gave one. timeoutSeconds: the limit a time-out stands for.
std::string CurlCause(CURLcode result, const std::string& reply, long timeoutSeconds);
