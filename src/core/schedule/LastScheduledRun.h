#pragma once
#include <QDateTime>
#include <QString>

#include <optional>

// How the last scheduled run ended, beside the settings: for "--pianifica" to tell, and for
// the windows to tell the clerk, once, of a run that failed for good.
struct LastScheduledRun {
    enum class Result { Sent, NothingNew, Failed };

    QDateTime started;  // local time of its first attempt
    Result result = Result::Failed;
    QString cause;          // of a failure, in the log's words
    bool noticeShown = false;

    static const QString FileName;  // in the working folder

    // The record in `folder`, the working folder by default.
    static std::optional<LastScheduledRun> Load(const QString& folder = QString());
    // Replaces the record in one step; false when it could not be written.
    bool Save() const;
    // The result in the operator's words, with the cause of a failure.
    QString Description() const;
    // "L'invio automatico del <data> alle <ora> non è riuscito: <causa>. Premere
    // Trasferimento per inviare i file."
    QString FailureNotice() const;
};
