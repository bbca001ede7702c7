#include "support/HttpPeer.h"

#include <QJsonDocument>
#include <QJsonObject>

HttpPeer::HttpPeer()
{
    port_ = process_.Start(QStringLiteral("http_server.py"), {}).toInt();
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
