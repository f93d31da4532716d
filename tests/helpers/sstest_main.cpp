#include "sstest.h"

#include <stdarg.h>
#include <stdio.h>

struct Command {
    const wchar_t* name;
    const wchar_t* usage;
    CommandFn fn;
};

static std::vector<Command>& Commands()
{
    static std::vector<Command> commands;
    return commands;
}

CommandRegistrar::CommandRegistrar(const wchar_t* name, const wchar_t* usage, CommandFn fn)
{
    Commands().push_back({name, usage, fn});
}

std::string Utf8(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(bytes, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], bytes, NULL, NULL);
    return out;
}

void PrintUtf8(const std::wstring& text)
{
    std::string out = Utf8(text);
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
}

// One write through an append-only, shared handle. Wine does not serialise
// appends of separate processes, so the write holds a byte-range lock that
// other recorders respect.
bool AppendUtf8(const wchar_t* path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes = Utf8(text);
    OVERLAPPED range = {};
    DWORD start = GetTickCount(), written = 0;
    while (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &range) &&
           GetTickCount() - start < 5000)
        Sleep(5);
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) && written == bytes.size();
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &range);
    CloseHandle(file);
    return ok;
}

std::wstring Format(const wchar_t* format, ...)
{
    wchar_t buffer[4096];
    va_list args;
    va_start(args, format);
    _vsnwprintf(buffer, ARRAYSIZE(buffer) - 1, format, args);
    va_end(args);
    buffer[ARRAYSIZE(buffer) - 1] = 0;
    return buffer;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = L"";
    // WM_GETTEXT works across processes where GetWindowText would not.
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), (LPARAM)text, SMTO_ABORTIFHUNG, 2000, NULL);
    return text;
}

std::wstring WindowClass(HWND window)
{
    wchar_t cls[256] = L"";
    GetClassNameW(window, cls, ARRAYSIZE(cls));
    return cls;
}

DWORD WindowProcess(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

bool SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    DWORD_PTR answer = 0;
    BOOL ok = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
    *result = (LRESULT)answer;
    return ok;
}

bool WaitGone(HWND window, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); IsWindow(window); Sleep(10)) {
        if (GetTickCount() - start >= timeoutMs) return false;
    }
    return true;
}

static bool Matches(const WindowFilter& filter, HWND window)
{
    if (filter.cls && _wcsicmp(WindowClass(window).c_str(), filter.cls) != 0) return false;
    if (filter.pid && WindowProcess(window) != filter.pid) return false;
    if (filter.visibleOnly && !IsWindowVisible(window)) return false;
    if (filter.owner && GetWindow(window, GW_OWNER) != filter.owner) return false;
    // The title as the system keeps it (what FindWindow reads): no message
    // to a window that may be busy.
    wchar_t title[512] = L"";
    return !filter.title || (InternalGetWindowText(window, title, ARRAYSIZE(title)), wcscmp(title, filter.title) == 0);
}

std::vector<HWND> TopWindows(const WindowFilter& filter, DWORD timeoutMs, int wanted)
{
    for (DWORD start = GetTickCount();; Sleep(10)) {
        std::vector<HWND> all, found;
        EnumWindows([](HWND window, LPARAM list) -> BOOL { ((std::vector<HWND>*)list)->push_back(window); return TRUE; },
                    (LPARAM)&all);
        for (HWND window : all) {
            if (Matches(filter, window)) found.push_back(window);
        }
        if (wanted < 0 ? !found.empty() : found.size() == (size_t)wanted) return found;
        if (GetTickCount() - start >= timeoutMs) return found;
    }
}

void PrintWindowLine(const wchar_t* kind, HWND window, bool layout)
{
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    std::wstring cls = WindowClass(window);
    int visible = IsWindowVisible(window) ? 1 : 0;
    if (layout) {
        PrintUtf8(Format(L"%ls\thwnd=%llx\tid=%d\tclass=%ls\tstyle=0x%08lx\texstyle=0x%08lx\trect=%ld,%ld,%ld,%ld\t"
                         L"visible=%d\ttext=", kind, Hex(window), (int)GetDlgCtrlID(window), cls.c_str(),
                         (unsigned long)GetWindowLongW(window, GWL_STYLE), (unsigned long)GetWindowLongW(window, GWL_EXSTYLE),
                         r.left, r.top, r.right, r.bottom, visible));
    } else {
        PrintUtf8(Format(L"%ls\thwnd=%llx\tpid=%lu\towner=%llx\tclass=%ls\tvisible=%d\trect=%ld,%ld,%ld,%ld\ttitle=", kind,
                         Hex(window), WindowProcess(window), Hex(GetWindow(window, GW_OWNER)), cls.c_str(), visible,
                         r.left, r.top, r.right, r.bottom));
    }
    PrintUtf8(WindowText(window) + L"\n");
}

// argv[0] is the command's name.
static int Run(int argc, wchar_t** argv)
{
    if (argc >= 1) {
        for (const Command& c : Commands()) {
            if (wcscmp(c.name, argv[0]) == 0) return c.fn(argc - 1, argv + 1);
        }
    }
    for (const Command& c : Commands()) PrintUtf8(Format(L"%ls %ls\n", c.name, c.usage));
    return 2;
}

// Runs the commands read from stdin, one a line with its arguments separated
// by tabs, and ends the output of each with a line "\x1e<exit code>": a test
// then pays for one Wine process start, not one per command.
static int Serve()
{
    char line[8192];
    HDESK attached = NULL;
    while (fgets(line, sizeof(line), stdin)) {
        // Wine closes the desktop once its last program has ended, and the
        // next program gets a new one: look at the desktop that is there now.
        HDESK now = OpenDesktopW(L"Default", 0, FALSE, GENERIC_ALL);
        if (now && SetThreadDesktop(now)) {
            if (attached) CloseDesktop(attached);
            attached = now;
        } else if (now) {
            CloseDesktop(now);
        }
        int length = MultiByteToWideChar(CP_UTF8, 0, line, -1, NULL, 0);
        std::wstring text(length > 0 ? length : 1, L'\0');
        if (length > 0) MultiByteToWideChar(CP_UTF8, 0, line, -1, &text[0], length);
        text.resize(wcscspn(text.c_str(), L"\r\n"));
        std::vector<std::wstring> parts(1);
        for (wchar_t c : text) {
            if (c == L'\t') parts.emplace_back();
            else parts.back() += c;
        }
        std::vector<wchar_t*> args;
        for (std::wstring& part : parts) args.push_back(&part[0]);
        int code = Run((int)args.size(), args.data());
        printf("\x1e%d\n", code);
        fflush(stdout);
    }
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && wcscmp(argv[1], L"serve") == 0) return Serve();
    return Run(argc - 1, argv + 1);
}
