#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "double_click.h"

namespace {

FileError ClassifyErrno(int code)
{
    switch (code) {
    case ENOENT:
    case ENOTDIR: return FileError::NotFound;
    case EACCES:
    case EPERM: return FileError::Denied;
    case EEXIST: return FileError::Exists;
    case EISDIR: return FileError::IsFolder;
    case ELOOP:  // a link that leads round in a circle
    case ENXIO: return FileError::NotAFile;  // a socket
    default: return FileError::Other;
    }
}

EntryKind KindOfMode(mode_t mode)
{
    return S_ISREG(mode) ? EntryKind::File : S_ISDIR(mode) ? EntryKind::Folder : EntryKind::Other;
}

// Most file systems give the kind in the listing; a link, or an entry whose
// kind is not given, costs a look of its own.
EntryKind KindOfEntry(int folder, const dirent& entry)
{
    struct stat info {};
    bool link = entry.d_type == DT_LNK;
    if (entry.d_type == DT_UNKNOWN) {
        if (fstatat(folder, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Other;
        if (!S_ISLNK(info.st_mode)) return KindOfMode(info.st_mode);
        link = true;
    }
    if (link)  // a file when it leads to one
        return fstatat(folder, entry.d_name, &info, 0) == 0 && S_ISREG(info.st_mode) ? EntryKind::File
                                                                                     : EntryKind::Other;
    return entry.d_type == DT_REG ? EntryKind::File : entry.d_type == DT_DIR ? EntryKind::Folder : EntryKind::Other;
}

}  // namespace

FileError OpenToRead(const std::string& path, FileHandle& file, uint64_t& size)
{
    // O_NONBLOCK: opening a pipe with no writer would wait for one forever.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return ClassifyErrno(errno);
    struct stat info {};
    FileError error = fstat(fd, &info) != 0    ? ClassifyErrno(errno)
                      : !S_ISREG(info.st_mode) ? FileError::NotAFile
                                               : FileError::None;
    if (error != FileError::None) {
        close(fd);
        return error;
    }
    file = fd;
    size = (uint64_t)info.st_size;
    return FileError::None;
}

FileError ReadFrom(FileHandle file, char* buffer, size_t capacity, size_t& got)
{
    for (;;) {
        ssize_t n = read((int)file, buffer, capacity);
        if (n >= 0) {
            got = (size_t)n;
            return FileError::None;
        }
        if (errno != EINTR) return ClassifyErrno(errno);
    }
}

void CloseFile(FileHandle file) { close((int)file); }

FileError CreateNewFile(const std::string& path, FileHandle& file)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return ClassifyErrno(errno);
    file = fd;
    return FileError::None;
}

FileError WriteTo(FileHandle file, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = write((int)file, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ClassifyErrno(errno);
        bytes.remove_prefix((size_t)n);
    }
    return FileError::None;
}

FileError CloseWritten(FileHandle file) { return close((int)file) == 0 ? FileError::None : ClassifyErrno(errno); }

FileError RenameOver(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0 ? FileError::None : ClassifyErrno(errno);
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

uint32_t CurrentProcessId() { return (uint32_t)getpid(); }

FileError ListFolder(const std::string& path, std::vector<FolderEntry>& entries)
{
    entries.clear();
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return ClassifyErrno(errno);
    FileError result = FileError::None;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) result = ClassifyErrno(errno);
            break;
        }
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        EntryKind kind = KindOfEntry(dirfd(dir), *entry);
        entries.push_back({std::move(name), kind});
    }
    closedir(dir);
    return result;
}

FileError FindKind(const std::string& path, EntryKind& kind)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return ClassifyErrno(errno);
    kind = KindOfMode(info.st_mode);
    return FileError::None;
}

FileError MakeFolder(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) == 0) return FileError::None;
    int code = errno;
    EntryKind kind = EntryKind::Other;
    if (code == EEXIST && FindKind(path, kind) == FileError::None && kind == EntryKind::Folder) return FileError::None;
    return ClassifyErrno(code);
}

void WriteStandardError(std::string_view utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}

bool StandardErrorIsTerminal() { return isatty(fileno(stderr)) != 0; }

// A terminal's programs share it; no system here gives a program a window of
// its own to close, so the double-click run never starts and nothing else of
// the launch is needed.
Launch DescribeLaunch() { return Launch{}; }

bool OpenWithDefaultProgram(const std::string&) { return false; }

void WaitForEnter()
{
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n') {}
}
