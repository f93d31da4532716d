// Commands that reach into the program's process (its memory, the probe DLL
// inside it) or stand in for the platform (the taskbar's broadcast and icons,
// a recorder for the shell's handlers, the session query).
#include "sstest.h"

#include <shellapi.h>
#include <wtsapi32.h>

#include <stdio.h>

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
    LRESULT result = 0;
    bool ok = message && SendTo(target, message, 0, 0, &result);
    PrintUtf8(Format(L"message=0x%x\nresult=%lld\n", message, (long long)result));
    return ok ? 0 : 1;
}

// Shell_NotifyIconW through a run-time lookup: sstest links only user32,
// gdi32, comctl32 and advapi32.
typedef BOOL(WINAPI* NotifyIconFn)(DWORD, PNOTIFYICONDATAW);

SSTEST_COMMAND(trayforget, "<hwnd> <uid>: deletes that notification icon, as a restarted taskbar would have lost it")
{
    if (argc < 2) return 2;
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    NotifyIconFn notify = shell ? (NotifyIconFn)(void*)GetProcAddress(shell, "Shell_NotifyIconW") : NULL;
    if (!notify) return 1;
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = ParseWindow(argv[0]);
    data.uID = (UINT)ParseNumber(argv[1]);
    BOOL ok = notify(NIM_DELETE, &data);
    PrintUtf8(Format(L"deleted=%d\n", ok ? 1 : 0));
    return ok ? 0 : 1;
}

SSTEST_COMMAND(record, "<file> [args...]: appends one UTF-8 line cwd=<dir><TAB>argc=<n><TAB>arg1=<a>... "
                       "(a harmless stand-in for the shell's folder and web handlers)")
{
    if (argc < 1) return 2;
    wchar_t cwd[MAX_PATH] = L"";
    GetCurrentDirectoryW(ARRAYSIZE(cwd), cwd);
    std::wstring line = Format(L"cwd=%ls\targc=%d", cwd, argc - 1);
    for (int i = 1; i < argc; ++i) line += Format(L"\targ%d=", i) + argv[i];
    return AppendUtf8(argv[0], line + L"\n") ? 0 : 1;
}

SSTEST_COMMAND(inject, "<pid> <dll path>: loads the DLL into the process (remote LoadLibraryW); prints loaded=0|1")
{
    if (argc < 2) return 2;
    wchar_t path[MAX_PATH];
    DWORD length = GetFullPathNameW(argv[1], ARRAYSIZE(path), path, NULL);
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, (DWORD)ParseNumber(argv[0]));
    size_t bytes = (length + 1) * sizeof(wchar_t);
    void* remote = process && length && length < ARRAYSIZE(path)
                       ? VirtualAllocEx(process, NULL, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                       : NULL;
    BOOL wrote = remote && WriteProcessMemory(process, remote, path, bytes, NULL);
    // kernel32 sits at the same address in every process of the prefix.
    LPTHREAD_START_ROUTINE load =
        (LPTHREAD_START_ROUTINE)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW");
    HANDLE thread = wrote ? CreateRemoteThread(process, NULL, 0, load, remote, 0, NULL) : NULL;
    // The thread's exit code is the low half of the module handle: 0 only when loading failed.
    DWORD loaded = 0;
    if (thread && WaitForSingleObject(thread, 15000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &loaded);
    if (thread) CloseHandle(thread);
    if (process) CloseHandle(process);
    PrintUtf8(Format(L"loaded=%d\n", loaded ? 1 : 0));
    return loaded ? 0 : 1;
}

// Sends one request to the probe inside process pid and returns its reply,
// "" when the probe cannot be reached within 10 s or does not answer within 60 s.
static std::string AskProbe(DWORD pid, const std::string& request)
{
    std::wstring name = Format(L"\\\\.\\pipe\\ssprobe-%lu", pid);
    HANDLE pipe;
    for (DWORD start = GetTickCount();
         (pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL)) ==
         INVALID_HANDLE_VALUE;) {
        if (GetTickCount() - start >= 10000) return "";
        // Busy (another client) or not created yet: both pass quickly.
        if (GetLastError() == ERROR_PIPE_BUSY) WaitNamedPipeW(name.c_str(), 200);
        else Sleep(50);
    }
    DWORD count = 0;
    WriteFile(pipe, request.data(), (DWORD)request.size(), &count, NULL);
    // Peek before reading, so that a probe that never answers cannot hold
    // this helper for ever; the pipe breaks once the reply is complete.
    std::string reply;
    char buffer[4096];
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000 && PeekNamedPipe(pipe, NULL, 0, NULL, &count, NULL);) {
        if (!count) Sleep(1);
        else if (ReadFile(pipe, buffer, count < sizeof(buffer) ? count : sizeof(buffer), &count, NULL)) reply.append(buffer, count);
    }
    CloseHandle(pipe);
    return reply;
}

SSTEST_COMMAND(probe, "<pid> <request...>: asks probe.dll inside the process; prints its reply")
{
    if (argc < 2) return 2;
    std::wstring request;
    for (int i = 1; i < argc; ++i) request += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    std::string reply = AskProbe((DWORD)ParseNumber(argv[0]), Utf8(request));
    fwrite(reply.data(), 1, reply.size(), stdout);
    fflush(stdout);
    return reply.empty() || reply.compare(0, 6, "error=") == 0 ? 1 : 0;
}

// What a normal start meets when an elevated instance made the mutex: the
// name exists, and its DACL lets this token open nothing. The handle stays
// open for the life of this helper ("sstest serve" lives as long as the test).
SSTEST_COMMAND(holdmutex, "<name>: creates a mutex of that name whose DACL grants nothing, and keeps it")
{
    if (argc < 1) return 2;
    SECURITY_DESCRIPTOR descriptor;
    ACL empty;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
    return CreateMutexW(&attributes, FALSE, argv[0]) ? 0 : 1;
}

// The registry keys that tests set, without a reg.exe start each.
static HKEY SplitRoot(const wchar_t* path, const wchar_t** subkey)
{
    static const struct {
        const wchar_t* prefix;
        HKEY root;
    } roots[] = {{L"HKCU\\", HKEY_CURRENT_USER}, {L"HKCR\\", HKEY_CLASSES_ROOT}, {L"HKLM\\", HKEY_LOCAL_MACHINE}};
    for (const auto& r : roots) {
        size_t length = wcslen(r.prefix);
        if (_wcsnicmp(path, r.prefix, length) == 0) {
            *subkey = path + length;
            return r.root;
        }
    }
    return NULL;
}

SSTEST_COMMAND(regset, "<HKCU|HKCR|HKLM>\\<key> <name, empty for the default> <REG_SZ|REG_EXPAND_SZ> <text>: sets a string value")
{
    if (argc < 4) return 2;
    const wchar_t* subkey = NULL;
    HKEY root = SplitRoot(argv[0], &subkey), key = NULL;
    DWORD type = wcscmp(argv[2], L"REG_SZ") == 0 ? REG_SZ : wcscmp(argv[2], L"REG_EXPAND_SZ") == 0 ? REG_EXPAND_SZ : 0;
    if (!root || !type) return 2;
    if (RegCreateKeyExW(root, subkey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS) return 1;
    LSTATUS status = RegSetValueExW(key, argv[1][0] ? argv[1] : NULL, 0, type, (const BYTE*)argv[3],
                                    (DWORD)((wcslen(argv[3]) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 1;
}

SSTEST_COMMAND(regdelete, "<HKCU|HKCR|HKLM>\\<key>: deletes the key and everything under it")
{
    if (argc < 1) return 2;
    const wchar_t* subkey = NULL;
    HKEY root = SplitRoot(argv[0], &subkey);
    return !root ? 2 : RegDeleteTreeW(root, subkey) == ERROR_SUCCESS ? 0 : 1;
}

// Asks the platform the question the program asks for its periodic report,
// so that a test can expect the platform's own answer (Wine 8 fails the
// query, Wine 10 answers). It reports; it does not judge.
SSTEST_COMMAND(sessionstate, ": console=<id>, then queried=0 and error=<code>, or queried=1, bytes=<n> and state=<first DWORD>")
{
    (void)argc, (void)argv;
    typedef BOOL(WINAPI * QueryFn)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);
    typedef void(WINAPI * FreeFn)(PVOID);
    DWORD console = WTSGetActiveConsoleSessionId();
    PrintUtf8(Format(L"console=%lu\n", console));
    HMODULE wts = LoadLibraryExW(L"wtsapi32.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    QueryFn query = wts ? (QueryFn)(void*)GetProcAddress(wts, "WTSQuerySessionInformationW") : NULL;
    FreeFn release = wts ? (FreeFn)(void*)GetProcAddress(wts, "WTSFreeMemory") : NULL;
    LPWSTR buffer = NULL;
    DWORD bytes = 0;
    SetLastError(0);  // Wine 8 fails the query without setting an error
    bool queried = query && release && query(WTS_CURRENT_SERVER_HANDLE, console, WTSConnectState, &buffer, &bytes);
    PrintUtf8(queried ? Format(L"queried=1\nbytes=%lu\n", bytes) : Format(L"queried=0\nerror=%lu\n", GetLastError()));
    if (queried && buffer && bytes >= sizeof(DWORD)) PrintUtf8(Format(L"state=%lu\n", *(const DWORD*)buffer));
    if (queried) release(buffer);
    return 0;
}
