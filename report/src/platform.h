// The few calls that differ between Windows and other systems, kept thin:
// platform-win32.cpp and platform-posix.cpp, one chosen by the build. Paths are
// UTF-8 here as everywhere in the report; on Windows each one is made absolute
// and given in the long form (\\?\, \\?\UNC\), so that no length is too long.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_error.h"

// A descriptor or a handle.
using FileHandle = intptr_t;
constexpr FileHandle NO_FILE = -1;

// Opens a file to read without ever waiting (a pipe with no writer), leaving it
// open for others to write and delete, so that a running StillSentinel keeps
// appending while it is read. Anything but a regular file is NotAFile.
// size: its size at the open.
FileError OpenToRead(const std::string& path, FileHandle& file, uint64_t& size);
// Up to capacity bytes; got is 0 at the end.
FileError ReadFrom(FileHandle file, char* buffer, size_t capacity, size_t& got);
void CloseFile(FileHandle file);

// Makes a file that must not exist yet (Exists if it does), to write.
FileError CreateNewFile(const std::string& path, FileHandle& file);
FileError WriteTo(FileHandle file, std::string_view bytes);
// Closes a file made by CreateNewFile, with what went wrong in the closing.
FileError CloseWritten(FileHandle file);
// Renames from over to, which may exist; both in one folder.
FileError RenameOver(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);
uint32_t CurrentProcessId();

enum class EntryKind : uint8_t {
    File,    // a regular file, or a link to one
    Folder,  // a folder itself, not a link to one (a link back up would never end)
    Other,   // a pipe, a device, a socket, a link to a folder, a broken link
};
struct FolderEntry {
    std::string name;  // UTF-8
    EntryKind kind = EntryKind::Other;
};
// The folder's entries in the system's order, "." and ".." left out.
FileError ListFolder(const std::string& path, std::vector<FolderEntry>& entries);
// What the path is, links followed; kind is set only without an error.
FileError FindKind(const std::string& path, EntryKind& kind);
// Makes one folder; None if it is there already.
FileError MakeFolder(const std::string& path);

// Standard error: UTF-16 to a Windows console, which shows it whatever its code
// page; the UTF-8 bytes to a file, a pipe or any other system's terminal.
void WriteStandardError(std::string_view utf8);
bool StandardErrorIsTerminal();

// For a run started from Explorer (double_click.h). Elsewhere than on Windows
// no console is ever the program's own.
struct Launch;
Launch DescribeLaunch();
// Opens a file with the program the user chose for it (a page: the browser).
bool OpenWithDefaultProgram(const std::string& path);
// Until Enter is pressed, or standard input ends.
void WaitForEnter();

// The program (main.cpp), which each platform's entry point (entry-*.cpp) runs
// with the arguments after the program's name in UTF-8 (wmain on Windows, so that
// every path arrives whole whatever the code page).
struct LaunchActions;
int RunReport(const std::vector<std::string>& args, const Launch& launch, const LaunchActions& actions);
