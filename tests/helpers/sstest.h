// sstest: a small console tool that drives StillSentinel's windows from
// inside the same Wine prefix. Each command prints plain "key=value" lines
// and exits 0 on success, 1 on failure, 2 on bad usage.
#pragma once
#include <windows.h>
#include <string>

typedef int (*CommandFn)(int argc, wchar_t** argv);

struct CommandRegistrar {
    CommandRegistrar(const wchar_t* name, const wchar_t* usage, CommandFn fn);
};

#define SSTEST_COMMAND(name, usage) \
    static int Cmd_##name(int argc, wchar_t** argv); \
    static CommandRegistrar Reg_##name(L## #name, L##usage, Cmd_##name); \
    static int Cmd_##name(int argc, wchar_t** argv)

// Parses decimal or 0x-hex; window handles are printed as hex.
unsigned long long ParseNumber(const wchar_t* text);
HWND ParseWindow(const wchar_t* text);
void PrintUtf8(const std::wstring& text);
std::wstring Format(const wchar_t* format, ...);
std::wstring WindowText(HWND window);
std::wstring WindowClass(HWND window);
// Finds a top-level window by class and title ("*" for any), waiting up to timeoutMs.
HWND WaitTopWindow(const wchar_t* cls, const wchar_t* title, DWORD timeoutMs);
