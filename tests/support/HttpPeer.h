#pragma once
// The update service's stand-in: tests/peers/http_server.py on 127.0.0.1 and a free port.
#include "PeerLink.h"

#include <QStringList>

class HttpPeer {
public:
    // switches: http_server.py's own (--tls CERTFILE KEYFILE).
    explicit HttpPeer(const QStringList& switches = {});
    ~HttpPeer();
    bool started() const { return port_ > 0; }
    QString url(const QString& target = {}) const { return QStringLiteral("http://127.0.0.1:%1").arg(port_) + target; }
    int port() const { return port_; }

    // How `target` (path and query as requested) is answered. Modes: "normal", "cut" (half
    // the announced body, then the connection closed), "hang" (never answered).
    void route(const QString& target, const QByteArray& body, int status = 200,
               const QString& mode = QStringLiteral("normal"));
    QStringList requests();  // "GET <target>", in order
    void clear();            // routes and requests
    // Signing as the region does, with Debian's minisign: the public key line of the peer's
    // own key, and a .minisig of `body` with `comment` as its trusted comment, made with
    // that key (or another one) in the hashed form (or minisign's legacy one).
    QByteArray publicKey();
    QByteArray sign(const QByteArray& body, const QString& comment, bool otherKey = false, bool legacy = false);

private:
    PeerLink process_;
    int port_ = 0;
};
