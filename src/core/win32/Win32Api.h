#pragma once
// Thin wrappers over the Windows calls the program needs. Only standard types cross this
// header, so callers built with Qt never see <windows.h> and its macros.
#include <string>
#include <vector>

// The short (8.3) form of an existing path, in the ANSI code page; "" when the call fails
// or the short form does not fit in 255 characters.
std::string Win32ShortPathName(const std::string& longPath);

// True for a file that is neither a folder nor marked hidden or system.
bool Win32IsOrdinaryVisibleFile(const std::wstring& path);

// The machine's drives in letter order, named as a drive list shows them: "a:", "c:"...
std::vector<std::string> Win32LogicalDrives();

// True when the drive ("c:" or "c:\...") can be read now: an empty removable drive or a
// disconnected network drive is not ready. Never brings up the system's "insert a disk" box.
bool Win32DriveReady(const std::string& drive);

// The system colour of an active window's border, as 0x00BBGGRR.
unsigned long Win32ActiveBorderColour();

// Starts a program from the current directory in a normal window with the focus and
// returns without waiting for it; false when it could not be started.
bool Win32StartProgram(const std::string& commandLine);

// A program built for windows has no console: when its parent has one, its standard output
// and error go there from now on, unless they were already redirected elsewhere.
void Win32AttachParentConsole();

// Writes the text to the console that standard output (or error) is, in UTF-16; false when
// that stream is not a console (a file, a pipe, nothing).
bool Win32WriteConsoleLine(bool error, const std::wstring& text);

// Calls `handler` (on a thread of the system's) for Ctrl+C and Ctrl+Break on the console,
// instead of ending the process; null puts the default back.
void Win32OnConsoleBreak(void (*handler)());

// Opens a file for reading so that nobody can write, rename or delete it while it stays
// open; null when it cannot be opened.
void* Win32OpenHeld(const std::wstring& path);
// Up to `size` bytes from it; 0 at its end, -1 on a failure.
long long Win32ReadHeld(void* handle, char* buffer, long long size);
void Win32CloseHeld(void* handle);
