#include "app/CommandLine.h"
#include "core/schedule/RetryPolicy.h"
#include "core/update/UpdateRules.h"

#include <QRegularExpression>

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    bool ours = false;
    for (const QString& argument : arguments)
        ours = ours || argument.startsWith(QStringLiteral("--"));
    if (!ours)
        return line;
    line.mode = CommandLineMode::UsageError;
    const QString first = arguments[0];
    if (arguments.size() == 1 && first == u"--version")
        line.mode = CommandLineMode::Version;
    else if (arguments.size() == 1 && first == u"--help")
        line.mode = CommandLineMode::Help;
    else if (first == u"--pianifica" && arguments.size() <= 2) {
        static const QRegularExpression time(QStringLiteral("^([01]?\\d|2[0-3]):[0-5]\\d$"));
        line.schedule = arguments.value(1);
        if (line.schedule.isEmpty() || line.schedule == u"no" || time.match(line.schedule).hasMatch())
            line.mode = CommandLineMode::Schedule;
        else
            line.schedule.clear();
    } else {
        // --invia, --automatico and --riprova with its value, each at most once, in any order.
        bool send = false;
        bool retry = false;
        line.retryWaits = RetryPolicy::DefaultWaits();
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            const QString& argument = arguments[i];
            if (argument == u"--invia" && !send)
                send = true;
            else if (argument == u"--automatico" && !line.automatic)
                line.automatic = true;
            else if (argument == u"--riprova" && !retry && i + 1 < arguments.size()) {
                const std::optional<QList<int>> waits = RetryPolicy::ParseWaits(arguments[++i]);
                if (!waits)
                    return line;
                line.retryWaits = *waits;
                retry = true;
            } else
                return line;
        }
        // The retries belong to the scheduled run.
        if (line.automatic || (send && !retry))
            line.mode = CommandLineMode::Send;
    }
    return line;
}

QString VersionLine()
{
    return QStringLiteral("Morvantil ") + VersionText();
}

QString UsageText()
{
    return QStringLiteral(
        "Uso: morvantil [--invia [--automatico [--riprova S1,S2,S3]] | --pianifica [HH:MM | no]\n"
        "                | --version | --help]\n"
        "\n"
        "Senza opzioni apre la finestra del programma.\n"
        "\n"
        "  --invia    invia i cinque file di Brenola senza aprire finestre, con le\n"
        "             impostazioni (com.dat, path.dat) della cartella di lavoro, e\n"
        "             scrive l'esito in morvantil.log nella stessa cartella.\n"
        "             Stato di uscita: 0 tutti i file arrivati, 1 invio non riuscito\n"
        "             o altro invio in corso, 2 programma non impostato o file\n"
        "             mancanti (non viene inviato nulla), 64 opzione sconosciuta.\n"
        "  --automatico\n"
        "             l'invio pianificato: invia solo se i file sono cambiati dall'ultimo\n"
        "             invio riuscito (altrimenti 0), attende i file ancora in scrittura e\n"
        "             riprova dopo 120, 600 e 1800 secondi se il server non risponde.\n"
        "  --riprova S1,S2,S3\n"
        "             le attese in secondi prima di ogni nuovo tentativo.\n"
        "  --pianifica HH:MM\n"
        "             invia ogni giorno a quell'ora, da questa cartella di lavoro\n"
        "             (--invia --automatico); --pianifica no lo toglie, --pianifica\n"
        "             da sola mostra cosa è pianificato e l'esito dell'ultimo invio.\n"
        "  --version  mostra la versione.\n"
        "  --help     mostra questo aiuto.");
}
