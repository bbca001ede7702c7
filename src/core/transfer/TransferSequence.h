#pragma once
#include "core/log/ProgramLog.h"
#include "core/transfer/ServerAddresses.h"

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Inet;

// One transfer of the five export files: the checks before it, the transfer table (local
// files, status texts, remote names, their order), the commands, the arrival checks and
// the log. Free of widgets: the main window's "Trasferimento" and the command-line mode
// each show its steps their own way.
class TransferSequence {
public:
    // The texts the operator is told.
    static const QString NotConfiguredText;  // "Impostare il software prima si utilizzarlo"
    static const QString FilesMissingText;   // "Mancano tutti o alcuni dei file per il trasferimento"
    static const QString FailedText;         // "ERRORE: Impossibile Connettersi. Riprovare fra qualche istante"
    static const QString AnotherRunText;     // another transfer runs from this working folder
    static const QString StartText;          // "elaborazione in corso..."
    static const QString CompletedText;      // "Operazione completata"

    // LockUnusable: something that is no lock file stands under its name.
    enum class Readiness { Ready, NotConfigured, FilesMissing, AnotherRun, LockUnusable };
    enum class Outcome { Completed, Failed, Cancelled };

    // localNames: the five export files in the order of the transfer table.
    TransferSequence(Inet& inet, const ServerAddresses& servers, const QStringList& localNames);
    ~TransferSequence();

    // The five export files, in the order of the transfer table.
    static QStringList LocalNames();
    // path, then the platform's separator (always inserted), then the file name.
    static QString LocalFullPath(const QString& path, const QString& name);

    // Both settings set, all five files present, and no other transfer from this working
    // folder; the folder stays reserved for Send until this object goes. Refusals are logged.
    Readiness Prepare(const QString& path, const QString& com);
    // Connects, sends each file that is still there, checks its arrival, says QUIT.
    // `status` gets the text of each step as it begins, StartText first and CompletedText
    // last; `stopped` is asked after every wait, and true ends the run quietly (the caller
    // stops the component itself). The folder is free again once this returns.
    Outcome Send(const std::function<void(const QString&)>& status, const std::function<bool()>& stopped);
    // After a refusing Prepare: what is missing, in the log's words.
    QString Refusal() const { return refusal_; }
    // After a failed Send: the step and its cause, in the log's words.
    QString FailureCause() const { return failureCause_; }

private:
    void Refuse(const QString& why);

    Inet& inet_;
    ServerAddresses servers_;
    QStringList localNames_;
    QString path_;
    QString com_;
    ProgramLog log_;
    std::unique_ptr<QLockFile> lock_;
    QString refusal_;
    QString failureCause_;
};
