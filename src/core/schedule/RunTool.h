#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// One run of a system tool (crontab, systemctl), found on PATH.
struct ToolResult {
    bool started = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    bool Succeeded() const { return started && exitCode == 0; }
    // Its first line of complaint, for the operator.
    QString Complaint() const;
};

// Runs `tool` with `arguments`, `input` on its standard input; waits at most 30 s.
ToolResult RunTool(const QString& tool, const QStringList& arguments, const QByteArray& input = {});
