#include "log/log_file.h"

#include <windows.h>
#include <shlwapi.h>
#include <string.h>

#include "log/format_bounded.h"

wchar_t LogFolderPath[PATH_CHARS];

int32_t FormatDailyFilePath(wchar_t* out, size_t capacity, const wchar_t* folder, const LogTime& t)
{
    return FormatBounded(out, capacity, L"%s\\%04d%02d%02d.txt", folder, t.year, t.month, t.day);
}

int32_t FormatLogLine(wchar_t* out, size_t capacity, const LogTime& t, const wchar_t* text)
{
    return FormatBounded(out, capacity, L"%04d/%02d/%02d %02d:%02d:%02d - %s\n",
                         t.year, t.month, t.day, t.hour, t.minute, t.second, text);
}

LogEncoding ChooseLogEncoding(uint64_t fileSize, const unsigned char* firstBytes, size_t firstCount, bool readable)
{
    if (fileSize == 0) return LOG_ENCODING_UTF8_WITH_MARK;
    if (!readable) return LOG_ENCODING_UTF8;
    if (firstCount >= 3 && firstBytes[0] == 0xEF && firstBytes[1] == 0xBB && firstBytes[2] == 0xBF)
        return LOG_ENCODING_UTF8;
    if (firstCount >= 2 && firstBytes[0] == 0xFF && firstBytes[1] == 0xFE) return LOG_ENCODING_UTF16LE;
    if (firstCount >= 2 && firstBytes[0] == 0xFE && firstBytes[1] == 0xFF) return LOG_ENCODING_REFUSED;
    return LOG_ENCODING_UTF8;
}

size_t EncodeLogLine(const wchar_t* line, LogEncoding encoding, unsigned char* out, size_t capacity)
{
    wchar_t wide[2 * LOG_LINE_CHARS];
    size_t units = 0;
    for (const wchar_t* p = line; *p; ++p) {
        if (units + 2 > ARRAYSIZE(wide)) return 0;
        if (*p == L'\n') wide[units++] = L'\r';
        wide[units++] = *p;
    }
    size_t used = 0;
    switch (encoding) {
    case LOG_ENCODING_REFUSED:
        return 0;
    case LOG_ENCODING_UTF16LE:
        if (units * 2 > capacity) return 0;
        for (size_t i = 0; i < units; ++i) {
            out[used++] = (unsigned char)(wide[i] & 0xFF);
            out[used++] = (unsigned char)((wide[i] >> 8) & 0xFF);
        }
        return used;
    case LOG_ENCODING_UTF8_WITH_MARK:
        if (capacity < 3) return 0;
        out[0] = 0xEF;
        out[1] = 0xBB;
        out[2] = 0xBF;
        used = 3;
        break;
    case LOG_ENCODING_UTF8:
        break;
    }
    if (units == 0) return used;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, (int)units, (char*)out + used,
                                    (int)(capacity - used), NULL, NULL);
    return bytes > 0 ? used + (size_t)bytes : 0;
}

// Appends from several processes (this user's instance in another logon
// session, our own test writer) are serialised with a byte-range lock far
// beyond any real file size: Windows serialises append-only writes but Wine
// does not. The wait is bounded so the GUI thread never hangs on someone
// else's lock; past it the line is written anyway.
static const DWORD APPEND_LOCK_OFFSET_HIGH = 0x7FFFFFFF;
static const ULONGLONG APPEND_LOCK_WAIT_MS = 100;

static bool LockAppendRange(HANDLE file, OVERLAPPED* range)
{
    ZeroMemory(range, sizeof(*range));
    range->OffsetHigh = APPEND_LOCK_OFFSET_HIGH;
    ULONGLONG start = GetTickCount64();
    for (;;) {
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, range)) return true;
        DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) return false;
        if (GetTickCount64() - start >= APPEND_LOCK_WAIT_MS) return false;
        Sleep(1);
    }
}

static HANDLE OpenForAppend(const wchar_t* path, DWORD extraAccess)
{
    // Append-only access: every write lands at the then end of the file.
    return CreateFileW(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE | extraAccess,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

AppendResult AppendLineToFile(const wchar_t* path, const wchar_t* line)
{
    bool readable = true;
    HANDLE file = OpenForAppend(path, FILE_READ_DATA);
    if (file == INVALID_HANDLE_VALUE) {
        readable = false;
        file = OpenForAppend(path, 0);
        if (file == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_PATH_NOT_FOUND ? APPEND_NO_FOLDER : APPEND_FAILED;
    }
    OVERLAPPED range;
    bool locked = LockAppendRange(file, &range);

    // The first bytes are read under the lock, so a file that another writer
    // is just creating gets exactly one mark. Reading them also tells an
    // empty file; only a write-only handle needs to ask for the size. A new
    // handle stands at offset 0, so a plain read gets them (under Wine a read
    // at an explicit offset costs a server round trip).
    uint64_t size = 0;
    unsigned char first[3] = {0, 0, 0};
    DWORD firstCount = 0;
    if (readable) {
        if (ReadFile(file, first, sizeof(first), &firstCount, NULL))
            size = firstCount;
        else
            readable = false;
    }
    if (!readable) {
        LARGE_INTEGER bytes;
        size = GetFileSizeEx(file, &bytes) ? (uint64_t)bytes.QuadPart : 1;
    }
    LogEncoding encoding = ChooseLogEncoding(size, first, firstCount, readable);

    unsigned char bytes[LOG_BYTES_MAX];
    size_t count = EncodeLogLine(line, encoding, bytes, sizeof(bytes));
    bool written = false;
    if (count > 0) {
        // Without write access (append only) every write goes to the end of
        // the file, whatever the read above did to the position.
        DWORD done = 0;
        written = WriteFile(file, bytes, (DWORD)count, &done, NULL) && done == count;
    }
    if (locked) UnlockFileEx(file, 0, 1, 0, &range);
    CloseHandle(file);
    return written ? APPEND_WRITTEN : APPEND_FAILED;
}

bool EnsureLogFolder()
{
    if (LogFolderPath[0]) return true;
    wchar_t exeFolder[PATH_CHARS];
    wchar_t userName[USER_NAME_CHARS];
    wchar_t folder[PATH_CHARS];
    // A path the platform cut short would name some other folder: give up.
    if (!GetExecutablePath(exeFolder, ARRAYSIZE(exeFolder))) return false;
    PathRemoveFileSpecW(exeFolder);
    if (!GetSanitizedUserName(userName, ARRAYSIZE(userName))) return false;
    if (FormatBounded(folder, ARRAYSIZE(folder), L"%s\\%s_log", exeFolder, userName) < 0) return false;
    if (!CreateDirectoryW(folder, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    memcpy(LogFolderPath, folder, sizeof(folder));
    return true;
}

void WriteLogLine(const wchar_t* text)
{
    SYSTEMTIME now;
    GetLocalTime(&now);  // one reading for the file name and the line
    if (!LogFolderPath[0] && !EnsureLogFolder()) return;
    LogTime t = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    wchar_t path[PATH_CHARS];
    wchar_t line[LOG_LINE_CHARS];
    if (FormatDailyFilePath(path, ARRAYSIZE(path), LogFolderPath, t) < 0) return;
    if (FormatLogLine(line, ARRAYSIZE(line), t, text) < 0) return;  // dropped whole, never cut
    // The folder was removed while we run: make it again where it was and
    // try the line once more. Another instance making it meanwhile is as
    // good; a file of its name is not, and the second open fails as the first.
    if (AppendLineToFile(path, line) == APPEND_NO_FOLDER &&
        (CreateDirectoryW(LogFolderPath, NULL) || GetLastError() == ERROR_ALREADY_EXISTS))
        AppendLineToFile(path, line);
}
