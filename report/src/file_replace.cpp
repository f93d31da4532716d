#include "file_replace.h"

#include <chrono>
#include <cstdint>
#include <random>

namespace {

// Written in blocks, so that many small appends cost few system calls.
constexpr size_t BLOCK = 256 * 1024;
// Names to try before giving up: another run holding one is already unlikely.
constexpr int NAME_TRIES = 8;

// The process id keeps two runs on one machine apart; the random part, runs on
// two machines writing one shared folder, and a process id used again.
std::string TemporaryName(const std::string& path)
{
    static const char DIGITS[] = "0123456789abcdef";
    std::random_device device;
    uint32_t random = device() ^ (uint32_t)std::chrono::steady_clock::now().time_since_epoch().count();
    std::string part(8, '0');
    for (char& c : part) {
        c = DIGITS[random & 15];
        random >>= 4;
    }
    return path + "." + std::to_string(CurrentProcessId()) + "-" + part + ".part";
}

void Fail(ReplacingFile& out, FileError error, FileAction action)
{
    if (out.error != FileError::None) return;
    out.error = error;
    out.failedAt = action;
}

void WritePending(ReplacingFile& out)
{
    if (out.error == FileError::None && !out.pending.empty()) {
        FileError error = WriteTo(out.file, out.pending);
        if (error != FileError::None) Fail(out, error, FileAction::Write);
    }
    out.pending.clear();
}

bool Finish(ReplacingFile& out, std::string& reason)
{
    if (out.file != NO_FILE) {
        FileError closed = CloseWritten(out.file);
        if (closed != FileError::None) Fail(out, closed, FileAction::Write);
        out.file = NO_FILE;
    }
    if (out.error == FileError::None) {
        FileError renamed = RenameOver(out.temporary, out.path);
        EntryKind kind = EntryKind::Other;
        if (renamed != FileError::None && FindKind(out.path, kind) == FileError::None && kind == EntryKind::Folder)
            renamed = FileError::IsFolder;
        if (renamed != FileError::None) Fail(out, renamed, FileAction::Replace);
    }
    if (out.error == FileError::None) return true;
    if (!out.temporary.empty()) RemoveFile(out.temporary);
    reason = DescribeFileError(out.error, out.failedAt);
    return false;
}

}  // namespace

bool BeginReplacing(ReplacingFile& out, const std::string& path, std::string& reason)
{
    out = ReplacingFile{};
    out.path = path;
    FileError error = FileError::Exists;
    for (int i = 0; i < NAME_TRIES && error == FileError::Exists; ++i) {
        out.temporary = TemporaryName(path);
        error = CreateNewFile(out.temporary, out.file);
    }
    if (error == FileError::None) return true;
    out.temporary.clear();  // not this run's to remove
    Fail(out, error, FileAction::Create);
    reason = DescribeFileError(error, FileAction::Create);
    return false;
}

void AppendReplacing(ReplacingFile& out, std::string_view bytes)
{
    if (out.error != FileError::None) return;
    if (out.pending.size() + bytes.size() < BLOCK) {
        out.pending.append(bytes);
        return;
    }
    WritePending(out);
    if (bytes.size() >= BLOCK) {
        FileError error = WriteTo(out.file, bytes);
        if (error != FileError::None) Fail(out, error, FileAction::Write);
    } else {
        out.pending.assign(bytes);
    }
}

bool CommitReplacing(ReplacingFile& out, std::string& reason)
{
    WritePending(out);
    return Finish(out, reason);
}

void AbandonReplacing(ReplacingFile& out)
{
    std::string ignored;
    out.pending.clear();
    Fail(out, FileError::Other, FileAction::Write);
    Finish(out, ignored);
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string& reason)
{
    ReplacingFile out;
    if (!BeginReplacing(out, path, reason)) return false;
    AppendReplacing(out, bytes);
    return CommitReplacing(out, reason);
}
