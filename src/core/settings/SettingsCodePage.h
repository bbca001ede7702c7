#pragma once
#include <QString>

// Why "Salva" must not save these values: the settings files keep them in the system's 8-bit
// encoding, and a character it cannot hold would come back as another one, naming another
// folder. Empty when both can be saved exactly.
QString SettingsCodePageRefusal(const QString& codice, const QString& cartella);
