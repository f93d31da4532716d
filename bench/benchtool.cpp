// Measures from inside Wine: start-up time to the hidden window, peak private
// memory, and log lines per second through the program's own writer against a
// bare open-append-close loop writing the same bytes.
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <wchar.h>

#include "log/log_file.h"

static double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

// startup <exe> <window class> [argument]: ms from CreateProcess until the
// window exists, then the peak private bytes after it has settled; closes it.
static int Startup(const wchar_t* exe, const wchar_t* cls, const wchar_t* argument)
{
    wchar_t folder[MAX_PATH];
    lstrcpynW(folder, exe, MAX_PATH);
    wchar_t* slash = wcsrchr(folder, L'\\');
    if (slash) *slash = 0;
    wchar_t commandLine[2 * MAX_PATH];
    _snwprintf(commandLine, ARRAYSIZE(commandLine), L"\"%ls\" %ls", exe, argument);
    commandLine[ARRAYSIZE(commandLine) - 1] = 0;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    double start = Now();
    if (!CreateProcessW(exe, commandLine, NULL, NULL, FALSE, 0, NULL, folder, &si, &pi)) return 1;
    HWND window = NULL;
    while (!(window = FindWindowW(cls, NULL))) {
        if (Now() - start > 30) return 1;
        Sleep(0);
    }
    double elapsed = Now() - start;
    Sleep(3000);
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(pi.hProcess, (PROCESS_MEMORY_COUNTERS*)&counters, sizeof(counters));
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(pi.hProcess, 30000);
    printf("startup_ms=%.2f\npeak_private_bytes=%llu\nprivate_bytes=%llu\n", elapsed * 1000.0,
           (unsigned long long)counters.PeakPagefileUsage, (unsigned long long)counters.PrivateUsage);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

// loglines <count>: the program's WriteLogLine against a bare loop.
static int LogLines(int count)
{
    static const wchar_t text[] = L"システムがサスペンドから復帰しました。";
    double start = Now();
    for (int i = 0; i < count; ++i) WriteLogLine(text);
    double writer = Now() - start;
    if (!LogFolderPath[0]) return 1;

    // The same bytes, appended by a bare open-append-close loop.
    SYSTEMTIME now;
    GetLocalTime(&now);
    LogTime t = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    wchar_t line[LOG_LINE_CHARS];
    FormatLogLine(line, LOG_LINE_CHARS, t, text);
    unsigned char bytes[LOG_BYTES_MAX];
    size_t n = EncodeLogLine(line, LOG_ENCODING_UTF8, bytes, sizeof(bytes));
    wchar_t path[MAX_PATH];
    _snwprintf(path, MAX_PATH, L"%ls\\bare.txt", LogFolderPath);
    path[MAX_PATH - 1] = 0;
    start = Now();
    for (int i = 0; i < count; ++i) {
        HANDLE f = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD done;
        WriteFile(f, bytes, (DWORD)n, &done, NULL);
        CloseHandle(f);
    }
    double bare = Now() - start;

    // The bare loop plus the first-bytes read and the byte-range guard the
    // writer takes: what is left between this and the writer is the writer's.
    start = Now();
    for (int i = 0; i < count; ++i) {
        HANDLE f = CreateFileW(path, FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        OVERLAPPED range = {};
        range.OffsetHigh = 0x7FFFFFFF;
        LockFileEx(f, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range);
        unsigned char first[3];
        DWORD done;
        ReadFile(f, first, sizeof(first), &done, NULL);
        WriteFile(f, bytes, (DWORD)n, &done, NULL);
        UnlockFileEx(f, 0, 1, 0, &range);
        CloseHandle(f);
    }
    double guarded = Now() - start;
    printf("writer_lines_per_s=%.1f\nbare_lines_per_s=%.1f\nguarded_bare_lines_per_s=%.1f\n", count / writer,
           count / bare, count / guarded);
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if ((argc == 4 || argc == 5) && !wcscmp(argv[1], L"startup"))
        return Startup(argv[2], argv[3], argc == 5 ? argv[4] : L"");
    if (argc == 3 && !wcscmp(argv[1], L"loglines")) return LogLines(_wtoi(argv[2]));
    fprintf(stderr, "usage: benchtool startup <exe> <class> [argument] | loglines <count>\n");
    return 2;
}
