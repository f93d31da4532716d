// Runs inside the program under test. "sstest trayprobe" loads it with
// LoadLibraryW in a remote thread and then starts ProbeRequest in another
// remote thread, with a request string written into the program's memory:
//   "<output file>|<command>|<argument>..."
// The answer goes to the output file as UTF-8 "key=value" lines; the
// thread's exit code is 0 on success.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static const int MAX_ARGS = 8;

static void WriteUtf8(FILE* out, const wchar_t* format, ...)
{
    wchar_t text[2048];
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, ARRAYSIZE(text) - 1, format, args);
    va_end(args);
    text[ARRAYSIZE(text) - 1] = 0;
    char bytes[4 * ARRAYSIZE(text)];
    int count = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof(bytes), NULL, NULL);
    if (count > 1) fwrite(bytes, 1, (size_t)count - 1, out);
}

struct MenuSearch {
    DWORD pid;
    HWND found;
    int visibleCount;
};

static BOOL CALLBACK FindOwnMenu(HWND window, LPARAM param)
{
    MenuSearch* search = (MenuSearch*)param;
    wchar_t cls[32] = L"";
    GetClassNameW(window, cls, ARRAYSIZE(cls));
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && wcscmp(cls, L"#32768") == 0 && IsWindowVisible(window)) {
        if (!search->found) search->found = window;
        ++search->visibleCount;
    }
    return TRUE;
}

// menu <timeout_ms>: waits for this process's open popup menu and lists its items.
static DWORD DumpOpenMenu(FILE* out, wchar_t** args, int count)
{
    DWORD timeout = count >= 1 ? (DWORD)wcstoul(args[0], NULL, 0) : 5000;
    MenuSearch search = {GetCurrentProcessId(), NULL, 0};
    DWORD start = GetTickCount();
    for (;;) {
        search.found = NULL;
        search.visibleCount = 0;
        EnumWindows(FindOwnMenu, (LPARAM)&search);
        if (search.found || GetTickCount() - start >= timeout) break;
        Sleep(50);
    }
    if (!search.found) {
        WriteUtf8(out, L"error=no open menu\n");
        return 1;
    }
    // The menu window belongs to the GUI thread, which is inside the menu's
    // modal loop and answers sent messages from there.
    DWORD_PTR handle = 0;
    if (!SendMessageTimeoutW(search.found, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle) || !handle) {
        WriteUtf8(out, L"error=MN_GETHMENU gave nothing\n");
        return 1;
    }
    HMENU menu = (HMENU)handle;
    int items = GetMenuItemCount(menu);
    WriteUtf8(out, L"menus=%d\nwindow=%llx\nhmenu=%llx\ncount=%d\n", search.visibleCount,
              (unsigned long long)(ULONG_PTR)search.found, (unsigned long long)handle, items);
    for (int i = 0; i < items; ++i) {
        wchar_t text[256] = L"";
        MENUITEMINFOW info;
        ZeroMemory(&info, sizeof(info));
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_CHECKMARKS;
        info.dwTypeData = text;
        info.cch = ARRAYSIZE(text);
        if (!GetMenuItemInfoW(menu, (UINT)i, TRUE, &info)) {
            WriteUtf8(out, L"item%d=unreadable\n", i);
            continue;
        }
        RECT r = {0, 0, 0, 0};
        GetMenuItemRect(NULL, menu, (UINT)i, &r);
        WriteUtf8(out, L"item%d.type=0x%x\nitem%d.state=0x%x\nitem%d.id=%u\nitem%d.submenu=%d\n"
                       L"item%d.checkbitmaps=%d\nitem%d.text=%ls\nitem%d.rect=%ld,%ld,%ld,%ld\n",
                  i, info.fType, i, info.fState, i, info.wID, i, info.hSubMenu ? 1 : 0, i,
                  (info.hbmpChecked || info.hbmpUnchecked) ? 1 : 0, i, text, i, r.left, r.top, r.right, r.bottom);
    }
    return 0;
}

// ismenu <handle>: whether the handle still names a menu of this process.
static DWORD CheckMenuHandle(FILE* out, wchar_t** args, int count)
{
    if (count < 1) return 2;
    HMENU menu = (HMENU)(ULONG_PTR)wcstoull(args[0], NULL, 16);
    WriteUtf8(out, L"ismenu=%d\n", IsMenu(menu) ? 1 : 0);
    return 0;
}

extern "C" __declspec(dllexport) DWORD WINAPI ProbeRequest(LPVOID parameter)
{
    wchar_t request[1024];
    lstrcpynW(request, (const wchar_t*)parameter, ARRAYSIZE(request));
    wchar_t* parts[MAX_ARGS + 2];
    int count = 0;
    wchar_t* part = request;
    while (count < MAX_ARGS + 2) {
        parts[count++] = part;
        wchar_t* bar = wcschr(part, L'|');
        if (!bar) break;
        *bar = 0;
        part = bar + 1;
    }
    if (count < 2) return 2;
    FILE* out = _wfopen(parts[0], L"wb");
    if (!out) return 3;
    DWORD result = 2;
    if (wcscmp(parts[1], L"menu") == 0) result = DumpOpenMenu(out, parts + 2, count - 2);
    else if (wcscmp(parts[1], L"ismenu") == 0) result = CheckMenuHandle(out, parts + 2, count - 2);
    fclose(out);
    return result;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
