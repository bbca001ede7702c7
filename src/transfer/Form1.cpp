#include "transfer/Form1.h"
#include "platform/Inet.h"
#include "platform/WindowRegistry.h"
#include "settings/Form3.h"
#include "settings/SettingsFile.h"
#include "update/CheckForUpdate.h"

#include <QPushButton>

Form1::Form1(const ServerAddresses& servers)
    : Form1Layout(servers.requestTimeoutSeconds), servers_(servers)
{
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    // A window closed during an upload stops the transfer; the run then ends quietly.
    connect(this, &Window::Unloaded, Inet1, &Inet::Cancel);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
}

void Form1::Load()
{
#if MORVANTIL_SELF_UPDATE
    CheckForUpdate();
    // Once the new version's installer runs, this window is closed and the program ends.
    if (IsUnloaded())
        return;
#endif

    dia = QStringLiteral("DIA.TXT");
    cil = QStringLiteral("PERMCOSTR.TXT");
    diaimp = QStringLiteral("DIA_IMPRESE.TXT");
    cilimp = QStringLiteral("CLI_IMPRESE.TXT");
    prof = QStringLiteral("PROFESSIONISTI.TXT");

    // Both tests are made, in this order; relative names: the working directory.
    const bool comExists = SettingsFileExists(QStringLiteral("com.dat"));
    const bool pathExists = SettingsFileExists(QStringLiteral("path.dat"));
    if (!comExists || !pathExists) {
        OpenSettings();
        return;
    }

    path = ReadSettingsLine(QStringLiteral("path.dat"));
    com = ReadSettingsLine(QStringLiteral("com.dat"));
    if (path.isEmpty() || com.isEmpty())
        OpenSettings();
}

void Form1::OpenSettings()
{
    Hide();
    WindowRegistry::Instance().Get<Form3>()->Show();
}

void Form1::Command2_Click()
{
    Unload();
}

void Form1::Command3_Click()
{
    OpenSettings();
}
