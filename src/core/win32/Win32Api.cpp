#include "core/win32/Win32Api.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>

std::string Win32ShortPathName(const std::string& longPath)
{
    constexpr DWORD size = 255;
    char buffer[size];
    const DWORD n = GetShortPathNameA(longPath.c_str(), buffer, size);
    // A result of size or more is the length the short form would need: it did not fit.
    if (n == 0 || n >= size)
        return std::string();
    return std::string(buffer, n);
}

bool Win32IsOrdinaryVisibleFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    constexpr DWORD notOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & notOrdinary) == 0;
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
    const std::string root{drive[0], ':', '\\'};
    // Without this an empty floppy or card reader asks the user to insert a disk.
    DWORD previousMode = 0;
    const bool quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode) != 0;
    const BOOL ready = GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr,
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
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
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
        SetStdHandle(STD_OUTPUT_HANDLE, CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                    FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (errUnset && std::freopen("CONOUT$", "w", stderr))
        SetStdHandle(STD_ERROR_HANDLE, CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
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
