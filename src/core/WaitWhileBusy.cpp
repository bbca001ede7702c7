#include "core/WaitWhileBusy.h"
#include "core/Inet.h"

#include <QCoreApplication>

void WaitWhileBusy(Inet& Inet1)
{
    while (Inet1.StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
