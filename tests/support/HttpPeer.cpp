#include "support/HttpPeer.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray ReadLine(QProcess& process)
{
    QDeadlineTimer deadline(10000);
    while (!process.canReadLine() && !deadline.hasExpired())
        process.waitForReadyRead(int(deadline.remainingTime()));
    return process.readLine().trimmed();
}

}  // namespace

HttpPeer::HttpPeer()
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(MORVANTIL_PYTHON),
                   {QStringLiteral(MORVANTIL_PEERS_DIR "/http_server.py")});
    if (process_.waitForStarted())
        port_ = ReadLine(process_).toInt();
}

HttpPeer::~HttpPeer()
{
    process_.closeWriteChannel();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished();
    }
}

QByteArray HttpPeer::command(const QByteArray& json)
{
    process_.write(json + '\n');
    process_.waitForBytesWritten();
    return ReadLine(process_);
}

void HttpPeer::route(const QString& target, const QByteArray& body, int status, const QString& mode,
                     double interval)
{
    const QJsonObject route{{"cmd", "route"},
                            {"path", target},
                            {"status", status},
                            {"body", QString::fromLatin1(body.toBase64())},
                            {"mode", mode},
                            {"interval", interval}};
    command(QJsonDocument(route).toJson(QJsonDocument::Compact));
}

QStringList HttpPeer::requests()
{
    QStringList list;
    const QByteArray answer = command(R"({"cmd":"log"})");
    for (const QJsonValue& request : QJsonDocument::fromJson(answer).array())
        list << request.toString();
    return list;
}

void HttpPeer::clear()
{
    command(R"({"cmd":"clear"})");
}
