#pragma once
// The FTP worker's sleep between two calls of libcurl's multi handle: until one of its
// sockets is ready, the time given has passed, or another thread wakes it.
#include <curl/curl.h>

class CurlWait {
public:
    // Raises InetError when it cannot be made.
    explicit CurlWait(CURLM* multi);
    ~CurlWait();
    CurlWait(const CurlWait&) = delete;
    CurlWait& operator=(const CurlWait&) = delete;

    void Sleep(int ms);
    // Any thread: ends the sleep under way, or the next one, at once.
    void Wake();

private:
    CURLM* multi_;
    curl_socket_t wake_ = CURL_SOCKET_BAD;  // Windows: a datagram socket that sends to itself
};
