#pragma once
// The transfer component's FTP half runs its libcurl handle on a thread of its own: the
// user-interface thread only hands over commands and hears of their end.
#include "platform/Inet.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include <curl/curl.h>

// One command as the worker carries it out.
struct FtpJob {
    enum Kind { Connect, Put, Quit } kind = Connect;
    std::string url;       // Connect: the server's root; Put: the remote file
    std::string userName;
    std::string password;
    bool tls = false;      // Connect: explicit FTPS
    std::string caPem;     // Connect: authorities trusted beside the system's
    QString local;         // Put: the file to send
    std::string remote;    // Put: its name on the server, as sent
    bool verify = true;    // Put: ask the server for the size it holds
    unsigned generation = 0;
};

class FtpWorker : public std::enable_shared_from_this<FtpWorker> {
public:
    // The thread holds the worker too: one left behind (Retire) lives until it ends.
    static std::shared_ptr<FtpWorker> Create(Inet* owner, long timeoutSeconds);
    // Stops whatever runs and lets the thread go: it is waited for up to waitMs, and left
    // to end on its own after that (a read of a stalled local file may never return).
    // Nothing reaches the owner afterwards.
    static void Retire(std::shared_ptr<FtpWorker> worker, int waitMs);
    ~FtpWorker();

    // Raises the failure of the command that ended last, if nobody heard of it yet.
    void Start(FtpJob job);
    // Busy flag; once the command has ended, its failure is raised here, once.
    bool StillExecuting();
    // On the owner's thread: a command the worker has finished ends here, and only here,
    // so that the owner's CommandEnded always comes before the busy flag falls.
    void Deliver();
    void Cancel();
    // Ends the running command early but keeps the connection: an upload stops where it is
    // and its partial file is removed from the server; the command then fails.
    void Stop();
    // The busy flag alone, raising nothing.
    bool Busy();
    // The last upload that ended well, once the owner has heard of its end.
    Inet::Arrival LastArrival();
    // How long the local file has kept the worker waiting in an open or a read, in ms.
    qint64 LocalFileWaitMs() const;

private:
    FtpWorker(Inet* owner, long timeoutSeconds);
    void Run();
    bool IsCancelled() const { return running_ != generation_.load(); }
    void Perform(const FtpJob& job);
    void Put(const FtpJob& job);
    CURLcode Transfer();
    void Prepare(const FtpJob& job);
    void Check(CURLcode result);
    void Secure(const FtpJob& job);
    std::string Verify(const FtpJob& job, Inet::Arrival& arrival, bool& fileThere);
    std::string RemovePartial(const FtpJob& job);
    bool StopRequested() const { return stopSince_.load() != 0; }
    bool ControlConnectionOpen();
    void ResetDataConnections();
    void Abandon();
    void Drop();

    static size_t Read(char* buffer, size_t size, size_t count, void* data);
    static size_t Reply(char* data, size_t size, size_t count, void* self);
    static int Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static curl_socket_t OpenSocket(void* data, curlsocktype, curl_sockaddr* address);
    static int CloseSocketCallback(void* data, curl_socket_t socket);

    const long timeoutSeconds_;

    std::mutex mutex_;
    std::condition_variable wake_;
    // Null once retired; guarded by mutex_, so no post can race the owner's end.
    Inet* owner_;
    std::optional<FtpJob> next_;
    bool busy_ = false;
    bool stopping_ = false;
    bool finished_ = false;
    // Finished by the worker, not yet seen by the owner's thread.
    bool ended_ = false;
    std::optional<std::string> result_;
    // The failure of the command that has ended, until it is raised.
    std::optional<std::string> error_;
    Inet::Arrival arrival_, delivered_;
    // Raised by Cancel; a command whose number is no longer current stops.
    std::atomic<unsigned> generation_{0};
    // When the pending open or read of the local file began (steady ms), 0 when none is.
    std::atomic<qint64> localFileSince_{0};
    // When Stop was asked for (steady ms), 0 when it was not; cleared by Cancel.
    std::atomic<qint64> stopSince_{0};

    // The worker thread's own.
    unsigned running_ = 0;
    CURL* curl_ = nullptr;
    char errorText_[CURL_ERROR_SIZE] = {};
    std::string lastReply_;  // the server's last reply line
    std::string serverRoot_;  // the address the run connected to
    FtpJob::Kind runningKind_ = FtpJob::Connect;
    bool storAccepted_ = false;  // the server has opened the file the upload goes to
    bool cutByStop_ = false;     // the upload was ended early by Stop
    bool removing_ = false;      // a partial file is being removed: Stop no longer applies

    // What Cancel reaches from the owner's thread.
    std::mutex cancelMutex_;
    CURLM* multi_ = nullptr;
    std::set<curl_socket_t> sockets_;
    curl_socket_t controlSocket_ = CURL_SOCKET_BAD;
    bool noNewConnection_ = false;

    std::thread thread_;
};
