#include "update/UpdateRules.h"

QString UpdateQueryAddress(const QString& baseUrl)
{
    return baseUrl + QStringLiteral("/morvantil/update.php?v=") + VersionText();
}

bool IsDownloadAddress(const QString& answer)
{
    return answer.startsWith(QStringLiteral("http"), Qt::CaseSensitive);
}
