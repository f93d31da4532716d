// sstest: a small console tool that drives StillSentinel's windows from
// inside the same Wine prefix. Each command prints UTF-8 "key=value" lines
// (window lists: one tab-separated line per window) and exits 0 on success,
// 1 on failure, 2 on bad usage.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

typedef int (*CommandFn)(int argc, wchar_t** argv);

struct CommandRegistrar {
    CommandRegistrar(const wchar_t* name, const wchar_t* usage, CommandFn fn);
};

#define SSTEST_COMMAND(name, usage) \
    static int Cmd_##name(int argc, wchar_t** argv); \
    static CommandRegistrar Reg_##name(L## #name, L##usage, Cmd_##name); \
    static int Cmd_##name(int argc, wchar_t** argv)

// Numbers are decimal or 0x-hex; window handles are hex both ways, and
// "<hwnd>/<id>" names a dialog's item (NULL when either is missing).
inline unsigned long long ParseNumber(const wchar_t* text) { return wcstoull(text, NULL, 0); }
inline HWND ParseWindow(const wchar_t* text)
{
    wchar_t* end = NULL;
    HWND window = (HWND)(ULONG_PTR)wcstoull(text, &end, 16);
    return *end == L'/' ? GetDlgItem(window, (int)ParseNumber(end + 1)) : window;
}
inline unsigned long long Hex(HWND window) { return (unsigned long long)(ULONG_PTR)window; }
std::string Utf8(const std::wstring& text);
void PrintUtf8(const std::wstring& text);
bool AppendUtf8(const wchar_t* path, const std::wstring& text);
std::wstring Format(const wchar_t* format, ...);
std::wstring WindowText(HWND window);
std::wstring WindowClass(HWND window);
DWORD WindowProcess(HWND window);
bool WaitGone(HWND window, DWORD timeoutMs);
// SendMessageTimeoutW that gives up on a hung receiver after 5 s.
bool SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// Which top-level windows to look for; NULL or 0 fields match anything.
struct WindowFilter {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* title;
    bool visibleOnly;
    HWND owner;
};
// The matching top-level windows in z-order; with a timeout, polls until
// exactly `wanted` match (-1: at least one) or the time is up.
std::vector<HWND> TopWindows(const WindowFilter& filter, DWORD timeoutMs = 0, int wanted = -1);
// "kind<TAB>hwnd=...": the process's view of a window ("top"/"child" lines)
// or its layout ("window"/"child" lines of dump). The text goes last.
void PrintWindowLine(const wchar_t* kind, HWND window, bool layout);
