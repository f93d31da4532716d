// Commands for the tray tests: popup menus of a process, the notification
// area's icons, reading the program's memory, the "TaskbarCreated" broadcast,
// a recorder that stands in for the shell's folder browser, and a call into
// the probe DLL loaded inside the program.
#include "sstest.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <vector>

static const wchar_t MENU_CLASS[] = L"#32768";

static DWORD WindowProcess(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

struct WindowFilter {
    const wchar_t* cls;  // NULL for any class
    DWORD pid;           // 0 for any process
    bool visibleOnly;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    WindowFilter* filter = (WindowFilter*)param;
    if (filter->cls && WindowClass(window) != filter->cls) return TRUE;
    if (filter->pid && WindowProcess(window) != filter->pid) return TRUE;
    if (filter->visibleOnly && !IsWindowVisible(window)) return TRUE;
    filter->found.push_back(window);
    return TRUE;
}

static std::vector<HWND> TopWindows(const wchar_t* cls, DWORD pid, bool visibleOnly)
{
    WindowFilter filter = {cls, pid, visibleOnly, {}};
    EnumWindows(CollectWindow, (LPARAM)&filter);
    return filter.found;
}

static void PrintWindowLine(const wchar_t* prefix, HWND window)
{
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    PrintUtf8(Format(L"%ls hwnd=%llx pid=%lu class=%ls visible=%d rect=%ld,%ld,%ld,%ld title=%ls\n", prefix,
                     (unsigned long long)(ULONG_PTR)window, WindowProcess(window), WindowClass(window).c_str(),
                     IsWindowVisible(window) ? 1 : 0, r.left, r.top, r.right, r.bottom, WindowText(window).c_str()));
}

static BOOL CALLBACK PrintChildLine(HWND child, LPARAM)
{
    PrintWindowLine(L"child", child);
    return TRUE;
}

SSTEST_COMMAND(traywindows, "[pid]: every top-level window (of pid), with its descendants")
{
    DWORD pid = argc >= 1 ? (DWORD)ParseNumber(argv[0]) : 0;
    for (HWND window : TopWindows(NULL, pid, false)) {
        PrintWindowLine(L"top", window);
        EnumChildWindows(window, PrintChildLine, 0);
    }
    return 0;
}

SSTEST_COMMAND(traymenus, "<pid> <timeout_ms> <count>: waits until pid shows exactly count popup menus; prints them")
{
    if (argc < 3) return 2;
    DWORD pid = (DWORD)ParseNumber(argv[0]);
    DWORD timeout = (DWORD)ParseNumber(argv[1]);
    size_t wanted = (size_t)ParseNumber(argv[2]);
    DWORD start = GetTickCount();
    std::vector<HWND> shown;
    for (;;) {
        shown = TopWindows(MENU_CLASS, pid, true);
        if (shown.size() == wanted || GetTickCount() - start >= timeout) break;
        Sleep(50);
    }
    PrintUtf8(Format(L"count=%u\n", (unsigned)shown.size()));
    for (size_t i = 0; i < shown.size(); ++i) {
        RECT r = {0, 0, 0, 0};
        GetWindowRect(shown[i], &r);
        PrintUtf8(Format(L"menu%u=%llx\nrect%u=%ld,%ld,%ld,%ld\n", (unsigned)i, (unsigned long long)(ULONG_PTR)shown[i],
                         (unsigned)i, r.left, r.top, r.right, r.bottom));
    }
    return shown.size() == wanted ? 0 : 1;
}

SSTEST_COMMAND(trayreadmem, "<pid> <address> <bytes>: the bytes of another process's memory, as hex")
{
    if (argc < 3) return 2;
    HANDLE process = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, (DWORD)ParseNumber(argv[0]));
    if (!process) return 1;
    std::vector<unsigned char> bytes((size_t)ParseNumber(argv[2]));
    SIZE_T got = 0;
    BOOL ok = ReadProcessMemory(process, (LPCVOID)(ULONG_PTR)ParseNumber(argv[1]), bytes.data(), bytes.size(), &got);
    CloseHandle(process);
    if (!ok || got != bytes.size()) return 1;
    std::wstring hex;
    for (unsigned char b : bytes) hex += Format(L"%02x", b);
    PrintUtf8(L"bytes=" + hex + L"\n");
    return 0;
}

SSTEST_COMMAND(trayregmsg, "<hwnd|broadcast> <name>: sends the registered message of that name (to every top-level window for broadcast); prints its id and the result")
{
    if (argc < 2) return 2;
    UINT message = RegisterWindowMessageW(argv[1]);
    HWND target = wcscmp(argv[0], L"broadcast") == 0 ? HWND_BROADCAST : ParseWindow(argv[0]);
    DWORD_PTR result = 0;
    LRESULT ok = message ? SendMessageTimeoutW(target, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) : 0;
    PrintUtf8(Format(L"message=0x%x\nresult=%lld\n", message, (long long)result));
    return ok ? 0 : 1;
}

// Shell_NotifyIconW through a run-time lookup: sstest links only user32,
// gdi32 and comctl32.
typedef BOOL(WINAPI* NotifyIconFn)(DWORD, PNOTIFYICONDATAW);

SSTEST_COMMAND(trayforget, "<hwnd> <uid>: deletes that notification icon, as a restarted taskbar would have lost it")
{
    if (argc < 2) return 2;
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    NotifyIconFn notify = shell ? (NotifyIconFn)(void*)GetProcAddress(shell, "Shell_NotifyIconW") : NULL;
    if (!notify) return 1;
    NOTIFYICONDATAW data;
    ZeroMemory(&data, sizeof(data));
    data.cbSize = sizeof(data);
    data.hWnd = ParseWindow(argv[0]);
    data.uID = (UINT)ParseNumber(argv[1]);
    BOOL ok = notify(NIM_DELETE, &data);
    PrintUtf8(Format(L"deleted=%d\n", ok ? 1 : 0));
    return ok ? 0 : 1;
}

static void AppendUtf8(FILE* out, const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &utf8[0], bytes, NULL, NULL);
    fwrite(utf8.data(), 1, utf8.size(), out);
}

SSTEST_COMMAND(trayrecord, "<file> [args...]: appends its arguments and working directory to file (a stand-in browser)")
{
    if (argc < 1) return 2;
    FILE* out = _wfopen(argv[0], L"ab");
    if (!out) return 1;
    wchar_t cwd[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, cwd);
    std::wstring text = Format(L"cwd=%ls\nargc=%d\n", cwd, argc - 1);
    for (int i = 1; i < argc; ++i) text += Format(L"arg%d=%ls\n", i, argv[i]);
    AppendUtf8(out, text);
    fclose(out);
    return 0;
}

// The base address at which process has loaded the module at path, or NULL.
static ULONG_PTR RemoteModuleBase(DWORD pid, const wchar_t* path)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    MODULEENTRY32W entry;
    entry.dwSize = sizeof(entry);
    ULONG_PTR base = 0;
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExePath, path) == 0) {
            base = (ULONG_PTR)entry.modBaseAddr;
            break;
        }
    }
    CloseHandle(snapshot);
    return base;
}

// Runs start(argument) in process as a new thread, the argument being a copy
// of bytes; returns the thread's exit code, or -1 when it did not finish.
static long long RunRemote(HANDLE process, ULONG_PTR start, const void* bytes, size_t size, DWORD timeoutMs)
{
    void* remote = VirtualAllocEx(process, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return -1;
    long long result = -1;
    if (WriteProcessMemory(process, remote, bytes, size, NULL)) {
        HANDLE thread = CreateRemoteThread(process, NULL, 0, (LPTHREAD_START_ROUTINE)start, remote, 0, NULL);
        if (thread) {
            DWORD code = 0;
            if (WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &code))
                result = code;
            CloseHandle(thread);
        }
    }
    // A thread that did not finish may still read the argument: leave it.
    if (result != -1) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return result;
}

SSTEST_COMMAND(trayprobe, "<pid> <dll> <timeout_ms> <command> [args...]: asks the probe DLL inside pid; prints its answer")
{
    if (argc < 4) return 2;
    DWORD pid = (DWORD)ParseNumber(argv[0]);
    const wchar_t* dll = argv[1];
    DWORD timeout = (DWORD)ParseNumber(argv[2]);
    wchar_t full[MAX_PATH];
    if (!GetFullPathNameW(dll, MAX_PATH, full, NULL)) return 1;

    // Where ProbeRequest lies inside the DLL, from a copy mapped here.
    HMODULE local = LoadLibraryExW(full, NULL, DONT_RESOLVE_DLL_REFERENCES);
    FARPROC localEntry = local ? GetProcAddress(local, "ProbeRequest") : NULL;
    if (!localEntry) {
        PrintUtf8(L"error=cannot read the probe DLL\n");
        return 1;
    }
    ULONG_PTR entryOffset = (ULONG_PTR)localEntry - (ULONG_PTR)local;
    FreeLibrary(local);

    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!process) {
        PrintUtf8(L"error=cannot open the process\n");
        return 1;
    }
    ULONG_PTR base = RemoteModuleBase(pid, full);
    if (!base) {
        // kernel32 lies at the same address in every process of the prefix.
        ULONG_PTR loadLibrary = (ULONG_PTR)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW");
        RunRemote(process, loadLibrary, full, (wcslen(full) + 1) * sizeof(wchar_t), timeout);
        base = RemoteModuleBase(pid, full);
    }
    if (!base) {
        CloseHandle(process);
        PrintUtf8(L"error=the probe DLL did not load\n");
        return 1;
    }

    wchar_t folder[MAX_PATH], answer[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"prb", 0, answer);
    std::wstring request = answer;
    for (int i = 3; i < argc; ++i) request += std::wstring(L"|") + argv[i];
    long long code = RunRemote(process, base + entryOffset, request.c_str(), (request.size() + 1) * sizeof(wchar_t),
                               timeout);
    CloseHandle(process);

    FILE* in = _wfopen(answer, L"rb");
    if (in) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), in)) > 0) fwrite(buffer, 1, got, stdout);
        fclose(in);
    }
    DeleteFileW(answer);
    PrintUtf8(Format(L"probe_exit=%lld\n", code));
    fflush(stdout);
    return code == 0 ? 0 : 1;
}
