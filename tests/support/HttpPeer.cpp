#include "support/HttpPeer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

HttpPeer::HttpPeer()
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(MORVANTIL_PYTHON), {QStringLiteral(MORVANTIL_PEERS_DIR "/http_server.py")});
    port_ = command({}).toInt();
}

HttpPeer::~HttpPeer()
{
    process_.closeWriteChannel();
    if (!process_.waitForFinished(3000))
        process_.kill();
    process_.waitForFinished();
}

// Sends one line (none when empty) and returns the peer's one-line answer.
QByteArray HttpPeer::command(const QByteArray& json)
{
    if (!json.isEmpty())
        process_.write(json + '\n');
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    return process_.readLine().trimmed();
}

void HttpPeer::route(const QString& target, const QByteArray& body, int status, const QString& mode)
{
    const QJsonObject route{{"cmd", "route"}, {"path", target}, {"status", status},
                            {"body", QString::fromLatin1(body.toBase64())}, {"mode", mode}};
    command(QJsonDocument(route).toJson(QJsonDocument::Compact));
}

QStringList HttpPeer::requests()
{
    return QJsonDocument::fromJson(command(R"({"cmd":"log"})")).toVariant().toStringList();
}

void HttpPeer::clear()
{
    command(R"({"cmd":"clear"})");
}
