#include "core/platform/win32/Win32Api.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

// In the static MinGW build a thread of ours that ends after Qt's regular expressions gave
// it a JIT stack crashes in PCRE's stack free (seen at the end of the update's download).
// Without the JIT no such stack exists; the few patterns the program matches do not need
// its speed. Set before main, before Qt reads it at the first pattern.
const bool regexpJitOff = [] {
    if (!std::getenv("QT_ENABLE_REGEXP_JIT"))
        _putenv_s("QT_ENABLE_REGEXP_JIT", "0");
    return true;
}();

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// The path in the \\?\ form, which the wide calls take at any length. It is passed on
// untouched, so it is first resolved as a plain call would resolve it (relative parts,
// separators, doubled ones, trailing blanks), by the call that does that at any length.
std::wstring Extended(const std::wstring& path)
{
    if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\"))
        return path;
    std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD length = full.empty() ? 0 : GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return path;
    full.resize(length);
    if (StartsWith(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The form the rest of the program and the operator know: without the \\?\ prefix.
std::wstring Plain(const std::wstring& path)
{
    if (StartsWith(path, L"\\\\?\\UNC\\"))
        return L"\\\\" + path.substr(8);
    if (StartsWith(path, L"\\\\?\\"))
        return path.substr(4);
    return path;
}

std::wstring Wide(const std::string& utf8)
{
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), int(wide.size()));
    return wide;
}

}  // namespace

std::wstring Win32ShortPathName(const std::wstring& longPath)
{
    const std::wstring path = Extended(longPath);
    std::wstring buffer(MAX_PATH, L'\0');
    // A buffer too small is answered with the size needed; the path may change meanwhile.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n = GetShortPathNameW(path.c_str(), buffer.data(), DWORD(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return Plain(buffer);
        }
        buffer.assign(n, L'\0');
    }
    return {};
}

bool Win32IsOrdinaryVisibleFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(Extended(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    constexpr DWORD notOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & notOrdinary) == 0;
}

bool Win32AppendToFile(const std::wstring& path, const std::string& bytes)
{
    // FILE_APPEND_DATA without FILE_WRITE_DATA: the system puts every write at the end.
    // Writing at an end looked up first (a seek) would overwrite another program's line.
    // A folder does not open like this; a pipe or a device is not a file on a disk.
    const HANDLE file = CreateFileW(Extended(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = GetFileType(file) == FILE_TYPE_DISK
                       && WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr)
                       && written == bytes.size();
    CloseHandle(file);
    return whole;
}

std::optional<std::string> Win32AnsiExactly(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    // A system whose ANSI code page is UTF-8 holds every character, and takes neither flag.
    const UINT codePage = GetACP();
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL replaced = FALSE;
    BOOL* const usedDefault = utf8 ? nullptr : &replaced;
    const int size = WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), nullptr, 0, nullptr, usedDefault);
    if (size <= 0 || replaced)
        return std::nullopt;
    std::string bytes(size, '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), bytes.data(), size, nullptr, usedDefault) != size
        || replaced)
        return std::nullopt;
    // And back: only what reads as the same text has been held exactly.
    std::wstring back(MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, back.data(), int(back.size()));
    if (back != text)
        return std::nullopt;
    return bytes;
}

std::vector<std::string> Win32LogicalDrives()
{
    std::vector<std::string> drives;
    const DWORD mask = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if (mask & (DWORD(1) << letter))
            drives.push_back(std::string{char('a' + letter), ':'});
    }
    return drives;
}

bool Win32DriveReady(const std::string& drive)
{
    if (drive.size() < 2 || drive[1] != ':')
        return false;
    const std::wstring root{wchar_t(drive[0]), L':', L'\\'};
    // Without this an empty floppy or card reader asks the user to insert a disk.
    DWORD previousMode = 0;
    const bool quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode) != 0;
    const BOOL ready = GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr,
                                             nullptr, nullptr, 0);
    if (quiet)
        SetThreadErrorMode(previousMode, nullptr);
    return ready != 0;
}

unsigned long Win32ActiveBorderColour()
{
    return GetSysColor(COLOR_ACTIVEBORDER);
}

bool Win32StartProgram(const std::string& commandLine)
{
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring command = Wide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void Win32AttachParentConsole()
{
    const auto unset = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE;
    };
    // Redirected output (a file, a pipe) is kept where it was sent.
    const bool outUnset = unset(STD_OUTPUT_HANDLE);
    const bool errUnset = unset(STD_ERROR_HANDLE);
    if (!(outUnset || errUnset) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (outUnset && std::freopen("CONOUT$", "w", stdout))
        SetStdHandle(STD_OUTPUT_HANDLE, CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                    FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (errUnset && std::freopen("CONOUT$", "w", stderr))
        SetStdHandle(STD_ERROR_HANDLE, CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                   FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
}

bool Win32WriteConsoleLine(bool error, const std::wstring& text)
{
    const HANDLE handle = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return false;
    DWORD written = 0;
    return WriteConsoleW(handle, text.c_str(), DWORD(text.size()), &written, nullptr) != 0;
}

namespace {
void (*consoleBreakHandler)() = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || !consoleBreakHandler)
        return FALSE;
    consoleBreakHandler();
    return TRUE;
}
}  // namespace

void Win32OnConsoleBreak(void (*handler)())
{
    consoleBreakHandler = handler;
    SetConsoleCtrlHandler(OnConsoleControl, handler != nullptr);
}

void* Win32OpenHeld(const std::wstring& path)
{
    // Others may read it (the loader starting the installer does), nothing more.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

long long Win32ReadHeld(void* handle, char* buffer, long long size)
{
    DWORD read = 0;
    const DWORD wanted = DWORD(size > 1 << 30 ? 1 << 30 : size);
    return ReadFile(static_cast<HANDLE>(handle), buffer, wanted, &read, nullptr) ? (long long)read : -1;
}

void Win32CloseHeld(void* handle)
{
    if (handle)
        CloseHandle(static_cast<HANDLE>(handle));
}

bool Win32ReplaceFile(const std::wstring& from, const std::wstring& to)
{
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
