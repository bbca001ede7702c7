#include "app/ScheduleCommand.h"
#include "app/CommandLine.h"
#include "core/log/ProgramLog.h"
#include "core/schedule/DailyRun.h"
#include "core/schedule/LastScheduledRun.h"
#include "core/settings/SettingsFile.h"
#include "core/transfer/TransferSequence.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString Described(const DailyRun& run)
{
    if (!run.time.isValid())
        return QStringLiteral("Invio automatico pianificato (%1), ora e cartella non leggibili").arg(run.where);
    return QStringLiteral("Invio automatico ogni giorno alle %1 dalla cartella %2 (%3)")
        .arg(run.time.toString(QStringLiteral("HH:mm")), QDir::toNativeSeparators(run.folder), run.where);
}

}  // namespace

int ScheduleCommand(const QString& value, const std::function<void(const QString&)>& out,
                    const std::function<void(const QString&)>& err)
{
    const ProgramLog log;
    try {
        if (value.isEmpty()) {
            const std::optional<DailyRun> run = ScheduledDailyRun();
            out(run ? Described(*run) : QStringLiteral("Nessun invio automatico pianificato"));
            if (const auto last = LastScheduledRun::Load(run ? run->folder : QString()))
                out(QStringLiteral("Ultimo invio automatico: ") + last->Description());
            return ExitSent;
        }
        if (value == u"no") {
            const bool removed = RemoveDailyRun();
            out(removed ? QStringLiteral("Invio automatico tolto") : QStringLiteral("Nessun invio automatico pianificato"));
            if (removed)
                log.Write(QStringLiteral("Invio automatico tolto"));
            return ExitSent;
        }
        const DailyRun run = ScheduleDailyRun(QTime::fromString(value.rightJustified(5, u'0'), QStringLiteral("HH:mm")),
                                              QDir::currentPath(), QCoreApplication::applicationFilePath());
        out(Described(run));
        log.Write(Described(run));
        // Registered all the same: the installer schedules before the settings are made.
        const Settings settings = ReadSettings();
        if (settings.path.isEmpty() || settings.com.isEmpty())
            err(QStringLiteral("Attenzione: ") + TransferSequence::NotConfiguredText + QStringLiteral(" (com.dat e path.dat "
                "in questa cartella): fino ad allora l'invio automatico non riuscirà"));
        return ExitSent;
    } catch (const ScheduleError& error) {
        const QString cause = QString::fromStdString(error.what());
        err(QStringLiteral("Pianificazione non riuscita: ") + cause);
        log.Write(QStringLiteral("Pianificazione non riuscita: ") + cause);
        return ExitTransferFailed;
    }
}
