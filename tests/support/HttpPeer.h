#pragma once
// The update service's stand-in: tests/peers/http_server.py on 127.0.0.1, a free port,
// answering whatever the test has routed.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class HttpPeer {
public:
    HttpPeer();   // started; check started()
    ~HttpPeer();  // stopped

    bool started() const { return port_ > 0; }
    int port() const { return port_; }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
    QString url(const QString& target) const { return base() + target; }

    // How `target` (path and query, exactly as requested) is answered. Modes: "normal",
    // "cut" (half the announced body, then the connection closed), "hang" (never
    // answered), "trickle" (one byte every `interval` seconds).
    void route(const QString& target, const QByteArray& body, int status = 200,
               const QString& mode = QStringLiteral("normal"), double interval = 0.2);
    // "GET <target>" for every request received so far.
    QStringList requests();
    // Forgets routes and requests.
    void clear();

private:
    QByteArray command(const QByteArray& json);

    QProcess process_;
    int port_ = 0;
};
