#include "core/platform/Local8Bit.h"

#ifdef Q_OS_WIN
#include "core/platform/win32/Win32Api.h"
#endif

std::optional<QByteArray> ExactLocal8Bit(const QString& text)
{
#ifdef Q_OS_WIN
    const std::optional<std::string> bytes = Win32AnsiExactly(text.toStdWString());
    if (!bytes)
        return std::nullopt;
    return QByteArray::fromStdString(*bytes);
#else
    // UTF-8 holds every character; only a broken one (half a surrogate pair) is lost.
    QByteArray bytes = text.toLocal8Bit();
    if (QString::fromLocal8Bit(bytes) != text)
        return std::nullopt;
    return bytes;
#endif
}

QStringList OutsideLocal8Bit(const QString& text)
{
    QStringList outside;
    for (qsizetype i = 0, length = 1; i < text.size(); i += length) {
        // A character beyond U+FFFF is two UTF-16 units.
        length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!ExactLocal8Bit(character) && !outside.contains(character))
            outside << character;
    }
    return outside;
}
