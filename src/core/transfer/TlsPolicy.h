#pragma once
#include <curl/curl.h>

// The one TLS policy of every handle, FTP and HTTP alike: TLS 1.2 at least and, on
// Windows, a certificate's revocation checked wherever its revocation server answers
// (a region's own authority or an office's firewall may keep it out of reach, which is
// no verdict on the certificate).
void ApplyTlsPolicy(CURL* handle);
