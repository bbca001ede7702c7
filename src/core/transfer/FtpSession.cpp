#include "core/transfer/FtpSession.h"
#include "core/transfer/CurlCause.h"
#include "core/transfer/CurlWait.h"
#include "core/platform/LocalFile.h"
#include "core/transfer/TlsPolicy.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <utility>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// How long a stopped upload may take to reach its next read, where it ends and keeps the
// connection for removing the partial file; after that it is cut off with the connection.
constexpr qint64 StopGraceMs = 10000;
// The longest the removal of a cut file may take, new connection and login included.
constexpr qint64 RemovalBoundMs = 10000;
// The longest the worker sleeps between two looks at libcurl: its timers for the reply
// time-out and the stalls, and a stop's grace, are checked at least this often.
constexpr int LongestSleepMs = 500;

}  // namespace

// A failure after which the control connection has had the reply to everything it sent,
// so that a further command's reply is its own.
bool FtpSession::RepliesInStep(CURLcode result)
{
    switch (result) {
    case CURLE_OK:
    case CURLE_PARTIAL_FILE:  // the server's reply to the data's end was not 226
    case CURLE_UPLOAD_FAILED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_QUOTE_ERROR:
        return true;
    default:
        return false;
    }
}

namespace {

void CloseSocket(curl_socket_t socket)
{
#ifdef Q_OS_WIN
    closesocket(socket);
#else
    close(socket);
#endif
}

void Shutdown(curl_socket_t socket, bool bothWays)
{
#ifdef Q_OS_WIN
    shutdown(socket, bothWays ? SD_BOTH : SD_RECEIVE);
#else
    shutdown(socket, bothWays ? SHUT_RDWR : SHUT_RD);
#endif
}

qint64 NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Marks a wait for the local file, which the owner watches for stalls.
class LocalFileWait {
public:
    explicit LocalFileWait(std::atomic<qint64>& since) : since_(since) { since_ = NowMs(); }
    ~LocalFileWait() { since_ = 0; }

private:
    std::atomic<qint64>& since_;
};

// What the read callback needs.
struct Upload {
    QFile* file;
    FtpSession* session;
    std::atomic<qint64>* localFileSince;
    ContentHash* hash;  // proof of content: fed every byte read, or null
};

}  // namespace


FtpSession::FtpSession(long timeoutSeconds, const std::atomic<unsigned>& current)
    : timeoutSeconds_(timeoutSeconds), current_(current)
{
    static const CURLcode globalInit = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)globalInit;
}

FtpSession::~FtpSession()
{
    Drop();
}

void FtpSession::CutOff()
{
    stopSince_ = 0;
    hurried_ = false;
    // Closed with a reset rather than an orderly end: in FTP an orderly end of the data
    // connection means "end of file", and the server would keep a cut file as complete.
    const linger abortive{1, 0};
    std::lock_guard lock(socketMutex_);
    if (wait_)
        wait_->Wake();
    for (curl_socket_t socket : sockets_) {
        setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                   sizeof abortive);
        // Ends any wait for a reply at once.
        Shutdown(socket, false);
    }
}

void FtpSession::Sever()
{
#ifndef Q_OS_WIN
    const linger abortive{1, 0};
    std::lock_guard lock(socketMutex_);
    for (curl_socket_t socket : sockets_) {
        setsockopt(socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        // The number is left to a socket that was never connected, so that libcurl, once the
        // read returns, fails on it and never reaches another connection that took the number.
        const int placeholder = ::socket(AF_INET, SOCK_STREAM, 0);
        if (placeholder >= 0) {
            dup2(placeholder, socket);
            close(placeholder);
        }
    }
#endif
}

void FtpSession::Stop()
{
    qint64 notYet = 0;
    if (!stopSince_.compare_exchange_strong(notYet, NowMs()))
        hurried_ = true;
    std::lock_guard lock(socketMutex_);
    if (wait_)
        wait_->Wake();
}

qint64 FtpSession::LocalFileWaitMs() const
{
    const qint64 since = localFileSince_;
    return since == 0 ? 0 : NowMs() - since;
}

InetArrival FtpSession::Perform(const FtpJob& job)
{
    running_ = job.generation;
    runningKind_ = job.kind;
    switch (job.kind) {
    case FtpJob::Connect:
        // Every run opens its own connection.
        Drop();
        Prepare(job);
        Secure(job);
        connection_ = job;
        quoteOutOfStep_ = false;
        curl_easy_setopt(curl_, CURLOPT_URL, job.url.c_str());
        // Connects and logs in, then stops: the connection stays for the commands.
        curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
        {
            const CURLcode result = Transfer();
            curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L);
            Check(result);
        }
        LearnServerHash(job);  // proof of content: FtpSessionProof.cpp
        break;
    case FtpJob::Put:
        return Put(job);
    case FtpJob::Remove:
        Drop();
        connection_ = job;
        quoteOutOfStep_ = false;
        throw InetError(RemovePartial(job.remote, false));
    case FtpJob::Quit:
        // libcurl sends QUIT when it closes the connection and waits for the reply.
        Drop();
        break;
    }
    return {};
}

InetArrival FtpSession::Put(const FtpJob& job)
{
    storAccepted_ = false;
    QFile file;
    {
        // A stalled network share can hold the open as long as a read.
        LocalFileWait wait(localFileSince_);
        if (!OpenRegularFile(file, job.local))
            throw InetError("file locale illeggibile o non regolare: "
                            + (job.local.isEmpty() ? "nessun percorso per " + job.remote : job.local.toStdString()));
    }
    Upload upload{&file, this, &localFileSince_, StartContentHash(job)};
    Prepare(job);
    curl_easy_setopt(curl_, CURLOPT_URL, job.url.c_str());
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl_, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
    // Once the server has acknowledged the file, the same connection asks what it holds.
    // '*': a server without SIZE must not fail the upload; its reply is read below.
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> sizeCommand(
        job.verify ? curl_slist_append(nullptr, CheckCommand(job).c_str()) : nullptr,
        curl_slist_free_all);
    curl_easy_setopt(curl_, CURLOPT_POSTQUOTE, sizeCommand.get());
    // Brenola may still be writing the file: libcurl sends the size it was told at the start,
    // and what the server gets would be a cut export that passes every other check.
    const auto state = [&] {
        LocalFileWait wait(localFileSince_);
        const QFileInfo now(job.local);
        return std::pair(now.size(), now.lastModified());
    };
    const auto before = state();
    cutByStop_ = false;
    uploadSize_ = file.size();
    const CURLcode result = Transfer();
    uploadSize_ = -1;
    curl_easy_setopt(curl_, CURLOPT_POSTQUOTE, nullptr);
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(curl_, CURLOPT_READDATA, nullptr);
    if (IsCancelled())
        throw FtpCancelled();

    std::string failure;
    bool fileThere = storAccepted_;
    InetArrival arrival;
    if (cutByStop_ || (StopRequested() && result != CURLE_OK))
        failure = "invio interrotto";
    else if (const auto after = state(); after != before)
        failure = "il file locale è cambiato durante l'invio (" + std::to_string(before.first)
                  + " byte all'inizio, " + std::to_string(after.first)
                  + " alla fine): riprovare a esportazione finita";
    else if (result != CURLE_OK)
        failure = CurlCause(result, lastReply_, timeoutSeconds_);
    else if (job.verify)
        failure = ProveContent(job, arrival, fileThere);
    // Sent under a temporary name: the final name gets it only once verified.
    if (failure.empty() && !job.finalRemote.empty())
        failure = MoveOntoFinalName(job);
    if (failure.empty())
        return arrival;
    // After a reply time-out or a broken connection, a late reply could be read as the next
    // command's: the connection is never used again.
    const bool inStep = RepliesInStep(result) && !quoteOutOfStep_ && ControlConnectionOpen();
    if (!inStep)
        Abandon();
    // Whatever stops an upload midway leaves a cut file under its final name, which the
    // region could take for a whole one.
    throw InetError(fileThere ? failure + RemovePartial(job.remote, inStep) : failure);
}

// Removes the file of an upload that did not end whole: over the run's connection when
// it is in step, else over a new one, within a bound either way. Returns what the log
// should add about it; "removed" only on the DELE's own reply.
std::string FtpSession::RemovePartial(const std::string& remote, bool inStep)
{
    if (!inStep) {
        Prepare(connection_);
        Secure(connection_);
    }
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> remove(
        curl_slist_append(nullptr, ("DELE " + remote).c_str()), curl_slist_free_all);
    curl_easy_setopt(curl_, CURLOPT_URL, connection_.url.c_str());
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl_, CURLOPT_QUOTE, remove.get());
    const qint64 boundMs = std::min(RemovalBoundMs, qint64(timeoutSeconds_) * 1000);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, long(boundMs));
    lastReply_.clear();
    removing_ = true;
    // A second stop that cut the upload off leaves its removal the bound; one that comes
    // during the removal ends it.
    hurried_ = false;
    {
        std::lock_guard lock(socketMutex_);
        noNewConnection_ = inStep;
    }
    const CURLcode result = Transfer();
    {
        std::lock_guard lock(socketMutex_);
        noNewConnection_ = false;
    }
    removing_ = false;
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, 0L);
    curl_easy_setopt(curl_, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L);
    if (IsCancelled())
        throw FtpCancelled();
    if (result == CURLE_OK)
        return "; il file " + remote + " è stato rimosso dal server";
    std::string why;
    if (result == CURLE_QUOTE_ERROR)
        why = lastReply_;
    else if (result == CURLE_ABORTED_BY_CALLBACK)
        why = "rimozione interrotta";
    else if (inStep && result == CURLE_COULDNT_CONNECT)
        why = "collegamento perduto";
    else
        why = CurlCause(result, lastReply_, long((boundMs + 999) / 1000));
    return "; il file " + remote + " sul server potrebbe essere incompleto (" + why + ")";
}

bool FtpSession::ControlConnectionOpen()
{
    std::lock_guard lock(socketMutex_);
    return controlSocket_ != CURL_SOCKET_BAD && sockets_.count(controlSocket_) != 0;
}

// Explicit FTPS for the connection the run is opening, or plain FTP exactly as before.
void FtpSession::Secure(const FtpJob& job)
{
    curl_easy_setopt(curl_, CURLOPT_USE_SSL, long(job.tls ? CURLUSESSL_ALL : CURLUSESSL_NONE));
    if (!job.tls)
        return;
    curl_easy_setopt(curl_, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 2L);
    ApplyTlsPolicy(curl_);
    // TLS 1.2 at most: every data connection must resume the control connection's session
    // for servers that check it (vsftpd's require_ssl_reuse, ProFTPD's default), and with
    // TLS 1.3 neither libcurl 7.88 with OpenSSL nor Schannel reliably does (single-use
    // tickets; vsftpd then answers 426 to uploads past 64 KiB). TLS 1.2 they resume.
    curl_easy_setopt(curl_, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2) | long(CURL_SSLVERSION_MAX_TLSv1_2));
    if (!job.caPem.empty()) {
        curl_blob authorities{const_cast<char*>(job.caPem.data()), job.caPem.size(), CURL_BLOB_COPY};
        curl_easy_setopt(curl_, CURLOPT_CAINFO_BLOB, &authorities);
    }
}

// The reply to SIZE, the last the server gave: the size it holds must be what was sent.
// Returns the failure, "" when the file arrived whole.
std::string FtpSession::Verify(const FtpJob& job, InetArrival& arrival, bool& fileThere)
{
    curl_off_t sent = arrival.sent;  // kept where SIZE was asked after the upload's end
    if (sent < 0)
        curl_easy_getinfo(curl_, CURLINFO_SIZE_UPLOAD_T, &sent);
    arrival.sent = sent;
    const std::string code = lastReply_.substr(0, 3);
    if (code == "213") {
        arrival.stored = std::strtoll(lastReply_.c_str() + 3, nullptr, 10);
        if (arrival.stored != arrival.sent)
            return "dimensione sul server diversa: " + std::to_string(arrival.sent) + " byte inviati, "
                   + std::to_string(arrival.stored) + " ricevuti";
    } else if (code != "500" && code != "502" && code != "504") {
        // The command is known, and the file it was told to keep is not there.
        fileThere = false;
        return "file " + job.remote + " non trovato sul server dopo l'invio (" + lastReply_ + ")";
    }
    return {};
}

// Runs the handle's transfer to its end. Between two calls the thread sleeps until one of
// libcurl's sockets is ready, libcurl's timer is due, another thread wakes it (Cancel, Stop)
// or LongestSleepMs has passed: libcurl 7.88 keeps no timer for a reply that is overdue.
CURLcode FtpSession::Transfer()
{
    curl_multi_add_handle(multi_, curl_);
    passiveReply_ = false;
    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            result = CURLE_OUT_OF_MEMORY;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &left))
                if (message->msg == CURLMSG_DONE)
                    result = message->data.result;
            break;
        }
        if (IsCancelled()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        // When the reply to EPSV or PASV arrives within the call that sent the command, libcurl
        // leaves the data connection to its next call, without a socket to watch or a timer:
        // it would sleep until something else woke it. So it gets that call at once.
        if (std::exchange(passiveReply_, false))
            continue;
        wait_->Sleep(WaitMs());
    }
    curl_multi_remove_handle(multi_, curl_);
    return result;
}

int FtpSession::WaitMs()
{
    long timeout = -1;
    curl_multi_timeout(multi_, &timeout);
    return timeout < 0 ? LongestSleepMs : int(std::min<long>(timeout, LongestSleepMs));
}

// The handles and the settings every command uses; the multi handle keeps the connection
// from one command to the next.
void FtpSession::Prepare(const FtpJob& job)
{
    if (!multi_) {
        CURLM* multi = curl_multi_init();
        if (!multi)
            throw InetError("libcurl non si avvia");
        std::unique_ptr<CurlWait> wait;
        try {
            wait = std::make_unique<CurlWait>(multi);
        } catch (const InetError&) {
            curl_multi_cleanup(multi);
            throw;
        }
        std::lock_guard lock(socketMutex_);
        multi_ = multi;
        wait_ = std::move(wait);
    }
    if (!curl_) {
        curl_ = curl_easy_init();
        if (!curl_)
            throw InetError("libcurl non si avvia");
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "ftp");
        // The server is reached directly, whatever proxy the environment names: a proxy
        // would get the account and every file, in clear text even with TLS.
        curl_easy_setopt(curl_, CURLOPT_PROXY, "");
        curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorText_);
        curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, timeoutSeconds_);
        curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeoutSeconds_);
        // No progress for the whole request time-out is a failure.
        curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, timeoutSeconds_);
        curl_easy_setopt(curl_, CURLOPT_READFUNCTION, &FtpSession::Read);
        // Eight times libcurl's default: a read, a send and two polls per 512 KiB instead of
        // per 64 KiB halve the processor time a large file costs; the server sees the same.
        curl_easy_setopt(curl_, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
        // For FTP the header callback gets every reply line of the control connection.
        curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &FtpSession::Reply);
        curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &FtpSession::Progress);
        curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(curl_, CURLOPT_OPENSOCKETFUNCTION, &FtpSession::OpenSocket);
        curl_easy_setopt(curl_, CURLOPT_OPENSOCKETDATA, this);
        curl_easy_setopt(curl_, CURLOPT_CLOSESOCKETFUNCTION, &FtpSession::CloseSocketCallback);
        curl_easy_setopt(curl_, CURLOPT_CLOSESOCKETDATA, this);
    }
    curl_easy_setopt(curl_, CURLOPT_USERNAME, job.userName.c_str());
    curl_easy_setopt(curl_, CURLOPT_PASSWORD, job.password.c_str());
    errorText_[0] = '\0';
    lastReply_.clear();
}

void FtpSession::Check(CURLcode result)
{
    if (IsCancelled())
        throw FtpCancelled();
    if (result == CURLE_OK)
        return;
    if (result == CURLE_ABORTED_BY_CALLBACK && StopRequested())
        throw InetError("interrotto");
    throw InetError(CurlCause(result, lastReply_, timeoutSeconds_));
}

// libcurl may keep a connection whose reply it gave up waiting for, and would send it a QUIT
// and read whatever came late as its answer.
void FtpSession::Abandon()
{
    {
        const linger abortive{1, 0};
        std::lock_guard lock(socketMutex_);
        for (curl_socket_t socket : sockets_) {
            // A data connection must not end in an orderly way, which means "end of file".
            setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                       sizeof abortive);
            if (socket == controlSocket_)
                Shutdown(socket, true);
        }
    }
    Drop();
}

// Closes the connection (with QUIT when it is still sound) and forgets the handles.
void FtpSession::Drop()
{
    CURLM* multi = nullptr;
    std::unique_ptr<CurlWait> wait;
    {
        std::lock_guard lock(socketMutex_);
        multi = std::exchange(multi_, nullptr);
        wait = std::move(wait_);
    }
    wait.reset();
    if (multi)
        curl_multi_cleanup(multi);
    if (curl_) {
        curl_easy_cleanup(curl_);
        curl_ = nullptr;
    }
    // Every socket has been closed; a number left here could name someone else's.
    std::lock_guard lock(socketMutex_);
    sockets_.clear();
}

size_t FtpSession::Read(char* buffer, size_t size, size_t count, void* data)
{
    auto* upload = static_cast<Upload*>(data);
    if (upload->session->StopRequested()) {
        upload->session->cutByStop_ = true;
        return 0;  // the end of the upload, with the connection kept
    }
    qint64 read = 0;
    {
        LocalFileWait wait(*upload->localFileSince);
        read = upload->file->read(buffer, qint64(size * count));
    }
    if (read > 0 && upload->hash)
        upload->hash->Add(buffer, read);
    // A read that returns after the command was given up never finishes its upload.
    return read < 0 || upload->session->IsCancelled() ? CURL_READFUNC_ABORT : size_t(read);
}

size_t FtpSession::Reply(char* data, size_t size, size_t count, void* self)
{
    auto* session = static_cast<FtpSession*>(self);
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    // 150 or 125: the server has opened the file and waits for its bytes.
    if (line.rfind("150", 0) == 0 || line.rfind("125", 0) == 0)
        session->storAccepted_ = true;
    if (line.rfind("227", 0) == 0 || line.rfind("229", 0) == 0)
        session->passiveReply_ = true;
    if (session->replies_.size() < 1000)  // read by the proof of content
        session->replies_.push_back(line);
    session->lastReply_ = std::move(line);
    return size * count;
}

int FtpSession::Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* session = static_cast<FtpSession*>(data);
    if (session->IsCancelled())
        return 1;
    // A stopped upload ends at its next read; anything else, or an upload that does not
    // get there in time, is cut off. A second stop cuts off whatever runs, the removal of a
    // cut file too, which has its own bound otherwise.
    const qint64 since = session->stopSince_;
    if (since == 0)
        return 0;
    if (session->hurried_)
        return 1;
    return !session->removing_ && (session->runningKind_ != FtpJob::Put || NowMs() - since > StopGraceMs)
               ? 1
               : 0;
}

curl_socket_t FtpSession::OpenSocket(void* data, curlsocktype, curl_sockaddr* address)
{
    auto* self = static_cast<FtpSession*>(data);
    std::lock_guard lock(self->socketMutex_);
    if (self->noNewConnection_)
        return CURL_SOCKET_BAD;
    const curl_socket_t socket = ::socket(address->family, address->socktype, address->protocol);
    self->passiveReply_ = false;
    if (socket != CURL_SOCKET_BAD) {
        // The first socket of a connection is its control connection; data ones come beside it.
        if (self->sockets_.empty())
            self->controlSocket_ = socket;
        self->sockets_.insert(socket);
    }
    return socket;
}

int FtpSession::CloseSocketCallback(void* data, curl_socket_t socket)
{
    auto* self = static_cast<FtpSession*>(data);
    // A data connection closed before the whole file went out ends with a reset: an orderly
    // end would tell the server the file is complete.
    std::lock_guard lock(self->socketMutex_);
    curl_off_t sent = 0;
    if (socket != self->controlSocket_ && self->uploadSize_ >= 0 && self->curl_
        && curl_easy_getinfo(self->curl_, CURLINFO_SIZE_UPLOAD_T, &sent) == CURLE_OK && sent < self->uploadSize_) {
        const linger abortive{1, 0};
        setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    }
    self->sockets_.erase(socket);
    CloseSocket(socket);
    return 0;
}
