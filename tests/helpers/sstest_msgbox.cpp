// Message-box commands: find a box by its caption, read it, press a button.
#include "sstest.h"

#include <vector>

// Message boxes put their text in a static control with this id.
static const int MSGBOX_TEXT_ID = 0xFFFF;

struct BoxSearch {
    const wchar_t* title;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectBox(HWND window, LPARAM param)
{
    BoxSearch* search = (BoxSearch*)param;
    if (WindowClass(window) == L"#32770" && WindowText(window) == search->title) search->found.push_back(window);
    return TRUE;
}

static std::vector<HWND> FindBoxes(const wchar_t* title)
{
    BoxSearch search = {title, {}};
    EnumWindows(CollectBox, (LPARAM)&search);
    return search.found;
}

struct ChildList {
    HWND parent;
    std::vector<HWND> children;
};

static BOOL CALLBACK CollectChild(HWND child, LPARAM param)
{
    ChildList* list = (ChildList*)param;
    if (GetParent(child) == list->parent) list->children.push_back(child);
    return TRUE;
}

static std::vector<HWND> DirectChildren(HWND parent)
{
    ChildList list = {parent, {}};
    EnumChildWindows(parent, CollectChild, (LPARAM)&list);
    return list.children;
}

SSTEST_COMMAND(msgbox, "<title> <timeout_ms>: waits for a message box (#32770) with this caption; prints count, hwnd, "
                       "pid, visible, owner, text (static id 0xFFFF) and one button=<id>:<text> line per button")
{
    if (argc < 2) return 2;
    const wchar_t* title = argv[0];
    DWORD timeoutMs = (DWORD)ParseNumber(argv[1]);
    DWORD start = GetTickCount();
    std::vector<HWND> boxes;
    for (;;) {
        boxes = FindBoxes(title);
        if (!boxes.empty() || GetTickCount() - start >= timeoutMs) break;
        Sleep(50);
    }
    PrintUtf8(Format(L"count=%u\n", (unsigned)boxes.size()));
    if (boxes.empty()) {
        PrintUtf8(L"hwnd=0\n");
        return 1;
    }
    HWND box = boxes[0];
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    PrintUtf8(Format(L"hwnd=%llx\npid=%lu\nvisible=%d\nowner=%llx\n", (unsigned long long)(ULONG_PTR)box, pid,
                     IsWindowVisible(box) ? 1 : 0, (unsigned long long)(ULONG_PTR)GetWindow(box, GW_OWNER)));
    bool textFound = false;
    for (HWND child : DirectChildren(box)) {
        int id = GetDlgCtrlID(child);
        std::wstring cls = WindowClass(child);
        if ((id & 0xFFFF) == MSGBOX_TEXT_ID && !textFound) {
            textFound = true;
            PrintUtf8(L"text=" + WindowText(child) + L"\n");
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            PrintUtf8(Format(L"button=%d:", id) + WindowText(child) + L"\n");
        }
    }
    return textFound ? 0 : 1;
}

SSTEST_COMMAND(msgboxpress, "<hwnd> <button_id> <timeout_ms>: presses the box's button (WM_COMMAND BN_CLICKED) "
                            "and waits until the box is gone; prints gone=0|1")
{
    if (argc < 3) return 2;
    HWND box = ParseWindow(argv[0]);
    int id = (int)ParseNumber(argv[1]);
    DWORD timeoutMs = (DWORD)ParseNumber(argv[2]);
    HWND button = GetDlgItem(box, id);
    if (!IsWindow(box) || !button) {
        PrintUtf8(L"gone=0\n");
        return 1;
    }
    // Posted, as a click would be: the box's own modal loop handles it.
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
    DWORD start = GetTickCount();
    while (IsWindow(box) && GetTickCount() - start < timeoutMs) Sleep(50);
    bool gone = !IsWindow(box);
    PrintUtf8(Format(L"gone=%d\n", gone ? 1 : 0));
    return gone ? 0 : 1;
}
