#include "core/settings/SettingsCodePage.h"
#include "core/platform/Local8Bit.h"

QString SettingsCodePageRefusal(const QString& codice, const QString& cartella)
{
    if (!ExactLocal8Bit(cartella))
        return QStringLiteral("La cartella \"%1\" ha nel nome caratteri (%2) che il sistema non può "
                              "conservare nelle impostazioni: verrebbe letta come un'altra cartella.\n\n"
                              "Scegliere una cartella senza questi caratteri nel nome, o rinominarla. "
                              "Le impostazioni non sono state salvate.")
            .arg(cartella, OutsideLocal8Bit(cartella).join(u' '));
    if (!ExactLocal8Bit(codice))
        return QStringLiteral("Il codice ISTAT \"%1\" contiene caratteri (%2) che il sistema non può "
                              "conservare nelle impostazioni.\n\nLe impostazioni non sono state salvate.")
            .arg(codice, OutsideLocal8Bit(codice).join(u' '));
    return {};
}
