#pragma once
#include "core/transfer/InetTypes.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class FtpWorker;
struct FtpJob;
class QTimer;

// The transfer component: FTP commands for the upload, blocking HTTP requests for the
// version check. Built on libcurl.
class Inet : public QObject {
    Q_OBJECT
public:
    // requestTimeoutSeconds: how long a command may go without progress before it fails.
    explicit Inet(QObject* parent = nullptr, int requestTimeoutSeconds = 60);
    ~Inet() override;

    // --- FTP: the upload ---
    void URL(const QString& url);
    QString URL() const;
    void UserName(const QString& name);
    void Password(const QString& password);

    // Connects to URL and logs in; returns at once, the work goes on in the background.
    void Execute();
    // Starts "PUT local remote" or "QUIT" over the open connection; returns at once.
    // An empty url means the URL property.
    void Execute(const QString& url, const QString& command);
    // True while a command runs. Raises the failure of a command that has ended badly.
    bool StillExecuting();
    // Stops whatever runs and drops the connection, without a word to anyone.
    void Cancel();
    // Stops the run at the next safe point and keeps the connection for its last words: an
    // upload under way ends where it is, its partial file is removed from the server (DELE),
    // and the command fails; QUIT may follow. A command that is not an upload ends at once.
    // Called again, it cuts an upload off at once and leaves its removal a few seconds over
    // a new connection; during the removal, it ends the removal. An HTTP request under way
    // fails within a second, and so does every later one.
    void Stop();
    // After each "PUT " the server is asked (SIZE) how many bytes it holds: a different
    // count fails the command, as a refused upload does; a server that does not know the
    // command is taken at its word. Where the server offers a hash of its files (FEAT), that
    // replaces SIZE: it must equal the hash of the bytes sent, or the file is removed and
    // the command fails. What the last upload that ended well found:
    using Arrival = InetArrival;
    Arrival LastArrival() const;
    // On by default; off only to measure what the check costs.
    void VerifyArrival(bool on) { verifyArrival_ = on; }
    // Explicit FTPS (AUTH TLS before the login, PBSZ 0 and PROT P): with it a server that
    // refuses TLS, or whose certificate does not name the host or comes from no trusted
    // authority, fails the connection; nothing ever falls back to clear text. extraCaPem:
    // authorities trusted beside the system's (a region that signs its own certificates).
    void RequireTls(bool on, const QByteArray& extraCaPem = {})
    {
        requireTls_ = on;
        extraCaPem_ = extraCaPem;
    }

    // Each file travels under a temporary name beside its final one and is renamed onto it
    // (RNFR, RNTO) once verified, so the final name only ever holds a whole file; a server
    // that will not rename onto an existing file has the old one removed first.
    void TemporaryNames(bool on) { temporaryNames_ = on; }

    // --- HTTP: the version check ---
    // Blocks until the transfer has ended; the whole body as QString (type 0) or
    // QByteArray (type 1). An HTTP status of 400 or more or a short body raises.
    QVariant OpenURL(const QString& url, int type = 0);
    // Blocks like OpenURL type 1, but hands the body to `sink` as it arrives, so that a
    // large body costs no memory; a sink that returns false stops the transfer, which
    // then raises. Only a final status of 200 (after redirects) is a download.
    // `progress` hears how many bytes have come of how many (-1: not announced). A download
    // is bounded at 256 MiB; once the address is https, a redirect to http fails it.
    using Sink = std::function<bool(const char* data, qint64 size)>;
    using Progress = std::function<void(qint64 received, qint64 total)>;
    void OpenURL(const QString& url, const Sink& sink, const Progress& progress = {});
    // The address an answer names, read as a browser's address bar does: blanks and control
    // characters around it go, and so do tabs inside it. Only the first line counts: a
    // service that prints the address with a line end after it still names the file.
    static QString AddressOf(const QString& answer);
    // An address as logs and messages show it: its first line, without a password, cut
    // after a few hundred characters.
    static QString ShownAddress(const QString& url);
    // Authorities (PEM) that https requests trust beside the system's, or instead of them
    // where the system's TLS takes one set only (Windows).
    void TrustAuthorities(const QByteArray& pem) { httpCaPem_ = pem; }
    // The longest a text request (type 0) may take as a whole, in seconds.
    void OpenURLTimeout(int seconds) { openUrlTimeoutSeconds_ = seconds; }
    // A byte download fails below bytesPerSecond on average over `seconds`, or when it
    // takes longer than wholeSeconds in all.
    void DownloadLimits(int bytesPerSecond, int seconds, int wholeSeconds)
    {
        download_ = {bytesPerSecond, seconds, wholeSeconds};
    }

signals:
    // Posted to the owner's thread whenever a command ends, well or badly.
    void CommandEnded();

private:
    int requestTimeoutSeconds_;
    int openUrlTimeoutSeconds_ = 10;
    // An installer of a few megabytes takes a minute or two on a slow office line; a
    // service that trickles below a kilobyte a second for half a minute is not sending one.
    struct { int bytesPerSecond = 1024, seconds = 30, wholeSeconds = 15 * 60; } download_;
    void Fetch(const QString& url, const Sink& sink, bool download, const Progress& progress = {});
    QString url_;
    QString userName_;
    QString password_;
    bool verifyArrival_ = true;
    bool requireTls_ = false;
    bool temporaryNames_ = false;
    QByteArray extraCaPem_;
    QByteArray httpCaPem_;
    void Start(FtpJob job);
    FtpJob ConnectJob() const;
    void WatchLocalFile();
    std::string runningRemote_;  // the remote name of the last upload started
    std::shared_ptr<FtpWorker> worker_;
    QTimer* watchdog_;
    // A local file that stalled the running command, until the failure is raised.
    std::optional<std::string> localFileStall_;
    std::atomic_bool httpStopped_ = false;
};
