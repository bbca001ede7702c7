#pragma once
#include <QList>
#include <QString>

#include <optional>

// When an unattended run tries again, and after how long.
namespace RetryPolicy {

// The waits before the second, third and fourth attempt, in seconds.
QList<int> DefaultWaits();
// "S1,S2,S3": whole seconds, none negative, at most ten; nothing for anything else.
std::optional<QList<int>> ParseWaits(const QString& text);
// Whether a failure, in the log's words (the step, ": ", then the transfer component's
// cause), may pass on its own: the server or the network away for a while, a 4xx reply.
// A refused login or file, a size that does not match, a local file in the way: never.
bool MayPassByWaiting(const QString& cause);

}  // namespace RetryPolicy
