#pragma once
#include <QObject>
#include <QString>
#include <QVariant>
#include <stdexcept>

// Every failure of the transfer component: raised from the member call that meets it.
class InetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
    // The local part of a "PUT " command for a file: the path with '%' and ' '
    // percent-encoded, so that the part holds no blank and the command splits at the
    // first blank after it.
    static QString LocalPart(const QString& localPath);

    // --- HTTP: the version check ---
    // Blocks until the transfer has ended; the whole body as QString (type 0) or
    // QByteArray (type 1). An HTTP status of 400 or more or a short body raises.
    QVariant OpenURL(const QString& url, int type = 0);
    // The longest a text request (type 0) may take as a whole, in seconds; byte
    // downloads are bounded by the request time-out without progress instead.
    void OpenURLTimeout(int seconds) { openUrlTimeoutSeconds_ = seconds; }

signals:
    // Posted to the owner's thread whenever a command ends, well or badly.
    void CommandEnded();

private:
    int requestTimeoutSeconds_;
    int openUrlTimeoutSeconds_ = 10;
    QString url_;
    QString userName_;
    QString password_;
    class Worker;
    Worker* worker_ = nullptr;
};
