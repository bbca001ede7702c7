#pragma once
#include <QFile>
#include <QString>

// Opens `path` for reading when it is a regular file, unbuffered (the reader brings its
// own buffer). Whatever else stands under that name, a FIFO swapped in for an export file
// say, is refused without ever waiting for it to be opened: false, `file` left closed.
bool OpenRegularFile(QFile& file, const QString& path);

// Appends `bytes` in one write to `path` when it is a regular file (made if missing), opened
// for appending only, so that programs writing at once never overwrite each other's bytes.
// Whatever else stands under that name (a FIFO, a folder, a device) is never waited for and
// never written: false, as for any failure.
bool AppendToRegularFile(const QString& path, const QByteArray& bytes);
