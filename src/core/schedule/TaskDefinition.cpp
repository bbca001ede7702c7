#include "core/schedule/TaskDefinition.h"

#include <QDir>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

QString TaskDefinitionXml(const DailyRun& run)
{
    // The scheduler gets UTF-16 without a byte order mark: the declaration says so.
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n");
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.writeStartElement(QStringLiteral("Task"));
    out.writeAttribute(QStringLiteral("version"), QStringLiteral("1.2"));
    out.writeDefaultNamespace(QStringLiteral("http://schemas.microsoft.com/windows/2004/02/mit/task"));
    out.writeStartElement(QStringLiteral("RegistrationInfo"));
    out.writeTextElement(QStringLiteral("Description"),
                         QStringLiteral("Morvantil: invio automatico dei file di Brenola"));
    out.writeEndElement();
    out.writeStartElement(QStringLiteral("Triggers"));
    out.writeStartElement(QStringLiteral("CalendarTrigger"));
    // A day in the past: the first run is the next one at that time.
    out.writeTextElement(QStringLiteral("StartBoundary"),
                         QStringLiteral("2020-01-01T") + run.time.toString(QStringLiteral("HH:mm:00")));
    out.writeStartElement(QStringLiteral("ScheduleByDay"));
    out.writeTextElement(QStringLiteral("DaysInterval"), QStringLiteral("1"));
    out.writeEndElement();
    out.writeEndElement();
    out.writeEndElement();
    out.writeStartElement(QStringLiteral("Principals"));
    out.writeStartElement(QStringLiteral("Principal"));
    out.writeAttribute(QStringLiteral("id"), QStringLiteral("Author"));
    out.writeTextElement(QStringLiteral("LogonType"), QStringLiteral("InteractiveToken"));
    out.writeTextElement(QStringLiteral("RunLevel"), QStringLiteral("LeastPrivilege"));
    out.writeEndElement();
    out.writeEndElement();
    out.writeStartElement(QStringLiteral("Settings"));
    const std::pair<const char*, const char*> settings[] = {
        {"MultipleInstancesPolicy", "IgnoreNew"},
        {"DisallowStartIfOnBatteries", "false"},
        {"StopIfGoingOnBatteries", "false"},
        {"StartWhenAvailable", "true"},
        {"RunOnlyIfNetworkAvailable", "true"},
        {"ExecutionTimeLimit", "PT1H"},
        {"Enabled", "true"},
    };
    for (const auto& [name, value] : settings)
        out.writeTextElement(QLatin1StringView(name), QLatin1StringView(value));
    out.writeEndElement();
    out.writeStartElement(QStringLiteral("Actions"));
    out.writeAttribute(QStringLiteral("Context"), QStringLiteral("Author"));
    out.writeStartElement(QStringLiteral("Exec"));
    out.writeTextElement(QStringLiteral("Command"), QDir::toNativeSeparators(run.program));
    out.writeTextElement(QStringLiteral("Arguments"), DailyRun::Arguments);
    out.writeTextElement(QStringLiteral("WorkingDirectory"), QDir::toNativeSeparators(run.folder));
    out.writeEndDocument();
    return xml;
}

std::optional<DailyRun> ParseTaskDefinition(const QString& xml)
{
    DailyRun run;
    QXmlStreamReader in(xml);
    while (!in.atEnd()) {
        if (in.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = in.name();
        if (name == u"StartBoundary")
            run.time = QTime::fromString(in.readElementText().section(u'T', 1), Qt::ISODate);
        else if (name == u"Command")
            run.program = in.readElementText();
        else if (name == u"WorkingDirectory")
            run.folder = in.readElementText();
    }
    if (!run.time.isValid() || run.program.isEmpty())
        return std::nullopt;
    return run;
}
