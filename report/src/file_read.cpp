#include "file_read.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// After the size known at the open: what a writer may have added since.
constexpr size_t GROWTH = 64 * 1024;

#ifdef _WIN32
std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(), n);
    return wide;
}

FileError ClassifyLastError(DWORD code)
{
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return FileError::NotFound;
    if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) return FileError::Denied;
    return FileError::Other;
}
#endif

}  // namespace

#ifdef _WIN32
FileError ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    // Sharing write and delete: denying them would make the tray program lose its lines.
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ClassifyLastError(GetLastError());
    LARGE_INTEGER size{};
    size_t want = GetFileSizeEx(file, &size) ? (size_t)size.QuadPart + 1 : GROWTH;
    bytes.reserve(want + GROWTH);
    FileError result = FileError::None;
    for (;; want = GROWTH) {
        size_t old = bytes.size();
        bytes.resize(old + want);
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + old, (DWORD)want, &got, nullptr)) {
            result = ClassifyLastError(GetLastError());
            got = 0;
        }
        bytes.resize(old + got);
        if (got == 0) break;
    }
    CloseHandle(file);
    if (result != FileError::None) bytes.clear();
    return result;
}
#else
FileError ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileError::NotFound
                       : errno == EACCES                  ? FileError::Denied
                                                          : FileError::Other;
    struct stat info {};
    size_t want = fstat(fd, &info) == 0 ? (size_t)info.st_size + 1 : GROWTH;
    bytes.reserve(want + GROWTH);
    FileError result = FileError::None;
    for (;; want = GROWTH) {
        size_t old = bytes.size();
        bytes.resize(old + want);
        ssize_t got = read(fd, bytes.data() + old, want);
        bytes.resize(old + (got > 0 ? (size_t)got : 0));
        if (got > 0 || (got < 0 && errno == EINTR)) continue;
        if (got < 0) result = FileError::Other;
        break;
    }
    close(fd);
    if (result != FileError::None) bytes.clear();
    return result;
}
#endif

bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string& reason)
{
    fs::path target = fs::u8path(path);
    fs::path partial = target;
    partial += ".part";
    // std::fopen takes narrow paths; on Windows they would pass through the ANSI code page.
#ifdef _WIN32
    FILE* out = _wfopen(partial.wstring().c_str(), L"wb");
#else
    FILE* out = std::fopen(partial.c_str(), "wb");
#endif
    if (out == nullptr) {
        reason = "cannot be created";
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    written = std::fclose(out) == 0 && written;
    std::error_code error;
    if (written) fs::rename(partial, target, error);
    if (!written || error) {
        fs::remove(partial, error);
        reason = written ? "cannot be replaced" : "cannot be written";
        return false;
    }
    return true;
}

const char* DescribeFileError(FileError error)
{
    switch (error) {
    case FileError::None: return "read";
    case FileError::NotFound: return "does not exist";
    case FileError::Denied: return "permission denied";
    case FileError::Other: break;
    }
    return "cannot be read";
}
