#include "core/platform/Console.h"

#include <QtGlobal>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#endif

void AttachToParentConsole()
{
#ifdef Q_OS_WIN
    Win32AttachParentConsole();
#endif
}

void PrintLine(const QString& text, bool error)
{
#ifdef Q_OS_WIN
    // A console shows UTF-16 as it is, whatever its code page.
    if (Win32WriteConsoleLine(error, (text + u'\n').toStdWString()))
        return;
#endif
    FILE* stream = error ? stderr : stdout;
    std::fputs((text + u'\n').toUtf8().constData(), stream);
    std::fflush(stream);
}

bool CanShowWindows()
{
#ifdef Q_OS_WIN
    return true;
#else
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#endif
}

void HardenProcess()
{
#ifndef Q_OS_WIN
    std::signal(SIGPIPE, SIG_IGN);
#endif
    qunsetenv("SSLKEYLOGFILE");
}
