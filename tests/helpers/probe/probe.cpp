// probe.dll: loaded once into a running StillSentinel.exe by "sstest inject".
//
// Some facts can only be seen from inside the process: the colour a dialog
// puts on a device context, which font a handle is, whether a GDI object or
// icon still exists, who holds the mouse capture, what a control's window
// procedure is when it is destroyed, and the items of an open popup menu.
// The probe watches the GUI thread through message hooks, records one entry
// per About box it sees, and answers text requests on the pipe
// \\.\pipe\ssprobe-<pid> (one request per connection, one reply of UTF-8
// "key=value" lines).
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "res/resource.h"

namespace {

const int MAX_CYCLES = 512;

// One opening of the About box, from WM_INITDIALOG to WM_NCDESTROY.
struct Cycle {
    HWND dialog, link;
    LONG_PTR linkProcBefore;      // the link's procedure before the dialog saw WM_INITDIALOG
    LONG_PTR linkProcAfter;       // ... and after it had handled it
    LONG_PTR linkProcAtDestroy;   // ... when the link itself received WM_DESTROY
    HFONT normalFont;             // WM_GETFONT of the link after WM_INITDIALOG
    HFONT underlineFont;          // the underlined font the link was given while hot
    int underlineFonts;           // distinct underlined fonts seen in this cycle
    int setFontHot;               // WM_SETFONT with an underlined font
    int setFontNormal;            // WM_SETFONT with the normal font
    int setFontOther;             // WM_SETFONT with anything else (a null handle included)
    HICON image;                  // the icon control's image after WM_INITDIALOG
    int imageWidth, imageHeight;
    int dialogDestroySeq, linkDestroySeq;  // order of WM_DESTROY arrivals
    int closed;                   // WM_NCDESTROY of the dialog has returned
    DWORD fontTypeAfterClose;     // GetObjectType of underlineFont then (0 = gone)
    int imageAliveAfterClose;     // GetIconInfo of image succeeded then
};

CRITICAL_SECTION Lock;
HMODULE Self;
HWND MainWindow;
DWORD GuiThread;
HHOOK CallHook, RetHook, GetMessageHook;
// The last pointer move the GUI thread took from its queue (screen
// coordinates) and how many it has taken: lets a test wait until a real
// pointer move has reached the program instead of sleeping.
volatile LONG MovesTaken, LastMoveX, LastMoveY;
Cycle Cycles[MAX_CYCLES];
int CycleCount, Sequence;
// Fault injection, armed by requests: break the link control before the
// dialog initialises, or make the program's CreateFontIndirectW fail.
bool FaultNoLink, FaultNoFont;
volatile LONG FaultFontCalls;

Cycle* Current()
{
    return CycleCount > 0 ? &Cycles[CycleCount - 1] : NULL;
}

bool HasClass(HWND window, const wchar_t* name)
{
    wchar_t cls[32] = L"";
    GetClassNameW(window, cls, ARRAYSIZE(cls));
    return _wcsicmp(cls, name) == 0;
}

bool IsUnderlined(HFONT font)
{
    LOGFONTW description;
    return font && GetObjectW(font, sizeof(description), &description) == sizeof(description) &&
           description.lfUnderline;
}

// Whether the icon still exists, and its size.
bool IconState(HICON icon, int* width, int* height)
{
    *width = *height = 0;
    ICONINFO info;
    if (!icon || !GetIconInfo(icon, &info)) return false;
    BITMAP bitmap;
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap)) {
        *width = bitmap.bmWidth;
        *height = bitmap.bmHeight;
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return true;
}

LRESULT CALLBACK BeforeMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* message = (const CWPSTRUCT*)lParam;
    if (code < 0) return CallNextHookEx(NULL, code, wParam, lParam);
    EnterCriticalSection(&Lock);
    Cycle* cycle = Current();
    if (message->message == WM_INITDIALOG && HasClass(message->hwnd, L"#32770") &&
        GetDlgItem(message->hwnd, IDC_ABOUT_ICON) && CycleCount < MAX_CYCLES) {
        cycle = &Cycles[CycleCount++];
        ZeroMemory(cycle, sizeof(*cycle));
        cycle->dialog = message->hwnd;
        cycle->link = GetDlgItem(message->hwnd, IDC_ABOUT_LINK);
        cycle->linkProcBefore = cycle->link ? GetWindowLongPtrW(cycle->link, GWLP_WNDPROC) : 0;
        cycle->dialogDestroySeq = cycle->linkDestroySeq = -1;
        if (FaultNoLink && cycle->link) {
            DestroyWindow(cycle->link);
            cycle->link = NULL;
        }
    } else if (cycle && message->message == WM_SETFONT && message->hwnd == cycle->link) {
        HFONT font = (HFONT)message->wParam;
        if (font && font == cycle->normalFont) {
            ++cycle->setFontNormal;
        } else if (IsUnderlined(font)) {
            ++cycle->setFontHot;
            if (font != cycle->underlineFont) ++cycle->underlineFonts;
            cycle->underlineFont = font;
        } else {
            ++cycle->setFontOther;
        }
    } else if (cycle && message->message == WM_DESTROY) {
        if (message->hwnd == cycle->dialog) cycle->dialogDestroySeq = Sequence++;
        if (message->hwnd == cycle->link && cycle->link) {
            cycle->linkDestroySeq = Sequence++;
            cycle->linkProcAtDestroy = GetWindowLongPtrW(cycle->link, GWLP_WNDPROC);
        }
    }
    LeaveCriticalSection(&Lock);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* message = (const CWPRETSTRUCT*)lParam;
    if (code < 0) return CallNextHookEx(NULL, code, wParam, lParam);
    EnterCriticalSection(&Lock);
    Cycle* cycle = Current();
    if (cycle && message->hwnd == cycle->dialog) {
        if (message->message == WM_INITDIALOG) {
            cycle->linkProcAfter = cycle->link ? GetWindowLongPtrW(cycle->link, GWLP_WNDPROC) : 0;
            cycle->normalFont = cycle->link ? (HFONT)SendMessageW(cycle->link, WM_GETFONT, 0, 0) : NULL;
            cycle->image = (HICON)SendDlgItemMessageW(cycle->dialog, IDC_ABOUT_ICON, STM_GETIMAGE, IMAGE_ICON, 0);
            IconState(cycle->image, &cycle->imageWidth, &cycle->imageHeight);
        } else if (message->message == WM_NCDESTROY) {
            int width, height;
            cycle->closed = 1;
            cycle->fontTypeAfterClose = cycle->underlineFont ? GetObjectType(cycle->underlineFont) : 0;
            cycle->imageAliveAfterClose = IconState(cycle->image, &width, &height) ? 1 : 0;
        }
    }
    LeaveCriticalSection(&Lock);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

LRESULT CALLBACK TakenMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = (const MSG*)lParam;
    if (code == HC_ACTION && wParam == PM_REMOVE && (message->message == WM_MOUSEMOVE || message->message == WM_NCMOUSEMOVE)) {
        InterlockedExchange(&LastMoveX, message->pt.x);
        InterlockedExchange(&LastMoveY, message->pt.y);
        InterlockedIncrement(&MovesTaken);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// ---- replacing one import of the exe, for the failure cases ----

typedef HFONT(WINAPI* CreateFontIndirectWFn)(const LOGFONTW*);
CreateFontIndirectWFn RealCreateFontIndirectW;

HFONT WINAPI FailingCreateFontIndirectW(const LOGFONTW* description)
{
    if (FaultNoFont) {
        InterlockedIncrement(&FaultFontCalls);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    return RealCreateFontIndirectW(description);
}

// Points the exe's import slot for CreateFontIndirectW at the failing
// version: the slot is the one that holds the address gdi32 exports.
bool PatchFontImport()
{
    void* real = (void*)GetProcAddress(GetModuleHandleW(L"gdi32.dll"), "CreateFontIndirectW");
    BYTE* base = (BYTE*)GetModuleHandleW(NULL);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY iat = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    void** slots = (void**)(base + iat.VirtualAddress);
    for (DWORD i = 0; real && i < iat.Size / sizeof(void*); ++i) {
        if (slots[i] != real) continue;
        DWORD protect;
        VirtualProtect(&slots[i], sizeof(void*), PAGE_READWRITE, &protect);
        RealCreateFontIndirectW = (CreateFontIndirectWFn)real;
        slots[i] = (void*)FailingCreateFontIndirectW;
        VirtualProtect(&slots[i], sizeof(void*), protect, &protect);
        return true;
    }
    return false;
}

// ---- replies ----

struct Reply {
    char text[60000];
    size_t length;
};

void Add(Reply* reply, const char* format, ...)
{
    size_t room = sizeof(reply->text) - reply->length;
    va_list args;
    va_start(args, format);
    int written = vsnprintf(reply->text + reply->length, room, format, args);
    va_end(args);
    if (written > 0) reply->length += (size_t)written < room ? (size_t)written : room - 1;
}

unsigned long long Hex(const void* value)
{
    return (unsigned long long)(ULONG_PTR)value;
}

// The open About box, or NULL after answering the error.
HWND AboutDialog(Reply* reply, const char* error = "error=no about dialog\n")
{
    EnterCriticalSection(&Lock);
    Cycle* cycle = Current();
    HWND dialog = cycle && !cycle->closed && IsWindow(cycle->dialog) ? cycle->dialog : NULL;
    LeaveCriticalSection(&Lock);
    if (!dialog) Add(reply, "%s", error);
    return dialog;
}

GUITHREADINFO GuiInfo()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GuiThread, &info);
    return info;
}

HWND GuiCapture() { return GuiInfo().hwndCapture; }

// Asks the dialog, on its own thread, how it colours one static control: the
// memory DC starts with colours the dialog would never choose, so any change
// shows what the dialog procedure (or the default handling) did.
void AddColorAnswer(Reply* reply, const char* prefix, HWND dialog, HWND control)
{
    HDC dc = CreateCompatibleDC(NULL);
    SetTextColor(dc, 0x00123456);
    SetBkColor(dc, 0x00654321);
    SetBkMode(dc, OPAQUE);
    DWORD_PTR brush = 0;
    SendMessageTimeoutW(dialog, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)control, SMTO_NORMAL, 5000, &brush);
    Add(reply, "%s.id=%d\n%s.text=0x%08lx\n%s.bkmode=%d\n%s.brush_btnface=%d\n", prefix, GetDlgCtrlID(control),
        prefix, (unsigned long)GetTextColor(dc), prefix, GetBkMode(dc), prefix,
        (HBRUSH)brush == GetSysColorBrush(COLOR_BTNFACE) ? 1 : 0);
    DeleteDC(dc);
}

void ReplyColors(Reply* reply)
{
    HWND dialog = AboutDialog(reply);
    if (!dialog) return;
    Add(reply, "sys.windowtext=0x%08lx\n", (unsigned long)GetSysColor(COLOR_WINDOWTEXT));
    int index = 0;
    char prefix[32];
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!HasClass(child, L"Static")) continue;
        snprintf(prefix, sizeof(prefix), "static%d", index++);
        AddColorAnswer(reply, prefix, dialog, child);
    }
    Add(reply, "statics=%d\n", index);
}

void ReplyState(Reply* reply)
{
    HWND dialog = AboutDialog(reply);
    if (!dialog) return;
    HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
    HFONT font = link ? (HFONT)SendMessageW(link, WM_GETFONT, 0, 0) : NULL;
    EnterCriticalSection(&Lock);
    Cycle cycle = *Current();
    LeaveCriticalSection(&Lock);
    CURSORINFO cursor = {};
    cursor.cbSize = sizeof(cursor);
    GetCursorInfo(&cursor);
    Add(reply, "cursor_hand=%d\n", cursor.hCursor && cursor.hCursor == LoadCursorW(NULL, IDC_HAND) ? 1 : 0);
    Add(reply, "link=%llx\nunderlined=%d\nnormal_font=%d\ncapture=%llx\nset_font_hot=%d\nset_font_normal=%d\n"
               "set_font_other=%d\n",
        Hex(link), IsUnderlined(font) ? 1 : 0, font && font == cycle.normalFont ? 1 : 0, Hex(GuiCapture()),
        cycle.setFontHot, cycle.setFontNormal, cycle.setFontOther);
    if (link) AddColorAnswer(reply, "link", dialog, link);
}

void ReplyCycles(Reply* reply)
{
    EnterCriticalSection(&Lock);
    Add(reply, "cycles=%d\n", CycleCount);
    for (int i = 0; i < CycleCount; ++i) {
        const Cycle& c = Cycles[i];
        Add(reply,
            "cycle\tdialog=%llx\tlink=%llx\tproc_before=%llx\tproc_after=%llx\tproc_at_destroy=%llx\t"
            "underline_font=%llx\tunderline_fonts=%d\tset_font_other=%d\timage_size=%dx%d\tdialog_destroy_seq=%d\t"
            "link_destroy_seq=%d\tclosed=%d\tfont_type_after_close=%lu\timage_alive_after_close=%d\n",
            Hex(c.dialog), Hex(c.link), (unsigned long long)c.linkProcBefore, (unsigned long long)c.linkProcAfter,
            (unsigned long long)c.linkProcAtDestroy, Hex(c.underlineFont), c.underlineFonts, c.setFontOther,
            c.imageWidth, c.imageHeight, c.dialogDestroySeq, c.linkDestroySeq, c.closed,
            (unsigned long)c.fontTypeAfterClose, c.imageAliveAfterClose);
    }
    LeaveCriticalSection(&Lock);
}

// Wine keeps every GDI object of the process in the table that the PEB's
// GdiSharedHandleTable points to (GetGuiResources answers 0 there): 0x10000
// entries of 24 bytes (object, owner, unique, type, flags, user pointer),
// the type byte at offset 14 being 0 while the slot is free.
const int GDI_TABLE_SIZE = 0x10000, GDI_ENTRY_SIZE = 24, GDI_TYPE_OFFSET = 14;

BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    ++*(int*)count;
    EnumChildWindows(window, [](HWND, LPARAM inner) -> BOOL { ++*(int*)inner; return TRUE; }, count);
    return TRUE;
}

void ReplyGdi(Reply* reply)
{
    typedef BYTE*(WINAPI * RtlGetCurrentPebFn)(void);
    RtlGetCurrentPebFn currentPeb =
        (RtlGetCurrentPebFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetCurrentPeb");
    BYTE* peb = currentPeb ? currentPeb() : NULL;
    const BYTE* table = peb ? *(const BYTE**)(peb + 0xF8) : NULL;  // PEB.GdiSharedHandleTable (x64)
    if (!table) return Add(reply, "error=no gdi handle table\n");
    int counts[128] = {0};
    for (int i = 0; i < GDI_TABLE_SIZE; ++i) {
        BYTE type = table[i * GDI_ENTRY_SIZE + GDI_TYPE_OFFSET];
        if (type) ++counts[type & 0x7f];
    }
    for (int type = 1; type < 128; ++type) {
        if (counts[type]) Add(reply, "gdi_type_%02x=%d\n", type, counts[type]);
    }
    int windows = 0;
    EnumThreadWindows(GuiThread, CountWindow, (LPARAM)&windows);
    Add(reply, "gui_windows=%d\n", windows);
}

// Each child's rectangle in the dialog's client coordinates, the dialog's
// own icons (WM_GETICON is answered only inside the process) and the focus.
// Without a handle: the About box.
void ReplyLayout(Reply* reply, HWND dialog)
{
    if (!dialog && !(dialog = AboutDialog(reply))) return;
    RECT client;
    GetClientRect(dialog, &client);
    Add(reply, "client=%ld,%ld\nowner=%llx\nicon_big=%llx\nicon_small=%llx\nfocus=%llx\n", client.right, client.bottom,
        Hex(GetWindow(dialog, GW_OWNER)), Hex((void*)SendMessageW(dialog, WM_GETICON, ICON_BIG, 0)),
        Hex((void*)SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0)), Hex(GuiInfo().hwndFocus));
    HDC dc = CreateCompatibleDC(NULL);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(NULL, dialog, (POINT*)&r, 2);
        // The text's extent in the control's own font: wider or taller than
        // the control means the text is cut off on screen.
        wchar_t text[512] = L"";
        int length = GetWindowTextW(child, text, ARRAYSIZE(text));
        HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageW(child, WM_GETFONT, 0, 0));
        SIZE extent = {0, 0};
        if (length > 0) GetTextExtentPoint32W(dc, text, length, &extent);
        SelectObject(dc, old);
        Add(reply, "child\thwnd=%llx\trect=%ld,%ld,%ld,%ld\textent=%ld,%ld\n", Hex(child), r.left, r.top, r.right,
            r.bottom, extent.cx, extent.cy);
    }
    DeleteDC(dc);
}

// Dialog units to client pixels with the dialog's own font, as the dialog
// manager placed the template's controls.
void ReplyMapRect(Reply* reply, int x, int y, int width, int height, HWND dialog)
{
    if (!dialog) dialog = AboutDialog(reply, "");
    RECT r = {x, y, x + width, y + height};
    if (!dialog || !MapDialogRect(dialog, &r)) Add(reply, "error=MapDialogRect\n");
    else Add(reply, "mapped=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
}

// Where the caption's close box is on the screen: the centre of the points
// the dialog itself reports as HTCLOSE.
void ReplyCloseBox(Reply* reply)
{
    HWND dialog = AboutDialog(reply);
    RECT r;
    if (!dialog || !GetWindowRect(dialog, &r)) return;
    long sumX = 0, sumY = 0, count = 0;
    // The box sits at the caption's right end.
    for (long y = r.top; y < r.top + 32 && y < r.bottom; ++y) {
        for (long x = r.right - 64 > r.left ? r.right - 64 : r.left; x < r.right; ++x) {
            DWORD_PTR hit = 0;
            SendMessageTimeoutW(dialog, WM_NCHITTEST, 0, MAKELPARAM((WORD)x, (WORD)y), SMTO_NORMAL, 2000, &hit);
            if (hit == HTCLOSE) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    }
    if (!count) Add(reply, "error=no close box\n");
    else Add(reply, "x=%ld\ny=%ld\n", sumX / count, sumY / count);
}

// Sends WM_MOUSEMOVE at (x, y) in the link's client coordinates, as the
// system would for a pointer there, and waits until the link has handled it.
void ReplyMove(Reply* reply, int x, int y)
{
    HWND dialog = AboutDialog(reply, "");
    HWND link = dialog ? GetDlgItem(dialog, IDC_ABOUT_LINK) : NULL;
    if (!link) return Add(reply, "error=no link\n");
    DWORD_PTR result = 0;
    SendMessageTimeoutW(link, WM_MOUSEMOVE, 0, MAKELPARAM((WORD)(short)x, (WORD)(short)y), SMTO_NORMAL, 5000, &result);
    Add(reply, "capture=%llx\n", Hex(GuiCapture()));
}

// The items of the popup menu shown in window (found by the helper), read
// here since the HMENU from MN_GETHMENU can be read only inside the process.
void ReplyMenu(Reply* reply, HWND found)
{
    // The GUI thread, inside the menu's modal loop, answers sent messages.
    DWORD_PTR handle = 0;
    if (!SendMessageTimeoutW(found, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle) || !handle)
        return Add(reply, "error=MN_GETHMENU gave nothing\n");
    HMENU menu = (HMENU)handle;
    int items = GetMenuItemCount(menu);
    Add(reply, "hmenu=%llx\ncount=%d\n", Hex(menu), items);
    for (int i = 0; i < items; ++i) {
        wchar_t text[256] = L"";
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_CHECKMARKS;
        info.dwTypeData = text;
        info.cch = ARRAYSIZE(text);
        if (!GetMenuItemInfoW(menu, (UINT)i, TRUE, &info)) {
            Add(reply, "item%d=unreadable\n", i);
            continue;
        }
        char utf8[4 * ARRAYSIZE(text)] = "";
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), NULL, NULL);
        RECT r = {0, 0, 0, 0};
        GetMenuItemRect(NULL, menu, (UINT)i, &r);
        Add(reply, "item%d.type=0x%x\nitem%d.state=0x%x\nitem%d.id=%u\nitem%d.submenu=%d\nitem%d.checkbitmaps=%d\n",
            i, info.fType, i, info.fState, i, info.wID, i, info.hSubMenu ? 1 : 0, i,
            (info.hbmpChecked || info.hbmpUnchecked) ? 1 : 0);
        Add(reply, "item%d.text=%s\nitem%d.rect=%ld,%ld,%ld,%ld\n", i, utf8, i, r.left, r.top, r.right, r.bottom);
    }
}

// The GUI thread and the exe's image, so that a test can tell the program's
// own calls in a relay trace.
void ReplyPing(Reply* reply)
{
    BYTE* exe = (BYTE*)GetModuleHandleW(NULL);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(exe + ((IMAGE_DOS_HEADER*)exe)->e_lfanew);
    Add(reply, "thread=%lu\nhooks=%d\nexe=%llx\nexe_size=%lx\n", GuiThread,
        CallHook && RetHook && GetMessageHook ? 1 : 0, Hex(exe), (unsigned long)nt->OptionalHeader.SizeOfImage);
}

void Handle(const char* request, Reply* reply)
{
    int x = 0, y = 0, width = 0, height = 0;
    unsigned long long handle = 0;
    if (strcmp(request, "ping") == 0) ReplyPing(reply);
    else if (strcmp(request, "lastmove") == 0) Add(reply, "moves=%ld\nx=%ld\ny=%ld\n", MovesTaken, LastMoveX, LastMoveY);
    else if (strcmp(request, "state") == 0) ReplyState(reply);
    else if (strcmp(request, "colors") == 0) ReplyColors(reply);
    else if (strcmp(request, "cycles") == 0) ReplyCycles(reply);
    else if (strcmp(request, "gdi") == 0) ReplyGdi(reply);
    else if (strcmp(request, "closebox") == 0) ReplyCloseBox(reply);
    else if (strncmp(request, "layout", 6) == 0) {
        sscanf(request + 6, "%llx", &handle);  // no handle: the About box
        ReplyLayout(reply, (HWND)(ULONG_PTR)handle);
    }
    else if (sscanf(request, "maprect %d %d %d %d %llx", &x, &y, &width, &height, &handle) >= 4)
        ReplyMapRect(reply, x, y, width, height, (HWND)(ULONG_PTR)handle);
    else if (sscanf(request, "move %d %d", &x, &y) == 2) ReplyMove(reply, x, y);
    else if (sscanf(request, "menu %llx", &handle) == 1) ReplyMenu(reply, (HWND)(ULONG_PTR)handle);
    else if (sscanf(request, "ismenu %llx", &handle) == 1) Add(reply, "ismenu=%d\n", IsMenu((HMENU)(ULONG_PTR)handle) ? 1 : 0);
    else if (strcmp(request, "fault nolink") == 0) Add(reply, "armed=%d\n", FaultNoLink = true);
    else if (strcmp(request, "fault nofont") == 0) Add(reply, "armed=%d\n", FaultNoFont = RealCreateFontIndirectW || PatchFontImport());
    else if (strcmp(request, "fault count") == 0) Add(reply, "font_calls_failed=%ld\n", FaultFontCalls);
    else Add(reply, "error=unknown request\n");
}

DWORD WINAPI Serve(LPVOID)
{
    // The probe is injected after the main window exists; allow for a slow start.
    for (int tries = 0; tries < 200 && !MainWindow; ++tries) {
        HWND window = FindWindowW(L"StillSentinelClass", NULL);
        DWORD pid = 0;
        if (window) GuiThread = GetWindowThreadProcessId(window, &pid);
        if (window && pid == GetCurrentProcessId()) MainWindow = window;
        else Sleep(50);
    }
    if (MainWindow) {
        CallHook = SetWindowsHookExW(WH_CALLWNDPROC, BeforeMessage, Self, GuiThread);
        RetHook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterMessage, Self, GuiThread);
        GetMessageHook = SetWindowsHookExW(WH_GETMESSAGE, TakenMessage, Self, GuiThread);
    }
    wchar_t name[64];
    swprintf(name, ARRAYSIZE(name), L"\\\\.\\pipe\\ssprobe-%lu", GetCurrentProcessId());
    static Reply reply;
    for (;;) {
        HANDLE pipe = CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                       sizeof(reply.text), 1024, 0, NULL);
        if (pipe == INVALID_HANDLE_VALUE) return 1;
        if (ConnectNamedPipe(pipe, NULL) || GetLastError() == ERROR_PIPE_CONNECTED) {
            char request[256] = "";
            DWORD got = 0;
            if (ReadFile(pipe, request, sizeof(request) - 1, &got, NULL)) {
                request[got] = 0;
                reply.length = 0;
                Handle(request, &reply);
                WriteFile(pipe, reply.text, (DWORD)reply.length, &got, NULL);
                FlushFileBuffers(pipe);  // the client has read it all before the disconnect
            }
            DisconnectNamedPipe(pipe);
        }
        CloseHandle(pipe);
    }
}

}  // namespace

// Runs once per process however often the DLL is loaded: LoadLibrary only
// counts further loads, so a second inject starts no second server.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        Self = instance;
        DisableThreadLibraryCalls(instance);
        InitializeCriticalSection(&Lock);
        HANDLE thread = CreateThread(NULL, 0, Serve, NULL, 0, NULL);
        if (thread) CloseHandle(thread);
    }
    return TRUE;
}
