#include "core/transfer/FtpWorker.h"

#include <QMetaObject>

#include <chrono>
#include <utility>

std::shared_ptr<FtpWorker> FtpWorker::Create(Inet* owner, long timeoutSeconds)
{
    std::shared_ptr<FtpWorker> worker(new FtpWorker(owner, timeoutSeconds));
    worker->thread_ = std::thread([worker] { worker->Run(); });
    return worker;
}

FtpWorker::FtpWorker(Inet* owner, long timeoutSeconds) : owner_(owner), session_(timeoutSeconds, generation_) {}

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
            throw InetError("il comando precedente è ancora in corso");
        if (error_)
            throw InetError(*std::exchange(error_, std::nullopt));
        job.generation = generation_;
        delivered_ = {};
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
    // The worker wakes at once and drops the connection.
    session_.CutOff();
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

void FtpWorker::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || next_; });
        if (stopping_)
            break;
        const FtpJob job = std::move(*next_);
        next_.reset();
        lock.unlock();

        std::optional<std::string> failure;
        Inet::Arrival arrival;
        try {
            arrival = session_.Perform(job);
        } catch (const InetError& e) {
            failure = e.what();
        } catch (const FtpCancelled&) {
        }

        lock.lock();
        if (job.generation != generation_) {
            lock.unlock();
            session_.Abandon();
            lock.lock();
            continue;
        }
        arrival_ = arrival;
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
    session_.Abandon();
    lock.lock();
    finished_ = true;
    wake_.notify_all();
}
