#include "core/schedule/LastScheduledRun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

const char* const resultNames[] = {"inviato", "nessun file nuovo", "non riuscito"};

}  // namespace

const QString LastScheduledRun::FileName = QStringLiteral("morvantil-automatico.json");

std::optional<LastScheduledRun> LastScheduledRun::Load(const QString& folder)
{
    QFile file(folder.isEmpty() ? FileName : QDir(folder).filePath(FileName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject record = QJsonDocument::fromJson(file.readAll()).object();
    LastScheduledRun run;
    run.started = QDateTime::fromString(record[u"avviato"].toString(), Qt::ISODate);
    const QString result = record[u"esito"].toString();
    for (int i = 0; i < 3; ++i)
        if (result == QLatin1StringView(resultNames[i]))
            run.result = Result(i);
    run.cause = record[u"causa"].toString();
    run.noticeShown = record[u"avviso_mostrato"].toBool();
    if (!run.started.isValid())
        return std::nullopt;
    return run;
}

bool LastScheduledRun::Save() const
{
    const QJsonObject record{{"avviato", started.toString(Qt::ISODate)},
                             {"esito", QString::fromLatin1(resultNames[int(result)])},
                             {"causa", cause},
                             {"avviso_mostrato", noticeShown}};
    QSaveFile file(FileName);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(record).toJson()) >= 0 && file.commit();
}

QString LastScheduledRun::Description() const
{
    const QString when = started.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    switch (result) {
    case Result::Sent:
        return QStringLiteral("%1, file inviati").arg(when);
    case Result::NothingNew:
        return QStringLiteral("%1, nessun file nuovo da inviare").arg(when);
    case Result::Failed:
        break;
    }
    return QStringLiteral("%1, non riuscito: %2").arg(when, cause);
}

QString LastScheduledRun::FailureNotice() const
{
    QString shown = cause;
    while (shown.endsWith(u'.') || shown.endsWith(u' '))
        shown.chop(1);
    return QStringLiteral("L'invio automatico del %1 alle %2 non è riuscito: %3. Premere Trasferimento per "
                          "inviare i file.")
        .arg(started.toString(QStringLiteral("dd/MM/yyyy")), started.toString(QStringLiteral("HH:mm")), shown);
}
