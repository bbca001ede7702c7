#include "transfer/Form1.h"
#include "platform/Inet.h"
#include "platform/WindowRegistry.h"
#include "settings/Form3.h"
#include "settings/SettingsFile.h"
#include "transfer/TransferSequence.h"
#include "update/CheckForUpdate.h"

#include <QPushButton>

Form1::Form1(const ServerAddresses& servers)
    : Form1Layout(servers.requestTimeoutSeconds), servers_(servers)
{
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    // A window closed during an upload stops the transfer, which removes the file it cut
    // short and says QUIT; the run then ends quietly.
    connect(this, &Window::Unloaded, Inet1, &Inet::Stop);
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

    const QStringList names = TransferSequence::LocalNames();
    dia = names[0];
    cil = names[1];
    diaimp = names[2];
    cilimp = names[3];
    prof = names[4];

    // Both tests are made, in this order; relative names: the working directory.
    const bool comExists = SettingsFileExists(QStringLiteral("com.dat"));
    const bool pathExists = SettingsFileExists(QStringLiteral("path.dat"));
    if (!comExists || !pathExists) {
        OpenSettings();
        return;
    }

    path = ReadSettingsLine(QStringLiteral("path.dat"));
    com = TrimIstatCode(ReadSettingsLine(QStringLiteral("com.dat")));
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
