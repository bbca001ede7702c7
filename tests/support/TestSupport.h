#pragma once
// What several test programs share: a scratch working directory, programs run as processes,
// and the test servers and file systems that misbehave.
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// Makes a fresh temporary folder the working directory for one test case, and puts
// the previous one back afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir dir_;
    QString previous_;
};

// Runs a command-line program and returns its exit code; stdout into *out.
int RunProgram(const QString& program, const QStringList& arguments, QByteArray* out = nullptr,
               int timeoutMs = 30000);

// A folder whose five export files stop giving bytes after `stallAfter` bytes, as a
// stalled network share does (tests/peers/stall_fs.py, a FUSE file system on the Linux
// side). Mounting needs root and FUSE: Reason() says why not when Ready() is false.
class StallingFolder {
public:
    explicit StallingFolder(qint64 size = 100000, qint64 stallAfter = 0);
    ~StallingFolder();  // ends the stalled reads with an error
    bool Ready() const { return reason_.isEmpty(); }
    QString Reason() const { return reason_; }
    QString Path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    struct Peer;
    Peer* peer_;
    QString reason_;
};

// A test certificate authority and server certificates, made in `folder` for this run
// (tests/peers/make_certificates.py says which). False when they could not be made.
bool MakeTestCertificates(const QString& folder);

// A file system with no room left, made the working directory while it lives: a small
// tmpfs where this process may mount one, else a file size limit, so that writing past
// what Fill() leaves free fails either way.
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    QString path() const { return dir_.path(); }
    // Empty when the disk can be filled here, else why not.
    static QString Reason()
    {
#ifdef Q_OS_WIN
        return QStringLiteral("no small file system to fill on Windows");
#else
        return {};
#endif
    }
    // Takes all the space but `leaveBytes` (whole 4 KiB pages).
    void Fill(qint64 leaveBytes = 0);

private:
    QTemporaryDir dir_;
    QString previous_;
    bool mounted_ = false;
    bool limited_ = false;
};
