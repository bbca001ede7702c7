#include "core/transfer/CurlCause.h"
#include "core/transfer/Inet.h"
#include "core/platform/SystemProxy.h"
#include "core/transfer/TlsPolicy.h"

#include <QUrl>
#include <curl/curl.h>
#include <memory>

namespace {

// No reply kept in memory comes near these, and no installer near the download's bound:
// an endless stream must not eat the memory or the disk.
constexpr qint64 MaxBodyBytes = qint64(1) << 30;
constexpr qint64 MaxTextBytes = 64 * 1024;
constexpr qint64 MaxDownloadBytes = qint64(256) << 20;
// Longer addresses are cut where they are shown, so that no log line grows without end.
constexpr qsizetype MaxShownAddress = 300;

}  // namespace

QString Inet::AddressOf(const QString& url)
{
    qsizetype begin = 0;
    while (begin < url.size() && url[begin].unicode() <= u' ')
        ++begin;
    qsizetype end = begin;
    while (end < url.size() && url[end] != u'\n' && url[end] != u'\r')
        ++end;
    while (end > begin && url[end - 1].unicode() <= u' ')
        --end;
    QString clean;
    clean.reserve(end - begin);
    for (qsizetype i = begin; i < end; ++i)
        if (url[i] != u'\t' && url[i] != u'\n' && url[i] != u'\r')
            clean += url[i];
    return clean;
}

namespace {

// What the callbacks of one request need.
struct Request {
    const Inet::Sink& sink;
    const Inet::Progress& progress;
    const std::atomic_bool& stopped;
    qint64 received = 0;
    qint64 limit;
};

size_t Deliver(char* data, size_t size, size_t count, void* target)
{
    auto* request = static_cast<Request*>(target);
    const size_t bytes = size * count;
    request->received += qint64(bytes);
    // Anything short of `bytes` makes libcurl end the transfer with a write error.
    return request->received <= request->limit && request->sink(data, qint64(bytes)) ? bytes : 0;
}

int Report(void* target, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto* request = static_cast<Request*>(target);
    if (request->progress)
        request->progress(now, total > 0 ? total : -1);
    // Non-zero ends the transfer: libcurl asks at least once a second, even while it waits.
    return request->stopped ? 1 : 0;
}

Inet::Sink Collect(QByteArray& body, qint64 limit, bool& tooLong)
{
    return [&body, limit, &tooLong](const char* data, qint64 size) {
        tooLong = body.size() + size > limit;
        if (tooLong)
            return false;
        body.append(data, size);
        return true;
    };
}

}  // namespace

// One request, its body handed to `sink` as it arrives.
void Inet::Fetch(const QString& url, const Sink& sink, bool download, const Progress& progress)
{
    // Spaces and other characters an address may not hold are percent-encoded, as a
    // browser sends them; what is already valid passes unchanged.
    const QUrl parsed(AddressOf(url), QUrl::TolerantMode);
    const QByteArray address = parsed.toEncoded();
    if (!parsed.isValid() || (parsed.scheme() != u"http" && parsed.scheme() != u"https"))
        throw InetError("indirizzo non http: " + ShownAddress(url).toStdString());
    // What errors say of the address: never its password.
    const std::string shown = ShownAddress(url).toStdString();

    if (httpStopped_)
        throw InetError("interrotto per la chiusura del programma, " + shown);
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    if (!handle)
        throw InetError("libcurl non si avvia");
    CURL* curl = handle.get();

    Request request{sink, progress, httpStopped_, 0, download ? MaxDownloadBytes : MaxBodyBytes};
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Deliver);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &request);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(request.limit));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Report);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &request);
    // This runs beside the upload's worker thread: no signals, no shared handle.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    // A redirect must not lead to a local file or another protocol.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // Once an address is https, nothing on the way may take it back to plain http.
    const bool secure = parsed.scheme() == u"https";
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    ApplyTlsPolicy(curl);
    curl_blob authorities{const_cast<char*>(httpCaPem_.constData()), size_t(httpCaPem_.size()), CURL_BLOB_COPY};
    if (!httpCaPem_.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &authorities);
    const std::string proxy = UseSystemProxy(curl, parsed);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Morvantil");
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    // The caller's thread waits, so every way of waiting is bounded: the connection, a
    // stall or a trickle, and the whole request.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 5L);
    if (download) {
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, long(download_.bytesPerSecond));
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(download_.seconds));
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(download_.wholeSeconds));
    } else {
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(requestTimeoutSeconds_));
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(openUrlTimeoutSeconds_));
    }

    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK) {
        std::string cause = CurlCause(result, {}, openUrlTimeoutSeconds_);
        if (result == CURLE_ABORTED_BY_CALLBACK && httpStopped_)
            cause = "interrotto per la chiusura del programma";
        else if (download && result == CURLE_OPERATION_TIMEDOUT)
            cause = "scaricamento sotto " + std::to_string(download_.bytesPerSecond) + " byte/s per "
                    + std::to_string(download_.seconds) + " s o più lungo di "
                    + std::to_string(download_.wholeSeconds) + " s";
        else if (result == CURLE_FILESIZE_EXCEEDED || request.received > request.limit)
            cause = "risposta più lunga di " + std::to_string(request.limit) + " byte";
        else if (secure && result == CURLE_UNSUPPORTED_PROTOCOL)
            cause = "rinviato da https a un indirizzo non https";
        else if (long status = 0; result == CURLE_HTTP_RETURNED_ERROR
                                  && curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
            cause = "risposta HTTP " + std::to_string(status);
        if (!proxy.empty() && (result == CURLE_COULDNT_CONNECT || result == CURLE_COULDNT_RESOLVE_PROXY
                               || result == CURLE_OPERATION_TIMEDOUT))
            cause += " (tramite il proxy " + proxy + ")";
        throw InetError(cause + ", " + shown);
    }

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400 || (download && status != 200))
        throw InetError("risposta HTTP " + std::to_string(status) + ", " + shown);
    curl_off_t announced = -1;
    curl_off_t received = 0;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &received);
    if (announced >= 0 && received < announced)
        throw InetError("risposta interrotta, " + shown);
}

QVariant Inet::OpenURL(const QString& url, int type)
{
    if (type != 0 && type != 1)
        throw InetError("OpenURL: tipo di dati sconosciuto " + std::to_string(type));
    QByteArray body;
    const qint64 limit = type == 1 ? MaxBodyBytes : MaxTextBytes;
    bool tooLong = false;
    try {
        Fetch(url, Collect(body, limit, tooLong), type == 1);
    } catch (const InetError&) {
        if (tooLong)
            throw InetError("risposta più lunga di " + std::to_string(limit) + " byte, " + ShownAddress(url).toStdString());
        throw;
    }
    if (type == 1)
        return body;
    return QString::fromLocal8Bit(body);
}

void Inet::OpenURL(const QString& url, const Sink& sink, const Progress& progress)
{
    Fetch(url, sink, true, progress);
}

QString Inet::ShownAddress(const QString& url)
{
    const QString clean = AddressOf(url);
    const QUrl parsed(clean, QUrl::TolerantMode);
    const QString shown = parsed.isValid() ? parsed.toString(QUrl::RemovePassword | QUrl::FullyEncoded) : clean;
    return shown.size() > MaxShownAddress ? shown.left(MaxShownAddress) + QStringLiteral("...") : shown;
}
