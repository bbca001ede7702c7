#pragma once
// Thin wrappers over the Windows calls the program needs. Only standard types cross this
// header, so callers built with Qt never see <windows.h> and its macros. Paths go in and out
// as UTF-16 and reach only the wide calls, in the \\?\ form that is not bound to MAX_PATH.
#include <optional>
#include <string>
#include <vector>

// The short (8.3) form of an existing path; "" when the call fails. A part that has no short
// name (a volume without 8.3 names) keeps its long one.
std::wstring Win32ShortPathName(const std::wstring& longPath);

// True for a file that is neither a folder nor marked hidden or system.
bool Win32IsOrdinaryVisibleFile(const std::wstring& path);

// Appends the bytes in one write to the file at `path`, made if missing, when it is a file
// on a disk. Opened for appending only: each write lands whole at the end of the file as it
// is then, whatever other programs append at the same moment. False when nothing was written.
bool Win32AppendToFile(const std::wstring& path, const std::string& bytes);

// The text in the ANSI code page, or nothing when the code page cannot hold every character
// of it exactly: no best-fit look-alike ("Ł" as "L"), no '?' in its place.
std::optional<std::string> Win32AnsiExactly(const std::wstring& text);

// The machine's drives in letter order, named as a drive list shows them: "a:", "c:"...
std::vector<std::string> Win32LogicalDrives();

// True when the drive ("c:" or "c:\...") can be read now: an empty removable drive or a
// disconnected network drive is not ready. Never brings up the system's "insert a disk" box.
bool Win32DriveReady(const std::string& drive);

// The system colour of an active window's border, as 0x00BBGGRR.
unsigned long Win32ActiveBorderColour();

// Starts a program (the command line in UTF-8) from the current directory in a normal window
// with the focus and returns without waiting for it; false when it could not be started.
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

// Renames `from` to `to` in one step, in place of a file of that name (or of the link itself,
// never its target); false when it cannot.
bool Win32ReplaceFile(const std::wstring& from, const std::wstring& to);
