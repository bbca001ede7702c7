#include "core/UpdateRules.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>

QString UpdateQueryAddress(const QString& baseUrl)
{
    return baseUrl + QStringLiteral("/morvantil/update.php?v=") + VersionText();
}

bool IsDownloadAddress(const QString& answer)
{
    return answer.startsWith(QStringLiteral("http"), Qt::CaseSensitive);
}

bool IsProgramForThisPlatform(const QByteArray& head)
{
#ifdef Q_OS_WIN
    constexpr qsizetype peOffsetField = 0x3C;
    if (!head.startsWith("MZ") || head.size() < peOffsetField + 4)
        return false;
    const quint32 peOffset = qFromLittleEndian<quint32>(head.constData() + peOffsetField);
    return peOffset <= quint32(head.size() - 4)
           && head.mid(qsizetype(peOffset), 4) == QByteArray("PE\0\0", 4);
#else
    return head.startsWith("\x7F" "ELF") || head.startsWith("#!");
#endif
}

bool IsNewerVersion(const QString& candidate, const QString& running)
{
    const QStringList a = candidate.split(u'.');
    const QStringList b = running.split(u'.');
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const qulonglong x = a.value(i).toULongLong();
        const qulonglong y = b.value(i).toULongLong();
        if (x != y)
            return x > y;
    }
    return false;
}
