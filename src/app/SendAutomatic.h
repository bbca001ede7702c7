#pragma once
#include "core/transfer/ServerAddresses.h"

#include <QList>
#include <QString>
#include <functional>

// The scheduled run ("--invia --automatico"): sends only exports that differ from those of
// the last whole run, once they are no longer being written; tries again after each of
// `retryWaits` (seconds) what may pass on its own, with the working folder free meanwhile;
// keeps its outcome for "--pianifica" and the windows. Returns the exit status.
int SendAutomatic(const ServerAddresses& servers, const QList<int>& retryWaits,
                  const std::function<void(const QString&)>& out, const std::function<void(const QString&)>& err);
