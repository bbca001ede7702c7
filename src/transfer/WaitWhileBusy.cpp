#include "transfer/WaitWhileBusy.h"
#include "platform/Inet.h"

#include <QCoreApplication>

void WaitWhileBusy(Inet& Inet1)
{
    while (Inet1.StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
