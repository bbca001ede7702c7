#include "core/settings/SettingsCodePage.h"
#include "core/platform/Local8Bit.h"
#include "core/settings/SettingsFile.h"

QString SettingsCodePageRefusal(const QString& codice, const QString& cartella)
{
    if (!ExactLocal8Bit(cartella))
        return QStringLiteral("La cartella \"%1\" ha nel nome caratteri (%2) che il sistema non può "
                              "conservare nelle impostazioni: verrebbe letta come un'altra cartella.\n\n"
                              "Scegliere una cartella senza questi caratteri nel nome, o rinominarla. "
                              "Le impostazioni non sono state salvate.")
            .arg(cartella, OutsideLocal8Bit(cartella).join(u' '));
    // Printable ASCII, which every code page holds.
    if (const QString problem = IstatCodeProblem(codice); !problem.isEmpty())
        return problem + QStringLiteral("\n\nLe impostazioni non sono state salvate.");
    return {};
}
