#include "sources.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "civil_time.h"
#include "platform.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view LOG_SUFFIX = "_log";
constexpr std::string_view DAILY_SUFFIX = ".txt";

struct Search {
    std::map<std::string, Source> sources;  // byte order of the source name
    std::vector<InputProblem> problems;
    size_t filesFound = 0;
};

std::string ToUtf8(const fs::path& p) { return p.u8string(); }

std::string JoinPlace(const std::string& place, const std::string& name)
{
    return place.empty() ? name : place + "/" + name;
}

// Absolute, without "." or ".." or a separator at the end.
fs::path FullPath(const fs::path& path)
{
    std::error_code ignored;
    fs::path full = fs::absolute(path, ignored).lexically_normal();
    return full.filename().empty() ? full.parent_path() : full;
}

// The name the argument itself goes by: "." is the current folder's name.
std::string FindRootName(const std::string& arg) { return ToUtf8(FullPath(fs::u8path(arg)).filename()); }

// The name of the folder that holds this one: a log folder's PC when the
// argument was the PC's folder or the log folder itself.
std::string HoldingFolderName(const fs::path& path) { return ToUtf8(FullPath(path).parent_path().filename()); }

void AddProblem(Search& search, const std::string& path, const std::string& display, ProblemKind kind,
                const char* message, bool failed)
{
    search.problems.push_back({path, Problem{display, 0, message, kind}, failed});
}

// A file or folder that could not be listed or read is always a failure.
void AddFileError(Search& search, const std::string& path, const std::string& display, FileError error,
                  FileAction action)
{
    search.problems.push_back(
        {path, Problem{display, 0, DescribeFileError(error, action), ProblemKind::FileError, error, action}, true});
}

void AddFile(Search& search, const SourceIdentity& identity, int64_t day, std::string path, const std::string& name)
{
    ++search.filesFound;
    Source& source = search.sources[identity.source];
    source.identity = identity;
    source.files.push_back({day, std::move(path), identity.source + "/" + name});
}

// A listing in byte order of the UTF-8 names, the same on every platform.
FileError ListSorted(const fs::path& folder, std::vector<FolderEntry>& entries)
{
    FileError error = ListFolder(ToUtf8(folder), entries);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return error;
}

// relative: the folder's path from the argument, '/'-separated, empty for the argument itself;
// place: its parent's.
void SearchFolder(Search& search, const fs::path& folder, const std::string& relative, const std::string& place,
                  const std::string& name)
{
    std::vector<FolderEntry> entries;
    FileError error = ListSorted(folder, entries);
    if (error != FileError::None) {
        AddFileError(search, ToUtf8(folder), relative.empty() ? name : relative, error, FileAction::List);
        return;
    }
    bool isLogFolder = IsLogFolderName(name);
    SourceIdentity identity = isLogFolder ? IdentifySource(place, name) : SourceIdentity{};
    if (isLogFolder && place.empty()) identity.place = HoldingFolderName(folder);
    for (const FolderEntry& entry : entries) {
        fs::path path = folder / fs::u8path(entry.name);
        int64_t day = 0;
        bool daily = isLogFolder && ParseDailyFileName(entry.name, day);
        if (daily && entry.kind != EntryKind::File) {
            // Reading it could wait forever (a pipe) or never end (a device).
            AddFileError(search, ToUtf8(path), identity.source + "/" + entry.name, FileError::NotAFile,
                         FileAction::Read);
        } else if (entry.kind == EntryKind::Folder) {
            SearchFolder(search, path, JoinPlace(relative, entry.name), relative, entry.name);
        } else if (daily) {
            AddFile(search, identity, day, ToUtf8(path), entry.name);
        } else if (isLogFolder && HasDailyFileShape(entry.name)) {
            AddProblem(search, ToUtf8(path), identity.source + "/" + entry.name, ProblemKind::NoSuchDate,
                       "no such date; file ignored", false);
        }
    }
}

void AddDailyFileGiven(Search& search, const std::string& arg)
{
    fs::path path = fs::u8path(arg);
    std::string name = ToUtf8(path.filename());
    int64_t day = 0;
    if (!ParseDailyFileName(name, day)) {
        AddProblem(search, arg, name, ProblemKind::NotDailyFile,
                   "not a daily log file (YYYYMMDD.txt with a real date)", true);
        return;
    }
    fs::path folder = FullPath(path).parent_path();
    SourceIdentity identity = IdentifySource("", ToUtf8(folder.filename()));
    identity.place = HoldingFolderName(folder);
    AddFile(search, identity, day, arg, name);
}

void AddArgument(Search& search, const std::string& arg)
{
    EntryKind kind = EntryKind::Other;
    FileError error = FindKind(arg, kind);
    if (error == FileError::None && kind == EntryKind::File) {
        AddDailyFileGiven(search, arg);
    } else if (error == FileError::None && kind == EntryKind::Folder) {
        size_t problems = search.problems.size(), files = search.filesFound;
        SearchFolder(search, fs::u8path(arg), "", "", FindRootName(arg));
        if (search.filesFound == files && search.problems.size() == problems)
            AddProblem(search, arg, FindRootName(arg), ProblemKind::NoDailyFiles,
                       "no daily log files (<user>_log/YYYYMMDD.txt) found", false);
    } else {
        if (error == FileError::None) error = FileError::NotAFile;
        AddFileError(search, arg, FindRootName(arg), error, FileAction::Read);
    }
}

// Copies of one date in the order they were reached; one file reached twice is read once.
void OrderFiles(std::vector<SourceFile>& files)
{
    std::stable_sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) { return a.day < b.day; });
    std::vector<SourceFile> kept;
    std::vector<fs::path> seen;  // the full paths of the current date
    for (SourceFile& file : files) {
        if (!kept.empty() && kept.back().day != file.day) seen.clear();
        fs::path full = FullPath(fs::u8path(file.path));
        if (std::find(seen.begin(), seen.end(), full) != seen.end()) continue;
        seen.push_back(full);
        kept.push_back(std::move(file));
    }
    files = std::move(kept);
}

}  // namespace

bool HasDailyFileShape(std::string_view name)
{
    if (name.size() != 8 + DAILY_SUFFIX.size() || name.substr(8) != DAILY_SUFFIX) return false;
    return std::all_of(name.begin(), name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; });
}

bool ParseDailyFileName(std::string_view name, int64_t& day)
{
    return HasDailyFileShape(name) && ParseDateFields(name.substr(0, 4), name.substr(4, 2), name.substr(6, 2), day);
}

bool IsLogFolderName(std::string_view name)
{
    return name.size() > LOG_SUFFIX.size() && name.substr(name.size() - LOG_SUFFIX.size()) == LOG_SUFFIX;
}

std::string DeriveUser(std::string_view folderName)
{
    return std::string(IsLogFolderName(folderName) ? folderName.substr(0, folderName.size() - LOG_SUFFIX.size())
                                                   : folderName);
}

SourceIdentity IdentifySource(const std::string& place, const std::string& folderName)
{
    return SourceIdentity{JoinPlace(place, folderName), DeriveUser(folderName), place};
}

Discovery DiscoverSources(const std::vector<std::string>& paths)
{
    Search search;
    for (const std::string& arg : paths) AddArgument(search, arg);
    Discovery result;
    for (auto& kv : search.sources) {
        OrderFiles(kv.second.files);
        result.sources.push_back(std::move(kv.second));
    }
    result.problems = std::move(search.problems);
    return result;
}

std::string FindLogFolderHolding(const std::vector<Source>& sources, const std::string& path)
{
    fs::path inside = FullPath(fs::u8path(path));
    fs::path previous;
    for (const Source& source : sources) {
        for (const SourceFile& file : source.files) {
            fs::path folder = FullPath(fs::u8path(file.path)).parent_path();
            if (folder == previous || !IsLogFolderName(ToUtf8(folder.filename()))) continue;
            previous = folder;
            if (std::mismatch(folder.begin(), folder.end(), inside.begin(), inside.end()).first == folder.end())
                return ToUtf8(fs::u8path(file.path).parent_path());
        }
    }
    return {};
}
