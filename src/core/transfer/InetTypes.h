#pragma once
// What the transfer component's parts pass to one another, without the component itself.
#include <QtGlobal>

#include <stdexcept>
#include <string>

// Every failure of the transfer component: raised from the member call that meets it.
class InetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What an upload that ended well found on the server.
struct InetArrival {
    qint64 sent = -1;
    qint64 stored = -1;  // -1: the server could not tell
    std::string proof;   // the hash the server's own matched ("SHA-256"); "": the size
};
