// Commands for the About box tests: load aboutprobe.dll into the program,
// ask it questions, record what the shell hands to a web-address handler,
// and run many open/close cycles without a Wine start-up per step.
#include "sstest.h"

#include <stdio.h>

namespace {

const wchar_t ABOUT_TITLE[] = L"バージョン情報 StillSentinel";
const UINT IDM_ABOUT = 40002;

// Sends one request to the probe inside process pid and returns its reply
// ("" when the probe cannot be reached within timeoutMs).
std::string AskProbe(DWORD pid, const std::string& request, DWORD timeoutMs = 10000)
{
    std::wstring name = Format(L"\\\\.\\pipe\\aboutprobe-%lu", pid);
    DWORD start = GetTickCount();
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (;;) {
        pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (pipe != INVALID_HANDLE_VALUE) break;
        if (GetTickCount() - start >= timeoutMs) return "";
        // Busy (another client) or not created yet: both pass quickly.
        if (GetLastError() == ERROR_PIPE_BUSY) WaitNamedPipeW(name.c_str(), 200);
        else Sleep(50);
    }
    DWORD written = 0;
    WriteFile(pipe, request.data(), (DWORD)request.size(), &written, NULL);
    std::string reply;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &got, NULL) && got) reply.append(buffer, got);
    CloseHandle(pipe);
    return reply;
}

std::string Narrow(const wchar_t* text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, NULL, NULL);
    return out;
}

// The About box of process pid once it is shown, or NULL after timeoutMs.
HWND WaitAboutShown(DWORD pid, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = NULL;
        while ((found = FindWindowExW(NULL, found, L"#32770", ABOUT_TITLE)) != NULL) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == pid && IsWindowVisible(found)) return found;
        }
        if (GetTickCount() - start >= timeoutMs) return NULL;
        Sleep(10);
    }
}

bool WaitGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

}  // namespace

SSTEST_COMMAND(aboutinject, "<pid> <dll path>: loads the DLL into the process (CreateRemoteThread + LoadLibraryW)")
{
    if (argc < 2) return 2;
    DWORD pid = (DWORD)ParseNumber(argv[0]);
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!process) {
        PrintUtf8(Format(L"error=OpenProcess %lu\n", GetLastError()));
        return 1;
    }
    size_t bytes = (wcslen(argv[1]) + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, NULL, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    BOOL wrote = remote && WriteProcessMemory(process, remote, argv[1], bytes, NULL);
    // kernel32 sits at the same address in every process of the prefix.
    LPTHREAD_START_ROUTINE load =
        (LPTHREAD_START_ROUTINE)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW");
    HANDLE thread = wrote ? CreateRemoteThread(process, NULL, 0, load, remote, 0, NULL) : NULL;
    DWORD loaded = 0;
    if (thread) {
        WaitForSingleObject(thread, 15000);
        GetExitCodeThread(thread, &loaded);
        CloseHandle(thread);
    }
    CloseHandle(process);
    PrintUtf8(Format(L"loaded=%d\n", loaded ? 1 : 0));
    return loaded ? 0 : 1;
}

SSTEST_COMMAND(aboutprobe, "<pid> <request...>: asks aboutprobe.dll in the process; prints its reply")
{
    if (argc < 2) return 2;
    std::string request;
    for (int i = 1; i < argc; ++i) request += (i > 1 ? " " : "") + Narrow(argv[i]);
    std::string reply = AskProbe((DWORD)ParseNumber(argv[0]), request);
    fwrite(reply.data(), 1, reply.size(), stdout);
    fflush(stdout);
    return reply.empty() || reply.compare(0, 6, "error=") == 0 ? 1 : 0;
}

SSTEST_COMMAND(aboutrecord, "<file> <args...>: appends the arguments as one tab-separated UTF-8 line (a harmless URL handler)")
{
    if (argc < 1) return 2;
    std::string line;
    for (int i = 1; i < argc; ++i) line += (i > 1 ? "\t" : "") + Narrow(argv[i]);
    line += "\n";
    HANDLE file = CreateFileW(argv[0], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, line.data(), (DWORD)line.size(), &written, NULL);
    CloseHandle(file);
    return 0;
}

SSTEST_COMMAND(aboutgui, "<hwnd>: GetGUIThreadInfo of the window's thread; prints capture, active, focus")
{
    if (argc < 1) return 2;
    DWORD thread = GetWindowThreadProcessId(ParseWindow(argv[0]), NULL);
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    if (!thread || !GetGUIThreadInfo(thread, &info)) return 1;
    PrintUtf8(Format(L"capture=%llx\nactive=%llx\nfocus=%llx\n", (unsigned long long)(ULONG_PTR)info.hwndCapture,
                     (unsigned long long)(ULONG_PTR)info.hwndActive, (unsigned long long)(ULONG_PTR)info.hwndFocus));
    return 0;
}

SSTEST_COMMAND(aboutloop, "<main hwnd> <pid> <count>: opens and closes the About box count times, varying hover and close")
{
    if (argc < 3) return 2;
    HWND main = ParseWindow(argv[0]);
    DWORD pid = (DWORD)ParseNumber(argv[1]);
    unsigned long long count = ParseNumber(argv[2]);
    for (unsigned long long i = 0; i < count; ++i) {
        PostMessageW(main, WM_COMMAND, IDM_ABOUT, 0);
        HWND dialog = WaitAboutShown(pid, 10000);
        if (!dialog) {
            PrintUtf8(Format(L"error=not shown in round %llu\n", i));
            return 1;
        }
        // Leave the link normal, hot then normal again, or hot at the close.
        if (i % 3 >= 1) AskProbe(pid, "move 2 2");
        if (i % 3 == 1) AskProbe(pid, "move -3 -3");
        switch (i % 4) {
        case 0: PostMessageW(dialog, WM_COMMAND, IDOK, 0); break;
        case 1: PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); break;
        default: PostMessageW(dialog, WM_CLOSE, 0, 0); break;
        }
        if (!WaitGone(dialog, 10000)) {
            PrintUtf8(Format(L"error=not closed in round %llu\n", i));
            return 1;
        }
    }
    PrintUtf8(Format(L"rounds=%llu\n", count));
    return 0;
}
