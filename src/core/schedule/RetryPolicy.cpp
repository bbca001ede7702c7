#include "core/schedule/RetryPolicy.h"

#include <QRegularExpression>

namespace RetryPolicy {

QList<int> DefaultWaits()
{
    return {120, 600, 1800};
}

std::optional<QList<int>> ParseWaits(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() > 10)
        return std::nullopt;
    QList<int> waits;
    for (const QString& part : parts) {
        bool number = false;
        const int seconds = part.toInt(&number);
        // An hour at most: the scheduler stops the whole run after one.
        if (!number || seconds < 0 || seconds > 3600 || part.trimmed() != part)
            return std::nullopt;
        waits << seconds;
    }
    return waits;
}

bool MayPassByWaiting(const QString& cause)
{
    // The transfer component's texts (CurlCause) for what the network or a busy server
    // does; the server's own reply, where it gave one, is in brackets and decides alone.
    // What follows "; il file" tells of the removal of a cut file, not of the failure.
    const QString failure = cause.section(QStringLiteral("; il file "), 0, 0);
    static const QRegularExpression reply(QStringLiteral("\\((\\d)\\d\\d[ -]"));
    if (const QRegularExpressionMatch match = reply.match(failure); match.hasMatch())
        return match.captured(1) == u"4";
    for (const char16_t* passing :
         {u"server non raggiungibile", u"indirizzo del server sconosciuto", u"nessuna risposta per",
          u"collegamento interrotto", u"un altro trasferimento è in corso", u"ancora in scrittura",
          u"il file locale è cambiato durante l'invio"})
        if (failure.contains(QString::fromUtf16(passing)))
            return true;
    return false;
}

}  // namespace RetryPolicy
