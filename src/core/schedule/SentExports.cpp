#include "core/schedule/SentExports.h"
#include "core/transfer/TransferSequence.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QThread>

const QString SentExports::FileName = QStringLiteral("morvantil-inviati.json");

std::optional<SentExports> SentExports::Take(const QString& com, const QString& path, const QString& server,
                                             const QStringList& names)
{
    SentExports taken{com, path, server, {}};
    for (const QString& name : names) {
        QFile file(TransferSequence::LocalFullPath(path, name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!hash.addData(&file))
            return std::nullopt;
        const QFileInfo info(file);
        taken.files << ExportFile{name, info.size(), info.lastModified().toUTC(), hash.result().toHex()};
    }
    return taken;
}

std::optional<SentExports> SentExports::Load()
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject record = QJsonDocument::fromJson(file.readAll()).object();
    SentExports loaded{record[u"com"].toString(), record[u"path"].toString(), record[u"server"].toString(), {}};
    for (const QJsonValue& entry : record[u"files"].toArray()) {
        const QJsonObject one = entry.toObject();
        loaded.files << ExportFile{one[u"name"].toString(), one[u"size"].toInteger(-1),
                                   QDateTime::fromString(one[u"modified"].toString(), Qt::ISODateWithMs),
                                   one[u"sha256"].toString().toLatin1()};
    }
    return loaded;
}

bool SentExports::Save() const
{
    QJsonArray list;
    for (const ExportFile& one : files)
        list.append(QJsonObject{{"name", one.name},
                                {"size", one.size},
                                {"modified", one.modified.toString(Qt::ISODateWithMs)},
                                {"sha256", QString::fromLatin1(one.sha256)}});
    const QJsonObject record{{"com", com}, {"path", path}, {"server", server}, {"files", list}};
    QSaveFile file(FileName);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(record).toJson()) >= 0 && file.commit();
}

QString WaitUntilStill(const QString& path, const QStringList& names, int stillSeconds, int boundSeconds,
                       const std::function<bool()>& stopped)
{
    const QDeadlineTimer bound(std::chrono::seconds{boundSeconds});
    const auto look = [&] {
        QList<std::pair<qint64, QDateTime>> seen;
        for (const QString& name : names) {
            const QFileInfo info(TransferSequence::LocalFullPath(path, name));
            seen.append({info.size(), info.lastModified()});
        }
        return seen;
    };
    auto seen = look();
    // A file written long ago is still already; one touched just now is watched.
    QString changing;
    for (qsizetype i = 0; i < names.size(); ++i)
        if (seen[i].second.secsTo(QDateTime::currentDateTime()) < stillSeconds)
            changing = names[i];
    if (changing.isEmpty())
        return {};
    QDeadlineTimer still(std::chrono::seconds{stillSeconds});
    while (!still.hasExpired() && !stopped()) {
        if (bound.hasExpired())
            return changing;
        QThread::msleep(250);
        QCoreApplication::processEvents();
        const auto now = look();
        for (qsizetype i = 0; i < names.size(); ++i)
            if (now[i] != seen[i])
                changing = names[i];
        if (now != seen) {
            seen = now;
            still.setRemainingTime(std::chrono::seconds{stillSeconds});
        }
    }
    return {};
}
