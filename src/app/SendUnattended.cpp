#include "app/SendUnattended.h"
#include "app/CommandLine.h"
#include "core/transfer/Inet.h"
#include "core/settings/SettingsFile.h"
#include "core/platform/StopRequests.h"
#include "core/transfer/TransferSequence.h"

int SendUnattended(const ServerAddresses& servers, const std::function<void(const QString&)>& out,
                   const std::function<void(const QString&)>& err)
{
    StopRequests requests;
    bool stopped = false;
    return SendOnce(servers, out, err, requests, stopped).status;
}

SendResult SendOnce(const ServerAddresses& servers, const std::function<void(const QString&)>& out,
                    const std::function<void(const QString&)>& err, StopRequests& requests, bool& stopped)
{
    Inet inet(nullptr, servers.requestTimeoutSeconds);
    // A shutdown or Ctrl+C ends the run cleanly: the partial file removed, QUIT, the log;
    // a second request cuts the upload off but still tries the removal for a few seconds,
    // a third cuts everything off.
    int requested = 0;
    QObject::connect(&requests, &StopRequests::Requested, &inet, [&] {
        stopped = true;
        if (++requested > 2)
            inet.Cancel();
        else
            inet.Stop();
    });
    TransferSequence transfer(inet, servers, TransferSequence::LocalNames());
    const Settings settings = ReadSettings();
    switch (transfer.Prepare(settings.path, settings.com)) {
    case TransferSequence::Readiness::NotConfigured:
        err(TransferSequence::NotConfiguredText);
        err(transfer.Refusal());
        return {ExitNotReady, transfer.Refusal()};
    case TransferSequence::Readiness::FilesMissing:
        err(TransferSequence::FilesMissingText);
        err(transfer.Refusal());
        return {ExitNotReady, transfer.Refusal()};
    case TransferSequence::Readiness::AnotherRun:
        err(TransferSequence::AnotherRunText);
        return {ExitTransferFailed, transfer.Refusal()};
    case TransferSequence::Readiness::LockUnusable:
        err(TransferSequence::FailedText);
        err(QStringLiteral("Causa: ") + transfer.Refusal());
        return {ExitTransferFailed, transfer.Refusal()};
    case TransferSequence::Readiness::Ready:
        break;
    }
    switch (transfer.Send(out, [&] { return stopped; })) {
    case TransferSequence::Outcome::Completed:
        return {ExitSent, {}};
    case TransferSequence::Outcome::Cancelled:
        err(QStringLiteral("Trasferimento interrotto: i dettagli sono in morvantil.log"));
        return {ExitTransferFailed, QStringLiteral("trasferimento interrotto"), true};
    case TransferSequence::Outcome::Failed:
        break;
    }
    err(TransferSequence::FailedText);
    err(QStringLiteral("Causa: ") + transfer.FailureCause());
    return {ExitTransferFailed, transfer.FailureCause()};
}
