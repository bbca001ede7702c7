#include "core/transfer/TransferSequence.h"
#include "core/platform/FileExists.h"
#include "core/transfer/GetShortFileName.h"
#include "core/transfer/Inet.h"
#include "core/settings/SettingsFile.h"
#include "core/transfer/WaitWhileBusy.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace {

// The transfer table, in the order of upload; the local names come from the caller.
struct Row {
    const char16_t* status;
    const char16_t* suffix;
};

const Row transferTable[] = {
    {u"Caricamento file DIA in corso...", u"_DIA.txt"},
    {u"Caricamento file CIL in corso...", u"_CIL.txt"},
    {u"Caricamento file imprese DIA in corso...", u"_DIAIMP.txt"},
    {u"Caricamento file imprese CIL in corso...", u"_CILIMP.txt"},
    {u"Caricamento file PROFESSIONISTI in corso...", u"_PROF.txt"},
};

// A run lock older than this is stale whoever holds it: no run of five export files lasts
// so long. Only a lock whose holder cannot be asked counts by age: a live run of this
// computer keeps its lock file open (locked), which no one else can remove.
constexpr int LongestRunMs = 12 * 3600 * 1000;

// Who holds the lock, as the log says it; empty when it cannot be read (empty, garbage, no
// process number): such a lock belongs to nobody and, kept, would refuse every run for ever.
// Read twice, so that a lock caught between its creation and its first write is not taken
// for one.
QString LockOwner(const QLockFile& lock)
{
    for (int look = 0; look < 2; ++look) {
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock.getLockInfo(&pid, &host, &application) && pid > 0)
            return QStringLiteral("del processo %1 (%2) sul computer \"%3\", del %4")
                .arg(pid)
                .arg(application, host,
                     QFileInfo(QStringLiteral("morvantil.lock")).lastModified().toString(u"yyyy-MM-dd HH:mm:ss"));
        if (look == 0)
            QThread::msleep(200);
    }
    return {};
}

const QString ftpUserName = QStringLiteral("lorvenzab");
const QString ftpPassword = QStringLiteral("kqz3817t42");

}  // namespace

const QString TransferSequence::NotConfiguredText = QStringLiteral("Impostare il software prima si utilizzarlo");
const QString TransferSequence::FilesMissingText =
    QStringLiteral("Mancano tutti o alcuni dei file per il trasferimento");
const QString TransferSequence::FailedText =
    QStringLiteral("ERRORE: Impossibile Connettersi. Riprovare fra qualche istante");
const QString TransferSequence::AnotherRunText =
    QStringLiteral("Un altro trasferimento è in corso da questa cartella di lavoro: attenderne la fine.");
const QString TransferSequence::StartText = QStringLiteral("elaborazione in corso...");
const QString TransferSequence::CompletedText = QStringLiteral("Operazione completata");

TransferSequence::TransferSequence(Inet& inet, const ServerAddresses& servers, const QStringList& localNames)
    : inet_(inet), servers_(servers), localNames_(localNames)
{
}

TransferSequence::~TransferSequence() = default;

QStringList TransferSequence::LocalNames()
{
    return {QStringLiteral("DIA.TXT"), QStringLiteral("PERMCOSTR.TXT"), QStringLiteral("DIA_IMPRESE.TXT"),
            QStringLiteral("CLI_IMPRESE.TXT"), QStringLiteral("PROFESSIONISTI.TXT")};
}

QString TransferSequence::LocalFullPath(const QString& path, const QString& name)
{
    return path + QDir::separator() + name;
}

TransferSequence::Readiness TransferSequence::Prepare(const QString& path, const QString& com)
{
    path_ = path;
    com_ = com;
    log_.Trim();
    // Both tests are made, in this order.
    const bool noPath = path.isEmpty();
    const bool noCom = com.isEmpty();
    if (noPath || noCom) {
        QString why = QStringLiteral("codice ISTAT (com.dat) o cartella (path.dat) non impostati nella "
                                     "cartella di lavoro %1").arg(QDir::toNativeSeparators(QDir::currentPath()));
        for (const QString& file : {QStringLiteral("com.dat"), QStringLiteral("path.dat")})
            if (const QString problem = SettingsFileProblem(file); !problem.isEmpty())
                why += QStringLiteral("; ") + problem;
        Refuse(why);
        return Readiness::NotConfigured;
    }
    // All five are tested every time.
    QStringList missing;
    for (const QString& name : localNames_)
        if (!FileExists(LocalFullPath(path, name)))
            missing << name;
    if (!missing.isEmpty()) {
        Refuse(QStringLiteral("nella cartella \"%1\" mancano %2").arg(path, missing.join(QStringLiteral(", "))));
        return Readiness::FilesMissing;
    }
    // One transfer at a time from a working folder. A lock left by a killed run of this
    // computer is stale at once; one of another computer (a renamed PC, a shared working
    // folder) after the longest a run can take.
    const QString lockName = QStringLiteral("morvantil.lock");
    if (const QFileInfo lockInfo(lockName); lockInfo.exists() && !lockInfo.isFile()) {
        Refuse(QStringLiteral("%1 nella cartella di lavoro %2 non è un file: rimuoverlo")
                   .arg(lockName, QDir::toNativeSeparators(QDir::currentPath())));
        return Readiness::LockUnusable;
    }
    lock_ = std::make_unique<QLockFile>(lockName);
    lock_->setStaleLockTime(LongestRunMs);
    const bool leftThere = QFileInfo::exists(lockName);
    const QString owner = leftThere ? LockOwner(*lock_) : QString();
    if (!lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError) {
        if (owner.isEmpty() && lock_->removeStaleLockFile())
            lock_->tryLock(0);
        if (lock_->error() == QLockFile::LockFailedError) {
            const bool stale = owner.isEmpty()
                               || qAbs(QFileInfo(lockName).lastModified().msecsTo(QDateTime::currentDateTime()))
                                      > LongestRunMs;
            // Stale, yet where nothing can be removed or made (a read-only folder): no run
            // can lock here, so the lock holds no one back.
            if (stale && !QFileInfo(QDir::currentPath()).isWritable()) {
                log_.Write(QStringLiteral("%1 %2 non è più valido, ma la cartella di lavoro è in sola lettura: "
                                          "trasferimento senza blocco")
                               .arg(lockName, owner.isEmpty() ? QStringLiteral("illeggibile") : owner));
                lock_.reset();
                return Readiness::Ready;
            }
            Refuse(QStringLiteral("un altro trasferimento è in corso da questa cartella di lavoro (%1 %2)")
                       .arg(lockName, owner.isEmpty() ? QStringLiteral("illeggibile") : owner));
            lock_.reset();
            return Readiness::AnotherRun;
        }
    }
    if (leftThere && lock_->isLocked())
        log_.Write(QStringLiteral("%1 %2 non era più valido: sostituito")
                       .arg(lockName, owner.isEmpty() ? QStringLiteral("illeggibile") : owner));
    return Readiness::Ready;
}

void TransferSequence::Refuse(const QString& why)
{
    refusal_ = why;
    log_.Write(QStringLiteral("Trasferimento non avviato: ") + why);
}

TransferSequence::Outcome TransferSequence::Send(const std::function<void(const QString&)>& status,
                                                 const std::function<bool()>& stopped)
{
    // The lock goes as soon as the transfer ends, before anyone is told: a message box left
    // open overnight must not hold back the scheduled runs.
    const std::unique_ptr<QLockFile> lock = std::move(lock_);
    log_.Write(QStringLiteral("Trasferimento avviato: codice ISTAT \"%1\", cartella \"%2\", server %3%4")
                   .arg(com_, path_, servers_.ftpHost,
                        servers_.ftpTls ? QStringLiteral(" (FTP cifrato, TLS)") : QString()));
    status(StartText);
    QString step = QStringLiteral("collegamento al server %1").arg(servers_.ftpHost);
    QString file;     // the log line's beginning for the file under way
    QString sending;  // its name on the server
    QStringList vanished;
    // Whatever stops a run midway, the connection still says goodbye when it can.
    const auto quit = [this] {
        try {
            inet_.Execute(QString(), QStringLiteral("QUIT"));
            WaitWhileBusy(inet_);
        } catch (const InetError&) {
        }
    };
    const auto cancelled = [&](QString cause) {
        quit();
        // However the run was cut off, the file under way may be on the server in part.
        if (!sending.isEmpty() && !cause.contains(sending))
            cause += (cause.isEmpty() ? QString() : QStringLiteral("; "))
                     + QStringLiteral("il file %1 sul server potrebbe essere incompleto").arg(sending);
        log_.Write(QStringLiteral("Trasferimento annullato durante: %1").arg(step)
                   + (cause.isEmpty() ? QString() : QStringLiteral(": ") + cause));
        return Outcome::Cancelled;
    };
    try {
        inet_.RequireTls(servers_.ftpTls, servers_.ftpCaPem);
        inet_.TemporaryNames(servers_.ftpTempNames);
        inet_.URL(QStringLiteral("ftp://") + servers_.ftpHost);
        inet_.UserName(ftpUserName);
        inet_.Password(ftpPassword);
        inet_.Execute();
        WaitWhileBusy(inet_);
        if (stopped())
            return cancelled({});

        for (qsizetype i = 0; i < localNames_.size(); ++i) {
            const QString& local = localNames_[i];
            const QString fullPath = LocalFullPath(path_, local);
            const QString remote = com_ + QString::fromUtf16(transferTable[i].suffix);
            // Gone since the presence test: the other files still go, and the run fails.
            if (!FileExists(fullPath)) {
                log_.Write(QStringLiteral("%1 -> %2: non inviato, il file non è più nella cartella")
                               .arg(local, remote));
                vanished << local;
                continue;
            }
            status(QString::fromUtf16(transferTable[i].status));
            step = QStringLiteral("invio di %1 come %2").arg(local, remote);
            file = QStringLiteral("%1 (%2 byte) -> %3").arg(local).arg(QFileInfo(fullPath).size()).arg(remote);
            sending = remote;
            inet_.Execute(QString(), QStringLiteral("PUT ") + GetShortFileName(fullPath) + u' ' + remote);
            WaitWhileBusy(inet_);
            const Inet::Arrival arrival = inet_.LastArrival();
            // Cut off at once (a second stop request): nothing is known of the file.
            if (arrival.sent < 0 && stopped())
                return cancelled({});
            log_.Write(QStringLiteral("%1 (%2 byte) -> %3: %4")
                           .arg(local)
                           .arg(arrival.sent)
                           .arg(remote,
                                arrival.stored >= 0
                                    // which proof: the server's hash of the file, or its size
                                    ? QStringLiteral("inviato e verificato (%1)")
                                          .arg(arrival.proof.empty() ? QStringLiteral("dimensione")
                                                                     : QString::fromStdString(arrival.proof))
                                    : QStringLiteral("inviato, verifica non disponibile (il server non "
                                                     "conosce il comando SIZE)")));
            file.clear();
            sending.clear();
            if (stopped())
                return cancelled({});
        }

        status(QStringLiteral("File caricati. Attendere chiusura collegamento..."));
        step = QStringLiteral("chiusura del collegamento");
        inet_.Execute(QString(), QStringLiteral("QUIT"));
        WaitWhileBusy(inet_);
        if (stopped())
            return cancelled({});
        if (!vanished.isEmpty()) {
            failureCause_ = QStringLiteral("file non più nella cartella \"%1\": %2")
                                .arg(path_, vanished.join(QStringLiteral(", ")));
            log_.Write(FailedText + QStringLiteral(" - causa: ") + failureCause_);
            return Outcome::Failed;
        }
    } catch (const InetError& error) {
        const QString cause = QString::fromStdString(error.what());
        if (stopped())
            return cancelled(cause);
        quit();
        if (!file.isEmpty())
            log_.Write(QStringLiteral("%1: non inviato: %2").arg(file, cause));
        failureCause_ = step + QStringLiteral(": ") + cause;
        log_.Write(FailedText + QStringLiteral(" - causa: ") + failureCause_);
        return Outcome::Failed;
    }
    status(CompletedText);
    log_.Write(CompletedText);
    return Outcome::Completed;
}
