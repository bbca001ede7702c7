#include "platform/FtpWorker.h"
#include "platform/CurlCause.h"
#include "platform/Inet.h"
#include "platform/LocalFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <chrono>
#include <cstdlib>
#include <utility>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// Thrown inside the worker when Cancel has stopped the command: nobody hears of it.
struct Cancelled {};

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
    std::atomic<qint64>* localFileSince;
};

}  // namespace

std::shared_ptr<FtpWorker> FtpWorker::Create(Inet* owner, long timeoutSeconds)
{
    static const CURLcode globalInit = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)globalInit;
    std::shared_ptr<FtpWorker> worker(new FtpWorker(owner, timeoutSeconds));
    worker->thread_ = std::thread([worker] { worker->Run(); });
    return worker;
}

FtpWorker::FtpWorker(Inet* owner, long timeoutSeconds) : timeoutSeconds_(timeoutSeconds), owner_(owner) {}

FtpWorker::~FtpWorker()
{
    // Retire has joined or detached the thread, so whichever side lets go last may end it.
    if (thread_.joinable())
        thread_.detach();
}

void FtpWorker::Retire(std::shared_ptr<FtpWorker> worker, int waitMs)
{
    worker->Cancel();
    std::unique_lock lock(worker->mutex_);
    worker->owner_ = nullptr;
    worker->stopping_ = true;
    worker->wake_.notify_one();
    const bool finished = worker->wake_.wait_for(lock, std::chrono::milliseconds(waitMs),
                                                 [&] { return worker->finished_; });
    lock.unlock();
    if (finished)
        worker->thread_.join();
    else
        worker->thread_.detach();
}

void FtpWorker::Start(FtpJob job)
{
    Deliver();
    {
        std::lock_guard lock(mutex_);
        if (busy_)
            throw InetError("the previous command is still executing");
        if (error_)
            throw InetError(*std::exchange(error_, std::nullopt));
        job.generation = generation_;
        next_ = std::move(job);
        busy_ = true;
    }
    wake_.notify_all();
}

bool FtpWorker::StillExecuting()
{
    Deliver();
    std::lock_guard lock(mutex_);
    if (busy_)
        return true;
    if (error_)
        throw InetError(*std::exchange(error_, std::nullopt));
    return false;
}

void FtpWorker::Deliver()
{
    Inet* owner = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!ended_ || !owner_)
            return;
        ended_ = false;
        busy_ = false;
        error_ = std::exchange(result_, std::nullopt);
        delivered_ = arrival_;
        owner = owner_;
    }
    emit owner->CommandEnded();
}

void FtpWorker::Cancel()
{
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        next_.reset();
        error_.reset();
        result_.reset();
        ended_ = false;
        busy_ = false;
    }
    // The worker wakes at once and drops the connection. Closed with a reset rather than
    // an orderly end: in FTP an orderly end of the data connection means "end of file",
    // and the server would keep a cut file as complete.
    const linger abortive{1, 0};
    std::lock_guard lock(cancelMutex_);
    if (multi_)
        curl_multi_wakeup(multi_);
    for (curl_socket_t socket : sockets_) {
        setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                   sizeof abortive);
        // Ends any wait for a reply at once.
        Shutdown(socket, false);
    }
}

Inet::Arrival FtpWorker::LastArrival()
{
    std::lock_guard lock(mutex_);
    return delivered_;
}

bool FtpWorker::Busy()
{
    std::lock_guard lock(mutex_);
    return busy_;
}

qint64 FtpWorker::LocalFileWaitMs() const
{
    const qint64 since = localFileSince_;
    return since == 0 ? 0 : NowMs() - since;
}

void FtpWorker::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || next_; });
        if (stopping_)
            break;
        const FtpJob job = std::move(*next_);
        next_.reset();
        running_ = job.generation;
        lock.unlock();

        std::optional<std::string> failure;
        arrival_ = {};
        try {
            Perform(job);
        } catch (const InetError& e) {
            failure = e.what();
        } catch (const Cancelled&) {
        }

        lock.lock();
        if (job.generation != generation_) {
            lock.unlock();
            Abandon();
            lock.lock();
            continue;
        }
        ended_ = true;
        result_ = std::move(failure);
        // Wakes the owner's thread, which may be waiting for events. Posted under the
        // lock, so that a retiring owner never receives it after its end.
        if (owner_)
            QMetaObject::invokeMethod(
                owner_, [worker = weak_from_this()] {
                    if (auto alive = worker.lock())
                        alive->Deliver();
                },
                Qt::QueuedConnection);
    }
    lock.unlock();
    Abandon();
    lock.lock();
    finished_ = true;
    wake_.notify_all();
}

void FtpWorker::Perform(const FtpJob& job)
{
    switch (job.kind) {
    case FtpJob::Connect:
        // Every run opens its own connection.
        Drop();
        Prepare(job);
        Secure(job);
        curl_easy_setopt(curl_, CURLOPT_URL, job.url.c_str());
        // Connects and logs in, then stops: the connection stays for the commands.
        curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
        {
            const CURLcode result = Transfer();
            curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L);
            Check(result);
        }
        break;
    case FtpJob::Put:
        Put(job);
        break;
    case FtpJob::Quit:
        // libcurl sends QUIT when it closes the connection and waits for the reply.
        Drop();
        break;
    }
}

void FtpWorker::Put(const FtpJob& job)
{
    QFile file;
    {
        // A stalled network share can hold the open as long as a read.
        LocalFileWait wait(localFileSince_);
        if (!OpenRegularFile(file, job.local))
            throw InetError("file locale illeggibile o non regolare: "
                            + (job.local.isEmpty() ? "nessun percorso per " + job.remote : job.local.toStdString()));
    }
    Upload upload{&file, &localFileSince_};
    Prepare(job);
    curl_easy_setopt(curl_, CURLOPT_URL, job.url.c_str());
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl_, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
    // Once the server has acknowledged the file, the same connection asks what it holds.
    // '*': a server without SIZE must not fail the upload; its reply is read below.
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> sizeCommand(
        job.verify ? curl_slist_append(nullptr, ("*SIZE " + job.remote).c_str()) : nullptr,
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
    const CURLcode result = Transfer();
    curl_easy_setopt(curl_, CURLOPT_POSTQUOTE, nullptr);
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(curl_, CURLOPT_READDATA, nullptr);
    if (!IsCancelled()) {
        if (const auto after = state(); after != before)
            throw InetError("il file locale è cambiato durante l'invio (" + std::to_string(before.first)
                            + " byte all'inizio, " + std::to_string(after.first)
                            + " alla fine): riprovare a esportazione finita");
    }
    Check(result);
    const Inet::Arrival arrival = job.verify ? Verify(job) : Inet::Arrival{};
    std::lock_guard lock(mutex_);
    arrival_ = arrival;
}

// Explicit FTPS for the connection the run is opening, or plain FTP exactly as before.
void FtpWorker::Secure(const FtpJob& job)
{
    curl_easy_setopt(curl_, CURLOPT_USE_SSL, long(job.tls ? CURLUSESSL_ALL : CURLUSESSL_NONE));
    if (!job.tls)
        return;
    curl_easy_setopt(curl_, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 2L);
#ifdef Q_OS_WIN
    // A region's own authority seldom publishes revocation lists; their absence is no
    // verdict on the certificate.
    curl_easy_setopt(curl_, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_REVOKE_BEST_EFFORT));
#endif
    if (!job.caPem.empty()) {
        curl_blob authorities{const_cast<char*>(job.caPem.data()), job.caPem.size(), CURL_BLOB_COPY};
        curl_easy_setopt(curl_, CURLOPT_CAINFO_BLOB, &authorities);
    }
}

// The reply to SIZE, the last the server gave: the size it holds must be what was sent.
Inet::Arrival FtpWorker::Verify(const FtpJob& job)
{
    Inet::Arrival arrival;
    curl_off_t sent = 0;
    curl_easy_getinfo(curl_, CURLINFO_SIZE_UPLOAD_T, &sent);
    arrival.sent = sent;
    const std::string code = lastReply_.substr(0, 3);
    if (code == "213") {
        arrival.stored = std::strtoll(lastReply_.c_str() + 3, nullptr, 10);
        if (arrival.stored != arrival.sent)
            throw InetError("dimensione sul server diversa: " + std::to_string(arrival.sent)
                            + " byte inviati, " + std::to_string(arrival.stored) + " ricevuti");
    } else if (code != "500" && code != "502" && code != "504") {
        // The command is known, and the file it was told to keep is not there.
        throw InetError("file " + job.remote + " non trovato sul server dopo l'invio ("
                        + lastReply_ + ")");
    }
    return arrival;
}

// Runs the handle's transfer to its end. libcurl 7.88 sometimes opens a passive data
// connection only at its next look, without asking for one soon: a plain
// curl_easy_perform then idles a whole second per file, so look again early.
CURLcode FtpWorker::Transfer()
{
    constexpr int lookAgainMs = 10;
    curl_multi_add_handle(multi_, curl_);
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
        long timeout = -1;
        curl_multi_timeout(multi_, &timeout);
        curl_multi_poll(multi_, nullptr, 0,
                        timeout >= 0 && timeout < lookAgainMs ? int(timeout) : lookAgainMs, nullptr);
    }
    curl_multi_remove_handle(multi_, curl_);
    return result;
}

// The handles and the settings every command uses; the multi handle keeps the connection
// from one command to the next.
void FtpWorker::Prepare(const FtpJob& job)
{
    if (!multi_) {
        CURLM* multi = curl_multi_init();
        if (!multi)
            throw InetError("libcurl could not start");
        std::lock_guard lock(cancelMutex_);
        multi_ = multi;
    }
    if (!curl_) {
        curl_ = curl_easy_init();
        if (!curl_)
            throw InetError("libcurl could not start");
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorText_);
        curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, timeoutSeconds_);
        curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeoutSeconds_);
        // No progress for the whole request time-out is a failure.
        curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, timeoutSeconds_);
        curl_easy_setopt(curl_, CURLOPT_READFUNCTION, &FtpWorker::Read);
        // Eight times libcurl's default: a read, a send and two polls per 512 KiB instead of
        // per 64 KiB halve the processor time a large file costs; the server sees the same.
        curl_easy_setopt(curl_, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
        // For FTP the header callback gets every reply line of the control connection.
        curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &FtpWorker::Reply);
        curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &FtpWorker::Progress);
        curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(curl_, CURLOPT_OPENSOCKETFUNCTION, &FtpWorker::OpenSocket);
        curl_easy_setopt(curl_, CURLOPT_OPENSOCKETDATA, this);
        curl_easy_setopt(curl_, CURLOPT_CLOSESOCKETFUNCTION, &FtpWorker::CloseSocketCallback);
        curl_easy_setopt(curl_, CURLOPT_CLOSESOCKETDATA, this);
    }
    curl_easy_setopt(curl_, CURLOPT_USERNAME, job.userName.c_str());
    curl_easy_setopt(curl_, CURLOPT_PASSWORD, job.password.c_str());
    errorText_[0] = '\0';
    lastReply_.clear();
}

void FtpWorker::Check(CURLcode result)
{
    if (IsCancelled())
        throw Cancelled();
    if (result == CURLE_OK)
        return;
    throw InetError(CurlCause(result, lastReply_, timeoutSeconds_));
}

// After Cancel: whatever is left of the connection goes without a word. libcurl may keep
// a connection whose reply it gave up waiting for, and would send it a QUIT.
void FtpWorker::Abandon()
{
    {
        std::lock_guard lock(cancelMutex_);
        for (curl_socket_t socket : sockets_)
            Shutdown(socket, true);
    }
    Drop();
}

// Closes the connection (with QUIT when it is still sound) and forgets the handles.
void FtpWorker::Drop()
{
    CURLM* multi = nullptr;
    {
        std::lock_guard lock(cancelMutex_);
        multi = std::exchange(multi_, nullptr);
    }
    if (multi)
        curl_multi_cleanup(multi);
    if (curl_) {
        curl_easy_cleanup(curl_);
        curl_ = nullptr;
    }
    // Every socket has been closed; a number left here could name someone else's.
    std::lock_guard lock(cancelMutex_);
    sockets_.clear();
}

size_t FtpWorker::Read(char* buffer, size_t size, size_t count, void* data)
{
    auto* upload = static_cast<Upload*>(data);
    LocalFileWait wait(*upload->localFileSince);
    const qint64 read = upload->file->read(buffer, qint64(size * count));
    return read < 0 ? CURL_READFUNC_ABORT : size_t(read);
}

size_t FtpWorker::Reply(char* data, size_t size, size_t count, void* self)
{
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    static_cast<FtpWorker*>(self)->lastReply_ = std::move(line);
    return size * count;
}

int FtpWorker::Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<FtpWorker*>(data)->IsCancelled() ? 1 : 0;
}

curl_socket_t FtpWorker::OpenSocket(void* data, curlsocktype, curl_sockaddr* address)
{
    auto* self = static_cast<FtpWorker*>(data);
    const curl_socket_t socket = ::socket(address->family, address->socktype, address->protocol);
    if (socket != CURL_SOCKET_BAD) {
        std::lock_guard lock(self->cancelMutex_);
        self->sockets_.insert(socket);
    }
    return socket;
}

int FtpWorker::CloseSocketCallback(void* data, curl_socket_t socket)
{
    auto* self = static_cast<FtpWorker*>(data);
    std::lock_guard lock(self->cancelMutex_);
    self->sockets_.erase(socket);
    CloseSocket(socket);
    return 0;
}
