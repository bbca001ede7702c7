#include "platform/Inet.h"

#include <QFile>
#include <QMetaObject>

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// One command as the worker carries it out.
struct Job {
    enum Kind { Connect, Put, Quit } kind = Connect;
    std::string url;       // Connect: the server's root; Put: the remote file
    std::string userName;
    std::string password;
    QString local;         // Put: the file to send
    unsigned generation = 0;
};

// Thrown inside the worker when Cancel has stopped the command: nobody hears of it.
struct Cancelled {};

std::string ServerRoot(const QString& url)
{
    std::string root = url.toStdString();
    if (root.empty() || root.back() != '/')
        root += '/';
    return root;
}

// A remote name is a bare file name: nothing that walks folders or ends the command line.
bool IsBareFileName(const QString& name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (QChar c : name)
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            return false;
    return true;
}

void CloseSocket(curl_socket_t socket)
{
#ifdef Q_OS_WIN
    closesocket(socket);
#else
    close(socket);
#endif
}

}  // namespace

// Runs the commands on a thread of its own, so that libcurl's blocking waits never hold up
// the user-interface thread, and posts the end of each one to the owner's thread.
class Inet::Worker {
public:
    Worker(Inet* owner, long timeoutSeconds) : owner_(owner), timeoutSeconds_(timeoutSeconds)
    {
        static const CURLcode globalInit = curl_global_init(CURL_GLOBAL_DEFAULT);
        (void)globalInit;
        thread_ = std::thread([this] { Run(); });
    }

    ~Worker()
    {
        Cancel();
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    void Start(Job job)
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
        wake_.notify_one();
    }

    // Busy flag; once the command has ended, its failure is raised here, once.
    bool StillExecuting()
    {
        Deliver();
        std::lock_guard lock(mutex_);
        if (busy_)
            return true;
        if (error_)
            throw InetError(*std::exchange(error_, std::nullopt));
        return false;
    }

    // On the owner's thread: a command the worker has finished ends here, and only here,
    // so that CommandEnded always comes before the busy flag falls.
    void Deliver()
    {
        {
            std::lock_guard lock(mutex_);
            if (!ended_)
                return;
            ended_ = false;
            busy_ = false;
            error_ = std::exchange(result_, std::nullopt);
        }
        emit owner_->CommandEnded();
    }

    void Cancel()
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
        // The worker wakes at once and drops the connection. Closed with a reset rather
        // than an orderly end: in FTP an orderly end of the data connection means "end of
        // file", and the server would keep a cut file as complete.
        const linger abortive{1, 0};
        std::lock_guard lock(cancelMutex_);
        if (multi_)
            curl_multi_wakeup(multi_);
        for (curl_socket_t socket : sockets_) {
            setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                       sizeof abortive);
            // Ends any wait for a reply at once.
            shutdown(socket,
#ifdef Q_OS_WIN
                     SD_RECEIVE
#else
                     SHUT_RD
#endif
            );
        }
    }

private:
    void Run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || next_; });
            if (stopping_)
                break;
            const Job job = std::move(*next_);
            next_.reset();
            running_ = job.generation;
            lock.unlock();

            std::optional<std::string> failure;
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
            lock.unlock();
            // Wakes the owner's thread, which may be waiting for events.
            QMetaObject::invokeMethod(owner_, [this] { Deliver(); }, Qt::QueuedConnection);
            lock.lock();
        }
        lock.unlock();
        Abandon();
    }

    bool IsCancelled() const { return running_ != generation_.load(); }

    void Perform(const Job& job)
    {
        switch (job.kind) {
        case Job::Connect:
            // Every run opens its own connection.
            Drop();
            Prepare(job);
            curl_easy_setopt(curl_, CURLOPT_URL, job.url.c_str());
            // Connects and logs in, then stops: the connection stays for the commands.
            curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
            {
                const CURLcode result = Transfer();
                curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L);
                Check(result);
            }
            break;
        case Job::Put:
            Put(job);
            break;
        case Job::Quit:
            // libcurl sends QUIT when it closes the connection and waits for the reply.
            Drop();
            break;
        }
    }

    void Put(const Job& job)
    {
        QFile file(job.local);
        if (job.local.isEmpty() || !file.open(QIODevice::ReadOnly))
            throw InetError("cannot read the local file \"" + job.local.toStdString() + "\"");
        Prepare(job);
        curl_easy_setopt(curl_, CURLOPT_URL, job.url.c_str());
        curl_easy_setopt(curl_, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl_, CURLOPT_READDATA, &file);
        curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
        const CURLcode result = Transfer();
        curl_easy_setopt(curl_, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(curl_, CURLOPT_READDATA, nullptr);
        Check(result);
    }

    // Runs the handle's transfer to its end. libcurl 7.88 sometimes opens a passive data
    // connection only at its next look, without asking for one soon: a plain
    // curl_easy_perform then idles a whole second per file, so look again early.
    CURLcode Transfer()
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
                            timeout >= 0 && timeout < lookAgainMs ? int(timeout) : lookAgainMs,
                            nullptr);
        }
        curl_multi_remove_handle(multi_, curl_);
        return result;
    }

    // The handles and the settings every command uses; the multi handle keeps the
    // connection from one command to the next.
    void Prepare(const Job& job)
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
            curl_easy_setopt(curl_, CURLOPT_READFUNCTION, &Worker::Read);
            curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
            curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &Worker::Progress);
            curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
            curl_easy_setopt(curl_, CURLOPT_OPENSOCKETFUNCTION, &Worker::OpenSocket);
            curl_easy_setopt(curl_, CURLOPT_OPENSOCKETDATA, this);
            curl_easy_setopt(curl_, CURLOPT_CLOSESOCKETFUNCTION, &Worker::CloseSocketCallback);
            curl_easy_setopt(curl_, CURLOPT_CLOSESOCKETDATA, this);
        }
        curl_easy_setopt(curl_, CURLOPT_USERNAME, job.userName.c_str());
        curl_easy_setopt(curl_, CURLOPT_PASSWORD, job.password.c_str());
        errorText_[0] = '\0';
    }

    void Check(CURLcode result)
    {
        if (IsCancelled())
            throw Cancelled();
        if (result == CURLE_OK)
            return;
        std::string text = curl_easy_strerror(result);
        if (errorText_[0] != '\0')
            text += std::string(": ") + errorText_;
        throw InetError(text);
    }

    // After Cancel: whatever is left of the connection goes without a word. libcurl may
    // keep a connection whose reply it gave up waiting for, and would send it a QUIT.
    void Abandon()
    {
        {
            std::lock_guard lock(cancelMutex_);
            for (curl_socket_t socket : sockets_)
                shutdown(socket,
#ifdef Q_OS_WIN
                         SD_BOTH
#else
                         SHUT_RDWR
#endif
                );
        }
        Drop();
    }

    // Closes the connection (with QUIT when it is still sound) and forgets the handles.
    void Drop()
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

    static size_t Read(char* buffer, size_t size, size_t count, void* data)
    {
        auto* file = static_cast<QFile*>(data);
        const qint64 read = file->read(buffer, qint64(size * count));
        return read < 0 ? CURL_READFUNC_ABORT : size_t(read);
    }

    static int Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<Worker*>(data)->IsCancelled() ? 1 : 0;
    }

    static curl_socket_t OpenSocket(void* data, curlsocktype, curl_sockaddr* address)
    {
        auto* self = static_cast<Worker*>(data);
        const curl_socket_t socket = ::socket(address->family, address->socktype, address->protocol);
        if (socket != CURL_SOCKET_BAD) {
            std::lock_guard lock(self->cancelMutex_);
            self->sockets_.insert(socket);
        }
        return socket;
    }

    static int CloseSocketCallback(void* data, curl_socket_t socket)
    {
        auto* self = static_cast<Worker*>(data);
        std::lock_guard lock(self->cancelMutex_);
        self->sockets_.erase(socket);
        CloseSocket(socket);
        return 0;
    }

    Inet* owner_;
    const long timeoutSeconds_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> next_;
    bool busy_ = false;
    bool stopping_ = false;
    // Finished by the worker, not yet seen by the owner's thread.
    bool ended_ = false;
    std::optional<std::string> result_;
    // The failure of the command that has ended, until it is raised.
    std::optional<std::string> error_;
    // Raised by Cancel; a command whose number is no longer current stops.
    std::atomic<unsigned> generation_{0};

    // The worker thread's own.
    unsigned running_ = 0;
    CURL* curl_ = nullptr;
    char errorText_[CURL_ERROR_SIZE] = {};

    // What Cancel reaches from the owner's thread.
    std::mutex cancelMutex_;
    CURLM* multi_ = nullptr;
    std::set<curl_socket_t> sockets_;

    std::thread thread_;
};

Inet::Inet(QObject* parent, int requestTimeoutSeconds)
    : QObject(parent), requestTimeoutSeconds_(requestTimeoutSeconds),
      worker_(new Worker(this, requestTimeoutSeconds))
{
}

Inet::~Inet()
{
    delete worker_;
}

void Inet::URL(const QString& url) { url_ = url; }
QString Inet::URL() const { return url_; }
void Inet::UserName(const QString& name) { userName_ = name; }
void Inet::Password(const QString& password) { password_ = password; }

void Inet::Execute()
{
    // A new connection, whatever an earlier run left behind.
    worker_->Cancel();
    Job job;
    job.kind = Job::Connect;
    job.url = ServerRoot(url_);
    job.userName = userName_.toStdString();
    job.password = password_.toStdString();
    worker_->Start(std::move(job));
}

void Inet::Execute(const QString& url, const QString& command)
{
    Job job;
    job.userName = userName_.toStdString();
    job.password = password_.toStdString();
    const QString root = url.isEmpty() ? url_ : url;

    if (command.compare(u"QUIT", Qt::CaseInsensitive) == 0) {
        job.kind = Job::Quit;
    } else if (command.startsWith(u"PUT ", Qt::CaseInsensitive)) {
        // "PUT " local " " remote: the local part holds no blank (see LocalPart), the
        // remote part is the rest, blanks and all.
        const QString operands = command.mid(4);
        const qsizetype blank = operands.indexOf(u' ');
        if (blank < 0)
            throw InetError("PUT needs a local and a remote file name");
        const QString remote = operands.mid(blank + 1);
        if (!IsBareFileName(remote))
            throw InetError("not a bare remote file name: \"" + remote.toStdString() + "\"");
        job.kind = Job::Put;
        job.local = QString::fromUtf8(QByteArray::fromPercentEncoding(operands.left(blank).toUtf8()));
        const QByteArray name = remote.toLocal8Bit();
        char* escaped = curl_easy_escape(nullptr, name.constData(), int(name.size()));
        if (!escaped)
            throw InetError("libcurl could not encode the remote name");
        job.url = ServerRoot(root) + escaped;
        curl_free(escaped);
    } else {
        throw InetError("unknown command \"" + command.toStdString() + "\"");
    }
    worker_->Start(std::move(job));
}

bool Inet::StillExecuting()
{
    return worker_->StillExecuting();
}

void Inet::Cancel()
{
    worker_->Cancel();
    // Wakes a wait for the command's end, as a command's own end does.
    QMetaObject::invokeMethod(this, &Inet::CommandEnded, Qt::QueuedConnection);
}

QString Inet::LocalPart(const QString& localPath)
{
    QString part = localPath;
    part.replace(u'%', QStringLiteral("%25"));
    part.replace(u' ', QStringLiteral("%20"));
    return part;
}
