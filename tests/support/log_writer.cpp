// Writes morvantil.log in the working directory as a run does, trimming it first, 200 times
// over: several started at once show whether any line is lost. Each line: "scrittore <N> <i>".
#include "core/log/ProgramLog.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const ProgramLog log;
    for (int i = 0; i < 200; ++i) {
        log.Trim();
        log.Write(QStringLiteral("scrittore %1 %2").arg(app.arguments().value(1)).arg(i));
    }
    return 0;
}
