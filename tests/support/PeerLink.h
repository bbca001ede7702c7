#pragma once
// One test server of tests/peers, run on the Linux side by the peer broker
// (tests/peers/broker.py) and reached over HTTP on 127.0.0.1, so that the Linux and the
// Windows (Wine) builds of a test start their servers the same way. Header-only, so the
// benchmarks can use it too.
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QtGlobal>

#include <curl/curl.h>
#include <utility>

#ifndef MORVANTIL_PEER_BROKER_FILE
#define MORVANTIL_PEER_BROKER_FILE ""
#endif

class PeerLink {
public:
    PeerLink() = default;
    ~PeerLink() { Stop(); }
    PeerLink(const PeerLink&) = delete;
    PeerLink& operator=(const PeerLink&) = delete;

    // Starts tests/peers/<peer> with the arguments; its first line of output, "" when it
    // could not be started.
    QByteArray Start(const QString& peer, const QStringList& arguments)
    {
        Stop();
        const QJsonObject answer = Post("/start", {{"peer", peer}, {"args", QJsonArray::fromStringList(arguments)}});
        id_ = answer.value("id").toInt();
        return answer.value("line").toString().toUtf8();
    }

    // Sends one line to the server's input and returns its next line of output.
    QByteArray Exchange(const QByteArray& line)
    {
        return Post("/send", {{"id", id_}, {"line", QString::fromUtf8(line)}}).value("line").toString().toUtf8();
    }

    // Closes its input and waits for it to end.
    void Stop()
    {
        if (id_ != 0)
            Post("/stop", {{"id", std::exchange(id_, 0)}});
    }

private:
    // MORVANTIL_PEER_BROKER names the broker; else the file its CTest fixture wrote, which
    // a Windows build reaches through Wine's Z: drive (the Linux root).
    static QByteArray Broker()
    {
        QByteArray url = qgetenv("MORVANTIL_PEER_BROKER");
        if (url.isEmpty()) {
#ifdef Q_OS_WIN
            QFile file(QStringLiteral("Z:" MORVANTIL_PEER_BROKER_FILE));
#else
            QFile file(QStringLiteral(MORVANTIL_PEER_BROKER_FILE));
#endif
            if (file.open(QIODevice::ReadOnly))
                url = file.readAll().trimmed();
        }
        if (url.isEmpty())
            qWarning("no peer broker: run the tests with ctest, or set MORVANTIL_PEER_BROKER");
        return url;
    }

    static size_t Collect(char* data, size_t size, size_t count, void* target)
    {
        static_cast<QByteArray*>(target)->append(data, qsizetype(size * count));
        return size * count;
    }

    static QJsonObject Post(const char* path, const QJsonObject& request)
    {
        const QByteArray url = Broker() + path;
        const QByteArray body = QJsonDocument(request).toJson(QJsonDocument::Compact);
        QByteArray answer;
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, long(body.size()));
        curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &PeerLink::Collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
        const CURLcode result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        const QJsonObject object = QJsonDocument::fromJson(answer).object();
        if (result != CURLE_OK || object.contains("error"))
            qWarning("peer broker %s: %s %s", path, curl_easy_strerror(result),
                     qPrintable(object.value("error").toString()));
        return object;
    }

    int id_ = 0;
};
