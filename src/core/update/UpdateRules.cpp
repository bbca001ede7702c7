#include "core/update/UpdateRules.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>

#ifndef Q_OS_WIN
#include <elf.h>
#endif

namespace {

#ifdef Q_OS_WIN
quint16 Field16(const QByteArray& head, qsizetype at)
{
    return qFromLittleEndian<quint16>(head.constData() + at);
}

// A PE file: the DOS header's "MZ" and, where it points, "PE\0\0", the file header (its
// machine and characteristics) and the optional header (its magic and subsystem).
bool IsStartableProgram(const QByteArray& head)
{
    constexpr qsizetype peOffsetField = 0x3C, optionalHeader = 24, subsystemField = 68;
    if (!head.startsWith("MZ") || head.size() < peOffsetField + 4)
        return false;
    const qint64 pe = qFromLittleEndian<quint32>(head.constData() + peOffsetField);
    if (pe + optionalHeader + subsystemField + 2 > head.size() || head.mid(pe, 4) != QByteArray("PE\0\0", 4))
        return false;
    const quint16 machine = Field16(head, pe + 4);
    const quint16 characteristics = Field16(head, pe + 22);
    const quint16 magic = Field16(head, pe + optionalHeader);
    const quint16 subsystem = Field16(head, pe + optionalHeader + subsystemField);
    constexpr quint16 executableImage = 0x0002, dll = 0x2000;
    constexpr quint16 i386 = 0x014C, amd64 = 0x8664, pe32 = 0x010B, pe32Plus = 0x020B;
    constexpr quint16 windowsGui = 2, windowsConsole = 3;
    // 32-bit x86 programs run on every 64-bit Windows, and only those beside this build's own.
#ifdef Q_PROCESSOR_X86_64
    const bool machineRuns = (machine == i386 && magic == pe32) || (machine == amd64 && magic == pe32Plus);
#else
    const bool machineRuns = machine == i386 && magic == pe32;
#endif
    return (characteristics & executableImage) && !(characteristics & dll) && machineRuns
           && (subsystem == windowsGui || subsystem == windowsConsole);
}
#else
// The processor this build runs on, as an ELF header names it.
#if defined(Q_PROCESSOR_X86_64)
constexpr quint16 ThisMachine = EM_X86_64;
#elif defined(Q_PROCESSOR_X86_32)
constexpr quint16 ThisMachine = EM_386;
#elif defined(Q_PROCESSOR_ARM_64)
constexpr quint16 ThisMachine = EM_AARCH64;
#elif defined(Q_PROCESSOR_ARM_32)
constexpr quint16 ThisMachine = EM_ARM;
#else
constexpr quint16 ThisMachine = EM_NONE;  // not told apart here: any processor passes
#endif

// An ELF executable (EXEC, or DYN as position-independent programs are) of this build's
// class, byte order and processor.
bool IsStartableProgram(const QByteArray& head)
{
    constexpr char thisClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
    if (!head.startsWith(ELFMAG) || head.size() < 20 || head[EI_CLASS] != thisClass
        || head[EI_DATA] != (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? ELFDATA2LSB : ELFDATA2MSB))
        return false;
    const quint16 type = qFromUnaligned<quint16>(head.constData() + 16);
    const quint16 machine = qFromUnaligned<quint16>(head.constData() + 18);
    return (type == ET_EXEC || type == ET_DYN) && (ThisMachine == EM_NONE || machine == ThisMachine);
}
#endif

}  // namespace

QString UpdateQueryAddress(const QString& baseUrl)
{
    return baseUrl + QStringLiteral("/morvantil/update.php?v=") + VersionText();
}

bool IsDownloadAddress(const QString& answer)
{
    return answer.startsWith(QStringLiteral("http"), Qt::CaseSensitive);
}

bool IsProgramForThisPlatform(const QByteArray& head)
{
#ifndef Q_OS_WIN
    if (head.startsWith("#!"))
        return true;
#endif
    return IsStartableProgram(head);
}

bool IsNewerVersion(const QString& candidate, const QString& running)
{
    const QStringList a = candidate.split(u'.');
    const QStringList b = running.split(u'.');
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const qulonglong x = a.value(i).toULongLong();
        const qulonglong y = b.value(i).toULongLong();
        if (x != y)
            return x > y;
    }
    return false;
}
