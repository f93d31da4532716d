#include "sstest.h"

#include <stdarg.h>
#include <stdio.h>
#include <vector>

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

unsigned long long ParseNumber(const wchar_t* text)
{
    return wcstoull(text, NULL, 0);
}

HWND ParseWindow(const wchar_t* text)
{
    return (HWND)(ULONG_PTR)wcstoull(text, NULL, 16);
}

void PrintUtf8(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], bytes, NULL, NULL);
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
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

HWND WaitTopWindow(const wchar_t* cls, const wchar_t* title, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FindWindowW(wcscmp(cls, L"*") ? cls : NULL, wcscmp(title, L"*") ? title : NULL);
        if (found) return found;
        if (GetTickCount() - start >= timeoutMs) return NULL;
        Sleep(50);
    }
}

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2) {
        for (const Command& c : Commands()) {
            if (wcscmp(c.name, argv[1]) == 0) return c.fn(argc - 2, argv + 2);
        }
    }
    for (const Command& c : Commands()) PrintUtf8(Format(L"%ls %ls\n", c.name, c.usage));
    return 2;
}
