#include "platform/Inet.h"

// Placeholder until the libcurl implementation lands.
QVariant Inet::OpenURL(const QString&, int) { throw InetError("not built yet"); }
