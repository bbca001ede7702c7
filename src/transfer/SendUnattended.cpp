#include "transfer/SendUnattended.h"
#include "platform/Inet.h"
#include "settings/SettingsFile.h"
#include "transfer/CommandLine.h"
#include "transfer/TransferSequence.h"

namespace {

QString ReadSetting(const QString& fileName)
{
    return SettingsFileExists(fileName) ? ReadSettingsLine(fileName) : QString();
}

}  // namespace

int SendUnattended(const ServerAddresses& servers, const std::function<void(const QString&)>& out,
                   const std::function<void(const QString&)>& err)
{
    Inet inet(nullptr, servers.requestTimeoutSeconds);
    TransferSequence transfer(inet, servers, TransferSequence::LocalNames());
    switch (transfer.Prepare(ReadSetting(QStringLiteral("path.dat")), ReadSetting(QStringLiteral("com.dat")))) {
    case TransferSequence::Readiness::NotConfigured:
        err(TransferSequence::NotConfiguredText);
        err(transfer.Refusal());
        return ExitNotReady;
    case TransferSequence::Readiness::FilesMissing:
        err(TransferSequence::FilesMissingText);
        err(transfer.Refusal());
        return ExitNotReady;
    case TransferSequence::Readiness::AnotherRun:
        err(TransferSequence::AnotherRunText);
        return ExitTransferFailed;
    case TransferSequence::Readiness::Ready:
        break;
    }
    if (transfer.Send(out, [] { return false; }) == TransferSequence::Outcome::Completed)
        return ExitSent;
    err(TransferSequence::FailedText);
    err(QStringLiteral("Causa: ") + transfer.FailureCause());
    return ExitTransferFailed;
}
