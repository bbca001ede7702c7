#include "platform/Inet.h"

// Placeholder until the libcurl implementation lands.
class Inet::Worker {};

Inet::Inet(QObject* parent, int requestTimeoutSeconds)
    : QObject(parent), requestTimeoutSeconds_(requestTimeoutSeconds) {}
Inet::~Inet() = default;
void Inet::URL(const QString& url) { url_ = url; }
QString Inet::URL() const { return url_; }
void Inet::UserName(const QString& name) { userName_ = name; }
void Inet::Password(const QString& password) { password_ = password; }
void Inet::Execute() { throw InetError("not built yet"); }
void Inet::Execute(const QString&, const QString&) { throw InetError("not built yet"); }
bool Inet::StillExecuting() { return false; }
void Inet::Cancel() {}
