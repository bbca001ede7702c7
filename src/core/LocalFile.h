#pragma once
#include <QFile>
#include <QString>

// Opens `path` for reading when it is a regular file, unbuffered (the reader brings its
// own buffer). Whatever else stands under that name, a FIFO swapped in for an export file
// say, is refused without ever waiting for it to be opened: false, `file` left closed.
bool OpenRegularFile(QFile& file, const QString& path);
