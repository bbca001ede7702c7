#include "core/transfer/FtpWorker.h"
#include "core/transfer/Inet.h"
#include "core/platform/Local8Bit.h"
#include "core/transfer/TemporaryName.h"

#include <QTimer>

namespace {

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

}  // namespace

Inet::Inet(QObject* parent, int requestTimeoutSeconds)
    : QObject(parent), requestTimeoutSeconds_(requestTimeoutSeconds),
      worker_(FtpWorker::Create(this, requestTimeoutSeconds)), watchdog_(new QTimer(this))
{
    // libcurl bounds every wait on the network; a local file that stops giving bytes (a
    // stalled network share) holds the worker inside a read, so that is watched from here.
    watchdog_->setInterval(1000);
    connect(watchdog_, &QTimer::timeout, this, &Inet::WatchLocalFile);
}

Inet::~Inet()
{
    // Never held up by a read that does not return: the program must be able to end. A
    // worker inside a read of the local file is not waited for at all.
    const int waitMs = worker_->LocalFileWaitMs() > 0 ? 0 : 2000;
    FtpWorker::Retire(std::move(worker_), waitMs);
}

void Inet::Start(FtpJob job)
{
    worker_->Start(std::move(job));
    watchdog_->start();
}

void Inet::WatchLocalFile()
{
    if (worker_->LocalFileWaitMs() < qint64(requestTimeoutSeconds_) * 1000) {
        if (!worker_->Busy())
            watchdog_->stop();
        return;
    }
    // The stuck worker is left to its read, its upload cut off; a fresh one removes what the
    // server got of it, then serves the next run.
    watchdog_->stop();
    const bool remoteFileOpened = worker_->RemoteFileOpened();
    worker_->Sever();
    FtpWorker::Retire(std::exchange(worker_, FtpWorker::Create(this, requestTimeoutSeconds_)), 0);
    localFileStall_ = "lettura del file locale ferma da " + std::to_string(requestTimeoutSeconds_) + " s";
    if (!remoteFileOpened) {
        emit CommandEnded();
        return;
    }
    FtpJob removal = ConnectJob();
    removal.kind = FtpJob::Remove;
    removal.remote = runningRemote_;
    Start(std::move(removal));
}

FtpJob Inet::ConnectJob() const
{
    FtpJob job;
    job.kind = FtpJob::Connect;
    job.url = ServerRoot(url_);
    job.tls = requireTls_;
    job.caPem = extraCaPem_.toStdString();
    job.userName = userName_.toStdString();
    job.password = password_.toStdString();
    return job;
}

void Inet::URL(const QString& url) { url_ = url; }
QString Inet::URL() const { return url_; }
void Inet::UserName(const QString& name) { userName_ = name; }
void Inet::Password(const QString& password) { password_ = password; }

void Inet::Execute()
{
    // A new connection, whatever an earlier run left behind.
    worker_->Cancel();
    localFileStall_.reset();
    FtpJob job = ConnectJob();
    job.verify = verifyArrival_;  // proof of content: the server's hashes are learnt after the login
    Start(std::move(job));
}

void Inet::Execute(const QString& url, const QString& command)
{
    FtpJob job;
    job.userName = userName_.toStdString();
    job.password = password_.toStdString();
    const QString root = url.isEmpty() ? url_ : url;

    if (command.compare(u"QUIT", Qt::CaseInsensitive) == 0) {
        job.kind = FtpJob::Quit;
    } else if (command.startsWith(u"PUT ", Qt::CaseInsensitive)) {
        // "PUT " local " " remote: the local part holds no blank (see LocalPart), the
        // remote part is the rest, blanks and all.
        const QString operands = command.mid(4);
        const qsizetype blank = operands.indexOf(u' ');
        if (blank < 0)
            throw InetError("comando PUT senza nome del file sul server");
        const QString remote = operands.mid(blank + 1);
        if (!IsBareFileName(remote))
            throw InetError("nome del file sul server non ammesso: \"" + remote.toStdString() + "\"");
        job.kind = FtpJob::Put;
        job.local = QString::fromUtf8(QByteArray::fromPercentEncoding(operands.left(blank).toUtf8()));
        const std::optional<QByteArray> name = ExactLocal8Bit(remote);
        if (!name)
            throw InetError("nome del file sul server fuori dalla codifica del sistema: \"" + remote.toStdString()
                            + "\"");
        job.remote = name->toStdString();
        job.verify = verifyArrival_;
        // Sent under a temporary name beside the final one, renamed once verified.
        if (temporaryNames_) {
            job.finalRemote = job.remote;
            job.remote = TemporaryName(job.remote);
        }
        runningRemote_ = job.remote;
        char* escaped = curl_easy_escape(nullptr, job.remote.c_str(), int(job.remote.size()));
        if (!escaped)
            throw InetError("nome del file sul server non codificabile");
        job.url = ServerRoot(root) + escaped;
        curl_free(escaped);
    } else {
        throw InetError("comando sconosciuto: \"" + command.toStdString() + "\"");
    }
    Start(std::move(job));
}

bool Inet::StillExecuting()
{
    if (localFileStall_) {
        // The removal of what the stalled upload left comes first; the stall is raised with it.
        try {
            if (worker_->StillExecuting())
                return true;
        } catch (const InetError& removal) {
            *localFileStall_ += removal.what();
        }
        throw InetError(*std::exchange(localFileStall_, std::nullopt));
    }
    return worker_->StillExecuting();
}

Inet::Arrival Inet::LastArrival() const
{
    return worker_->LastArrival();
}

void Inet::Cancel()
{
    worker_->Cancel();
    // Wakes a wait for the command's end, as a command's own end does.
    QMetaObject::invokeMethod(this, &Inet::CommandEnded, Qt::QueuedConnection);
}

void Inet::Stop()
{
    httpStopped_ = true;
    worker_->Stop();
}
