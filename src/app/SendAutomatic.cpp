#include "app/SendAutomatic.h"
#include "app/CommandLine.h"
#include "app/SendUnattended.h"
#include "core/log/ProgramLog.h"
#include "core/platform/FileExists.h"
#include "core/platform/StopRequests.h"
#include "core/schedule/LastScheduledRun.h"
#include "core/schedule/RetryPolicy.h"
#include "core/schedule/SentExports.h"
#include "core/settings/SettingsFile.h"
#include "core/transfer/TransferSequence.h"

#include <QEventLoop>
#include <QTimer>

namespace {

// An export touched this recently may still be being written; past the bound it counts as
// a failure that may pass (the next attempt looks again). Four bounds and the default waits
// stay inside the hour after which the scheduler stops the run.
constexpr int stillSeconds = 5;
constexpr int stillBoundSeconds = 120;

bool SameContent(const SentExports& a, const SentExports& b)
{
    if (a.com != b.com || a.path != b.path || a.server != b.server || a.files.size() != b.files.size())
        return false;
    for (qsizetype i = 0; i < a.files.size(); ++i)
        if (a.files[i].name != b.files[i].name || a.files[i].size != b.files[i].size
            || a.files[i].sha256 != b.files[i].sha256)
            return false;
    return true;
}

}  // namespace

int SendAutomatic(const ServerAddresses& servers, const QList<int>& retryWaits,
                  const std::function<void(const QString&)>& out, const std::function<void(const QString&)>& err)
{
    const ProgramLog log;
    LastScheduledRun outcome;
    outcome.started = QDateTime::currentDateTime();
    StopRequests requests;
    bool stopped = false;
    const QStringList names = TransferSequence::LocalNames();
    const auto finish = [&](LastScheduledRun::Result result, int status, const QString& cause = {}) {
        outcome.result = result;
        outcome.cause = cause;
        if (result == LastScheduledRun::Result::Failed)
            log.Write(QStringLiteral("Invio automatico non riuscito: ") + cause);
        if (!outcome.Save())
            log.Write(QStringLiteral("Invio automatico: esito non registrato in ") + LastScheduledRun::FileName);
        return status;
    };

    const int attempts = int(retryWaits.size()) + 1;
    for (int attempt = 1;; ++attempt) {
        log.Write(QStringLiteral("Invio automatico: tentativo %1 di %2").arg(attempt).arg(attempts));
        SendResult result;
        std::optional<SentExports> before;
        const Settings settings = ReadSettings();
        bool allThere = !settings.path.isEmpty() && !settings.com.isEmpty();
        for (const QString& name : names)
            allThere = allThere && FileExists(TransferSequence::LocalFullPath(settings.path, name));
        QString busy;
        if (allThere) {
            // A stop request meanwhile ends the run; the transfer's own object hears the rest.
            QObject listening;
            QObject::connect(&requests, &StopRequests::Requested, &listening, [&] { stopped = true; });
            busy = WaitUntilStill(settings.path, names, stillSeconds, stillBoundSeconds, [&] { return stopped; });
            if (stopped)
                return finish(LastScheduledRun::Result::Failed, ExitTransferFailed, QStringLiteral("invio interrotto"));
            before = SentExports::Take(settings.com, settings.path, servers.ftpHost, names);
            const std::optional<SentExports> last = SentExports::Load();
            if (busy.isEmpty() && before && last && SameContent(*before, *last)) {
                log.Write(QStringLiteral("Nessun file nuovo da inviare"));
                out(QStringLiteral("Nessun file nuovo da inviare"));
                return finish(LastScheduledRun::Result::NothingNew, ExitSent);
            }
        }
        if (!busy.isEmpty()) {
            result = {ExitTransferFailed, QStringLiteral("il file %1 è ancora in scrittura").arg(busy)};
            log.Write(QStringLiteral("Invio automatico: ") + result.cause);
            err(result.cause);
        } else {
            result = SendOnce(servers, out, err, requests, stopped);
        }
        if (result.status == ExitSent) {
            // Kept only when what went is what is there now: a file changed meanwhile goes again.
            const std::optional<SentExports> after =
                SentExports::Take(settings.com, settings.path, servers.ftpHost, names);
            if (before && after && *before == *after && !after->Save())
                log.Write(QStringLiteral("Invio automatico: file inviati non registrati in ") + SentExports::FileName);
            return finish(LastScheduledRun::Result::Sent, ExitSent);
        }
        if (result.stopped || attempt == attempts || !RetryPolicy::MayPassByWaiting(result.cause))
            return finish(LastScheduledRun::Result::Failed, result.status, result.cause);

        const int wait = retryWaits[attempt - 1];
        log.Write(QStringLiteral("Invio automatico: nuovo tentativo fra %1 s").arg(wait));
        // The working folder is free meanwhile: a clerk may send by hand.
        QEventLoop waiting;
        QTimer::singleShot(std::chrono::seconds{wait}, &waiting, &QEventLoop::quit);
        QObject::connect(&requests, &StopRequests::Requested, &waiting, [&] {
            stopped = true;
            waiting.quit();
        });
        waiting.exec();
        if (stopped)
            return finish(LastScheduledRun::Result::Failed, ExitTransferFailed,
                          QStringLiteral("interrotto prima del tentativo %1").arg(attempt + 1));
    }
}
