#include "core/transfer/WaitWhileBusy.h"
#include "core/transfer/Inet.h"

#include <QCoreApplication>

void WaitWhileBusy(Inet& Inet1)
{
    while (Inet1.StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
