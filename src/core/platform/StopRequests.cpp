#include "core/platform/StopRequests.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#else
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
// The console's handler runs on a thread of its own and knows no object but this one.
QPointer<StopRequests> listener;
#else
// A signal handler may only write to a descriptor: the event loop reads the other end.
int signalPipe[2] = {-1, -1};
constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

// The write never blocks: with the buffer full of earlier requests, one more adds nothing.
// errno is the interrupted code's, which may be between a failed call and its look at it.
void OnSignal(int)
{
    const int interruptedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
    errno = interruptedErrno;
}
#endif

}  // namespace

StopRequests::StopRequests(QObject* parent) : QObject(parent)
{
#ifdef Q_OS_WIN
    listener = this;
    Win32OnConsoleBreak([] {
        if (StopRequests* target = listener)
            QMetaObject::invokeMethod(target, &StopRequests::Requested, Qt::QueuedConnection);
    });
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte;
        if (::read(signalPipe[0], &byte, 1) == 1)
            emit Requested();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : Signals)
        sigaction(signal, &action, nullptr);
#endif
}

StopRequests::~StopRequests()
{
#ifdef Q_OS_WIN
    Win32OnConsoleBreak(nullptr);
    listener = nullptr;
#else
    if (!notifier_)
        return;
    for (int signal : Signals)
        std::signal(signal, SIG_DFL);
    delete notifier_;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
#endif
}
