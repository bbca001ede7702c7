#pragma once
// The transfer component's FTP half runs its commands on a thread of its own: the
// user-interface thread only hands them over and hears of their end.
#include "core/transfer/FtpSession.h"
#include "core/transfer/Inet.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

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
    // and its partial file is removed from the server; the command then fails. Called
    // again, it hurries (see Inet::Stop).
    void Stop() { session_.Stop(); }
    // The busy flag alone, raising nothing.
    bool Busy();
    // The last upload that ended well, once the owner has heard of its end.
    Inet::Arrival LastArrival();
    // How long the local file has kept the worker waiting in an open or a read, in ms.
    qint64 LocalFileWaitMs() const { return session_.LocalFileWaitMs(); }
    // See FtpSession.
    bool RemoteFileOpened() const { return session_.RemoteFileOpened(); }
    void Sever() { session_.Sever(); }

private:
    FtpWorker(Inet* owner, long timeoutSeconds);
    void Run();

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
    FtpSession session_;

    std::thread thread_;
};
