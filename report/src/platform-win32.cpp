#include "platform.h"

#include <cstdio>
#include <cstring>
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "civil_time.h"
#include "double_click.h"
#include "utf8.h"

namespace {

std::wstring Widen(std::string_view utf8)
{
    std::u16string utf16 = Utf8ToUtf16(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(const wchar_t* text) { return Utf16ToUtf8(std::u16string(text, text + wcslen(text))); }

// Absolute and in the long form, so that neither MAX_PATH nor the current
// folder's length limits it: \\?\C:\..., \\?\UNC\server\share\...
std::wstring LongPath(const std::string& utf8)
{
    std::wstring path = Widen(utf8);
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

FileError ClassifyError(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return FileError::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return FileError::Denied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return FileError::Exists;
    default: return FileError::Other;
    }
}

FileError LastError() { return ClassifyError(GetLastError()); }

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// A link (a reparse point) that is a folder is not followed; one to a file is
// opened as the file.
EntryKind KindOfAttributes(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return attributes & FILE_ATTRIBUTE_REPARSE_POINT ? EntryKind::Other : EntryKind::Folder;
    return attributes & FILE_ATTRIBUTE_DEVICE ? EntryKind::Other : EntryKind::File;
}

}  // namespace

FileError OpenToRead(const std::string& path, FileHandle& file, uint64_t& size)
{
    std::wstring name = LongPath(path);
    // Sharing write and delete: denying them would make the tray program lose its lines.
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        DWORD attributes = GetFileAttributesW(name.c_str());
        bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        return folder ? FileError::NotAFile : ClassifyError(code);
    }
    LARGE_INTEGER length{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &length)) {
        CloseHandle(handle);
        return FileError::NotAFile;
    }
    file = reinterpret_cast<FileHandle>(handle);
    size = (uint64_t)length.QuadPart;
    return FileError::None;
}

FileError ReadFrom(FileHandle file, char* buffer, size_t capacity, size_t& got)
{
    DWORD read = 0;
    DWORD want = capacity < MAXDWORD ? (DWORD)capacity : MAXDWORD;
    if (!ReadFile(AsHandle(file), buffer, want, &read, nullptr)) return LastError();
    got = read;
    return FileError::None;
}

void CloseFile(FileHandle file) { CloseHandle(AsHandle(file)); }

FileError CreateNewFile(const std::string& path, FileHandle& file)
{
    HANDLE handle = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = reinterpret_cast<FileHandle>(handle);
    return FileError::None;
}

FileError WriteTo(FileHandle file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD want = bytes.size() < MAXDWORD ? (DWORD)bytes.size() : MAXDWORD, written = 0;
        if (!WriteFile(AsHandle(file), bytes.data(), want, &written, nullptr)) return LastError();
        if (written == 0) return FileError::Other;
        bytes.remove_prefix(written);
    }
    return FileError::None;
}

FileError CloseWritten(FileHandle file) { return CloseHandle(AsHandle(file)) ? FileError::None : LastError(); }

FileError RenameOver(const std::string& from, const std::string& to)
{
    return MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), MOVEFILE_REPLACE_EXISTING) ? FileError::None
                                                                                                 : LastError();
}

void RemoveFile(const std::string& path) { DeleteFileW(LongPath(path).c_str()); }

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

FileError ListFolder(const std::string& path, std::vector<FolderEntry>& entries)
{
    entries.clear();
    std::wstring pattern = LongPath(path);
    pattern += pattern.empty() || pattern.back() != L'\\' ? L"\\*" : L"*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        // A drive's empty root has not even "." to find.
        return GetLastError() == ERROR_FILE_NOT_FOUND ? FileError::None : LastError();
    }
    FileError result = FileError::None;
    do {
        std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back({Narrow(found.cFileName), KindOfAttributes(found.dwFileAttributes)});
    } while (FindNextFileW(search, &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) result = LastError();
    FindClose(search);
    return result;
}

FileError FindKind(const std::string& path, EntryKind& kind)
{
    DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    // An argument that is a link to a folder is followed, as the user named it.
    kind = attributes & FILE_ATTRIBUTE_DIRECTORY ? EntryKind::Folder : KindOfAttributes(attributes);
    return FileError::None;
}

FileError MakeFolder(const std::string& path)
{
    std::wstring name = LongPath(path);
    if (CreateDirectoryW(name.c_str(), nullptr)) return FileError::None;
    DWORD code = GetLastError();
    DWORD attributes = GetFileAttributesW(name.c_str());
    bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return code == ERROR_ALREADY_EXISTS && folder ? FileError::None : ClassifyError(code);
}

void WriteStandardError(std::string_view utf8)
{
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode)) {
        std::wstring wide = Widen(utf8);
        DWORD written = 0;
        WriteConsoleW(console, wide.data(), (DWORD)wide.size(), &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {

// The folder of the running exe, as Windows names it (not in the long form).
std::string ExecutableFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD got = GetModuleFileNameW(nullptr, path.data(), (DWORD)path.size());
        if (got == 0) return {};
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);
    }
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : Narrow(path.substr(0, slash).c_str());
}

std::string EnvironmentValue(const wchar_t* name)
{
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return Narrow(value.c_str());
}

}  // namespace

Launch DescribeLaunch()
{
    // Explorer gives a console program a console of its own; in a command
    // prompt the prompt shares it.
    DWORD processes[2];
    SYSTEMTIME local{};
    GetLocalTime(&local);
    Launch launch;
    launch.ownConsole = GetConsoleProcessList(processes, 2) == 1;
    launch.exeFolder = ExecutableFolder();
    launch.localAppData = EnvironmentValue(L"LOCALAPPDATA");
    launch.now = DaysFromCivil(local.wYear, local.wMonth, local.wDay) * SECONDS_PER_DAY + local.wHour * 3600 +
                 local.wMinute * 60 + local.wSecond;
    return launch;
}

bool OpenWithDefaultProgram(const std::string& path)
{
    // A browser may take the verb through a COM handler, which needs COM started.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    HINSTANCE done = ShellExecuteW(nullptr, L"open", Widen(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com)) CoUninitialize();
    return reinterpret_cast<INT_PTR>(done) > 32;
}

void WaitForEnter()
{
    // A console gives its line at Enter; a pipe up to its end.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char line[256];
    DWORD got = 0;
    while (ReadFile(input, line, sizeof line, &got, nullptr) && got != 0 && !std::memchr(line, '\n', got)) {}
}
