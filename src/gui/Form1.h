#pragma once
#include "core/transfer/ServerAddresses.h"
#include "gui/Form1Layout.h"

class Inet;

// The main window: owner of the settings, the local file table and the transfer component.
class Form1 : public Form1Layout {
    Q_OBJECT
public:
    explicit Form1(const ServerAddresses& servers = {});

    // The folder of the exported files and the municipality's ISTAT code; unset (null)
    // until read or saved, which compares equal to the empty text.
    QString path;
    QString com;
    // The local file table.
    QString dia;
    QString cil;
    QString diaimp;
    QString cilimp;
    QString prof;
    // The transfer component, for the upload and the version check.
    Inet* Inet1;

protected:
    void Load() override;
    bool event(QEvent* event) override;

private:
    // The upload run.
    void Command1_Click();
    // The end of a run: buttons enabled, the focus back on "Trasferimento".
    void ButtonsBack();
    void Command2_Click();
    void Command3_Click();
    // Hides this window and brings up the settings window, which hands back what it saved.
    void OpenSettings();
    void SettingsSaved(const QString& folder, const QString& code);

    ServerAddresses servers_;
    // While the upload run is on the stack the window may be unloaded but not destroyed;
    // its destruction waits for the run to end.
    bool running_ = false;
    bool destroyAfterRun_ = false;
};
