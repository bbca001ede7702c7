#pragma once
#include <QString>

// The program's log, "morvantil.log" in the working folder beside the settings files: one
// line per event, each with the local date and time, in UTF-8, with the line ends of the
// system that writes it, each at most a few kilobytes long. It is there for the operator and
// the assistance desk; writing it never stops anything and never changes what the operator
// sees: a log that cannot be written (read-only, a folder or a FIFO under its name) is simply
// not written. Runs may write it at once, while one of them trims it: every line is kept,
// whole, unless a trim stalls for a second midway (a frozen disk) just as another run writes.
class ProgramLog {
public:
    // Past this size the oldest lines are dropped, down to half of it.
    static constexpr qint64 MaxBytes = 1024 * 1024;

    explicit ProgramLog(const QString& fileName = QStringLiteral("morvantil.log"));
    // Drops the oldest lines if the file has grown past MaxBytes: the newest whole lines
    // take its place in one atomic step, so nothing is ever half there.
    void Trim() const;
    void Write(const QString& event) const;

private:
    QString fileName_;
};
