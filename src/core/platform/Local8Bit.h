#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The system's 8-bit encoding, the one of the settings files and of the server's file names:
// the ANSI code page on Windows, UTF-8 elsewhere.

// The text in that encoding, or nothing when it cannot hold every character of the text
// exactly. Windows would put a look-alike in its place ("Łódź" as "Lódz") or a '?', and
// the value read back would name something else.
std::optional<QByteArray> ExactLocal8Bit(const QString& text);

// The characters of the text that the encoding cannot hold, each once, in order.
QStringList OutsideLocal8Bit(const QString& text);
