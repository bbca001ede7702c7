#include "core/transfer/CurlWait.h"
#include "core/transfer/InetTypes.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <winsock2.h>
#endif

#ifndef Q_OS_WIN

// libcurl's own wait: poll(), and a socket pair to wake it.
CurlWait::CurlWait(CURLM* multi) : multi_(multi) {}

CurlWait::~CurlWait() = default;

void CurlWait::Sleep(int ms)
{
    curl_multi_poll(multi_, nullptr, 0, ms, nullptr);
}

void CurlWait::Wake()
{
    curl_multi_wakeup(multi_);
}

#else

// On Windows libcurl's wait sleeps on WSAEventSelect, which tells of a socket that can take
// more bytes only after a send into it has failed with WSAEWOULDBLOCK; libcurl never sends
// into a full socket, so an upload would stand still until libcurl's next timer (200 ms,
// a second). select() answers for the state each socket is in.
CurlWait::CurlWait(CURLM* multi) : multi_(multi)
{
    wake_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof self;
    u_long nonBlocking = 1;
    if (wake_ == INVALID_SOCKET || bind(wake_, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0
        || getsockname(wake_, reinterpret_cast<sockaddr*>(&self), &size) != 0
        || connect(wake_, reinterpret_cast<sockaddr*>(&self), size) != 0
        || ioctlsocket(wake_, FIONBIO, &nonBlocking) != 0) {
        if (wake_ != INVALID_SOCKET)
            closesocket(wake_);
        throw InetError("libcurl non si avvia");
    }
}

CurlWait::~CurlWait()
{
    closesocket(wake_);
}

void CurlWait::Sleep(int ms)
{
    fd_set read, write, failed;
    FD_ZERO(&read);
    FD_ZERO(&write);
    FD_ZERO(&failed);
    int highest = -1;
    curl_multi_fdset(multi_, &read, &write, &failed, &highest);
    // A connection that could not be made is told among the failed ones, not the writable.
    for (u_int i = 0; i < write.fd_count; ++i)
        FD_SET(write.fd_array[i], &failed);
    FD_SET(wake_, &read);
    timeval timeout{ms / 1000, ms % 1000 * 1000};
    if (select(0, &read, &write, &failed, &timeout) > 0 && FD_ISSET(wake_, &read)) {
        char drained[64];
        while (recv(wake_, drained, sizeof drained, 0) > 0) {
        }
    }
}

void CurlWait::Wake()
{
    send(wake_, "", 1, 0);
}

#endif
