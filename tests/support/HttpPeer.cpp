#include "support/HttpPeer.h"

#include <QJsonDocument>
#include <QJsonObject>

HttpPeer::HttpPeer(const QStringList& switches)
{
    port_ = process_.Start(QStringLiteral("http_server.py"), switches).toInt();
}

HttpPeer::~HttpPeer() = default;

void HttpPeer::route(const QString& target, const QByteArray& body, int status, const QString& mode)
{
    const QJsonObject route{{"cmd", "route"}, {"path", target}, {"status", status},
                            {"body", QString::fromLatin1(body.toBase64())}, {"mode", mode}};
    process_.Exchange(QJsonDocument(route).toJson(QJsonDocument::Compact));
}

QStringList HttpPeer::requests()
{
    return QJsonDocument::fromJson(process_.Exchange(R"({"cmd":"log"})")).toVariant().toStringList();
}

void HttpPeer::clear()
{
    process_.Exchange(R"({"cmd":"clear"})");
}

QByteArray HttpPeer::publicKey()
{
    return process_.Exchange(R"({"cmd":"key"})");
}

QByteArray HttpPeer::sign(const QByteArray& body, const QString& comment, bool otherKey, bool legacy)
{
    const QJsonObject request{{"cmd", "sign"}, {"body", QString::fromLatin1(body.toBase64())}, {"comment", comment},
                              {"other", otherKey}, {"legacy", legacy}};
    return QByteArray::fromBase64(process_.Exchange(QJsonDocument(request).toJson(QJsonDocument::Compact)));
}
