#include "app/CommandLine.h"
#include "core/update/UpdateRules.h"

CommandLineMode ParseCommandLine(const QStringList& arguments)
{
    bool ours = false;
    for (const QString& argument : arguments)
        ours = ours || argument.startsWith(QStringLiteral("--"));
    if (!ours)
        return CommandLineMode::Window;
    if (arguments.size() != 1)
        return CommandLineMode::UsageError;
    if (arguments[0] == u"--invia")
        return CommandLineMode::Send;
    if (arguments[0] == u"--version")
        return CommandLineMode::Version;
    if (arguments[0] == u"--help")
        return CommandLineMode::Help;
    return CommandLineMode::UsageError;
}

QString VersionLine()
{
    return QStringLiteral("Morvantil ") + VersionText();
}

QString UsageText()
{
    return QStringLiteral(
        "Uso: morvantil [--invia | --version | --help]\n"
        "\n"
        "Senza opzioni apre la finestra del programma.\n"
        "\n"
        "  --invia    invia i cinque file di Brenola senza aprire finestre, con le\n"
        "             impostazioni (com.dat, path.dat) della cartella di lavoro, e\n"
        "             scrive l'esito in morvantil.log nella stessa cartella.\n"
        "             Stato di uscita: 0 tutti i file arrivati, 1 invio non riuscito\n"
        "             o altro invio in corso, 2 programma non impostato o file\n"
        "             mancanti (non viene inviato nulla), 64 opzione sconosciuta.\n"
        "  --version  mostra la versione.\n"
        "  --help     mostra questo aiuto.");
}
