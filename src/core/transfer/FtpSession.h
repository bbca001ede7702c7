#pragma once
// One FTP connection through libcurl and the commands carried out over it. The worker's
// thread alone runs the commands; the members marked so may be called from any thread.
#include "core/transfer/ContentHash.h"
#include "core/transfer/InetTypes.h"
#include "core/transfer/ServerHash.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <curl/curl.h>

class CurlWait;

// One command as the worker carries it out.
struct FtpJob {
    // Remove: logs in anew and removes `remote`, whose upload was cut off elsewhere; it
    // always fails, with what became of the file.
    enum Kind { Connect, Put, Remove, Quit } kind = Connect;
    std::string url;       // Connect, Remove: the server's root; Put: the remote file
    std::string userName;
    std::string password;
    bool tls = false;      // Connect: explicit FTPS
    std::string caPem;     // Connect: authorities trusted beside the system's
    QString local;         // Put: the file to send
    std::string remote;    // Put, Remove: its name on the server, as sent
    bool verify = true;    // Put: ask the server for the size it holds
    // Proof of content: Connect asks FEAT for the server's hashes when verify is on.
    std::string finalRemote;  // Put: the name `remote` takes once verified; "": sent under it
    unsigned generation = 0;
};

// Raised by Perform when the command was cancelled: nobody hears of it.
struct FtpCancelled {};

class FtpSession {
public:
    // `current`: the number of the command that may run; a command whose number is no
    // longer current has been cancelled and stops.
    FtpSession(long timeoutSeconds, const std::atomic<unsigned>& current);
    ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // Carries out the command; a failure raises InetError. What an upload that ended well
    // left on the server.
    InetArrival Perform(const FtpJob& job);
    // After a cancel, or on a connection out of step: whatever is left of it goes without a
    // word, a data connection with a reset.
    void Abandon();

    // Any thread. Wakes the command under way and cuts every connection off at once.
    void CutOff();
    // Any thread. The command under way ends early but keeps the connection (see Inet::Stop),
    // until the next CutOff. Asked again, it cuts an upload off at once.
    void Stop();
    // Any thread. How long the local file has kept the command waiting in an open or a read.
    qint64 LocalFileWaitMs() const;
    // Any thread, while the command is held in a read of the local file: every connection
    // ends at once with a reset, so that no byte read later reaches the server (not on
    // Windows, whose sockets cannot be taken from under libcurl).
    void Sever();
    // Any thread. The server has opened the file the last upload goes to.
    bool RemoteFileOpened() const { return storAccepted_; }

private:
    bool IsCancelled() const { return running_ != current_.load(); }
    bool StopRequested() const { return stopSince_.load() != 0; }
    InetArrival Put(const FtpJob& job);
    std::string Verify(const FtpJob& job, InetArrival& arrival, bool& fileThere);
    std::string RemovePartial(const std::string& remote, bool inStep);
    CURLcode Transfer();
    int WaitMs();
    void Prepare(const FtpJob& job);
    void Secure(const FtpJob& job);
    void Check(CURLcode result);
    bool ControlConnectionOpen();
    void Drop();

    // --- Proof of content and temporary names (FtpSessionProof.cpp) ---
    void LearnServerHash(const FtpJob& job);
    ContentHash* StartContentHash(const FtpJob& job);
    std::string CheckCommand(const FtpJob& job) const;
    std::string ProveContent(const FtpJob& job, InetArrival& arrival, bool& fileThere);
    std::string MoveOntoFinalName(const FtpJob& job);
    CURLcode Quote(const std::vector<std::string>& commands);
    ServerHash serverHash_;  // what this run's server offers
    std::optional<ContentHash> contentHash_;  // of the bytes the upload read
    std::vector<std::string> replies_;  // reply lines, gathered afresh by each Quote
    // --- end of proof of content ---

    static bool RepliesInStep(CURLcode result);
    static size_t Read(char* buffer, size_t size, size_t count, void* data);
    static size_t Reply(char* data, size_t size, size_t count, void* self);
    static int Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static curl_socket_t OpenSocket(void* data, curlsocktype, curl_sockaddr* address);
    static int CloseSocketCallback(void* data, curl_socket_t socket);

    const long timeoutSeconds_;
    const std::atomic<unsigned>& current_;
    // When the pending open or read of the local file began (steady ms), 0 when none is.
    std::atomic<qint64> localFileSince_{0};
    // When Stop was asked for (steady ms), 0 when it was not.
    std::atomic<qint64> stopSince_{0};
    // Stop was asked for again.
    std::atomic<bool> hurried_{false};
    std::atomic<bool> storAccepted_{false};  // the server has opened the file the upload goes to

    // The worker thread's own.
    unsigned running_ = 0;
    FtpJob::Kind runningKind_ = FtpJob::Connect;
    CURL* curl_ = nullptr;
    char errorText_[CURL_ERROR_SIZE] = {};
    std::string lastReply_;       // the server's last reply line
    FtpJob connection_;           // how the run connected, for a removal over a new connection
    bool quoteOutOfStep_ = false; // a command after an upload got no reply in time
    curl_off_t uploadSize_ = -1;  // the size of the upload under way, -1 when none is
    bool cutByStop_ = false;      // the upload was ended early by Stop
    bool removing_ = false;       // a partial file is being removed: Stop no longer applies
    bool passiveReply_ = false;   // EPSV or PASV answered, and no data connection opened since

    // What other threads reach.
    std::mutex socketMutex_;
    CURLM* multi_ = nullptr;
    std::unique_ptr<CurlWait> wait_;
    std::set<curl_socket_t> sockets_;
    curl_socket_t controlSocket_ = CURL_SOCKET_BAD;
    bool noNewConnection_ = false;
};
