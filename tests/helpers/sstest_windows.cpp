// Window commands: find, list, wait for and message windows, read message
// boxes and popup menus from outside the program.
#include "sstest.h"

static const wchar_t* AnyIfStar(const wchar_t* text)
{
    return wcscmp(text, L"*") ? text : NULL;
}

SSTEST_COMMAND(wait, "<class|*> <title|*> <timeout_ms>: waits for a top-level window; prints hwnd, pid, visible, class, title")
{
    if (argc < 3) return 2;
    std::vector<HWND> found =
        WaitTopWindows({0, AnyIfStar(argv[0]), AnyIfStar(argv[1]), false, NULL}, (DWORD)ParseNumber(argv[2]));
    if (found.empty()) {
        PrintUtf8(L"hwnd=0\n");
        return 1;
    }
    HWND window = found[0];
    PrintUtf8(Format(L"hwnd=%llx\npid=%lu\nvisible=%d\nclass=%ls\ntitle=%ls\n", Hex(window), WindowProcess(window),
                     IsWindowVisible(window) ? 1 : 0, WindowClass(window).c_str(), WindowText(window).c_str()));
    return 0;
}

SSTEST_COMMAND(waitgone, "<hwnd> <timeout_ms>: waits until the window no longer exists")
{
    if (argc < 2) return 2;
    return WaitGone(ParseWindow(argv[0]), (DWORD)ParseNumber(argv[1])) ? 0 : 1;
}

int PostArgs(HWND window, wchar_t** args)
{
    BOOL ok = window && PostMessageW(window, (UINT)ParseNumber(args[0]), (WPARAM)ParseNumber(args[1]),
                                     (LPARAM)ParseNumber(args[2]));
    PrintUtf8(Format(L"posted=%d\n", ok ? 1 : 0));
    return ok ? 0 : 1;
}

int SendArgs(HWND window, wchar_t** args)
{
    DWORD_PTR result = 0;
    LRESULT ok = window && SendMessageTimeoutW(window, (UINT)ParseNumber(args[0]), (WPARAM)ParseNumber(args[1]),
                                               (LPARAM)ParseNumber(args[2]), SMTO_ABORTIFHUNG, 5000, &result);
    PrintUtf8(Format(L"result=%lld\n", (long long)result));
    return ok ? 0 : 1;
}

SSTEST_COMMAND(post, "<hwnd> <msg> <wparam> <lparam>: PostMessageW")
{
    return argc < 4 ? 2 : PostArgs(ParseWindow(argv[0]), argv + 1);
}

SSTEST_COMMAND(send, "<hwnd> <msg> <wparam> <lparam>: SendMessageTimeoutW; prints the result")
{
    return argc < 4 ? 2 : SendArgs(ParseWindow(argv[0]), argv + 1);
}

SSTEST_COMMAND(postmany, "<hwnd> <count> <msg> <wparam> <lparam>: posts count times; prints how many were accepted")
{
    if (argc < 5) return 2;
    HWND window = ParseWindow(argv[0]);
    unsigned long long count = ParseNumber(argv[1]), accepted = 0;
    for (unsigned long long i = 0; i < count; ++i) {
        if (PostMessageW(window, (UINT)ParseNumber(argv[2]), (WPARAM)ParseNumber(argv[3]), (LPARAM)ParseNumber(argv[4])))
            ++accepted;
    }
    PrintUtf8(Format(L"accepted=%llu\n", accepted));
    return 0;
}

SSTEST_COMMAND(dump, "<hwnd>: the window and its direct children, in z-order (creation order for dialogs)")
{
    if (argc < 1) return 2;
    HWND window = ParseWindow(argv[0]);
    if (!IsWindow(window)) return 1;
    PrintWindowLine(L"window", window, true);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        PrintWindowLine(L"child", child, true);
    return 0;
}

SSTEST_COMMAND(windows, "[pid]: every top-level window (of pid), each followed by all its descendants")
{
    for (HWND window : TopWindows({argc >= 1 ? (DWORD)ParseNumber(argv[0]) : 0, NULL, NULL, false, NULL})) {
        PrintWindowLine(L"top", window, false);
        EnumChildWindows(window, [](HWND child, LPARAM) -> BOOL { PrintWindowLine(L"child", child, false); return TRUE; }, 0);
    }
    return 0;
}

SSTEST_COMMAND(menus, "<pid> <timeout_ms> <count>: waits until pid shows exactly count popup menus; prints them")
{
    if (argc < 3) return 2;
    int wanted = (int)ParseNumber(argv[2]);
    std::vector<HWND> shown =
        WaitTopWindows({(DWORD)ParseNumber(argv[0]), L"#32768", NULL, true, NULL}, (DWORD)ParseNumber(argv[1]), wanted);
    PrintUtf8(Format(L"count=%u\n", (unsigned)shown.size()));
    for (size_t i = 0; i < shown.size(); ++i) {
        RECT r = {0, 0, 0, 0};
        GetWindowRect(shown[i], &r);
        PrintUtf8(Format(L"menu%u=%llx\nrect%u=%ld,%ld,%ld,%ld\n", (unsigned)i, Hex(shown[i]), (unsigned)i, r.left, r.top,
                         r.right, r.bottom));
    }
    return shown.size() == (size_t)wanted ? 0 : 1;
}

// Message boxes put their text in a static control with this id.
static const int MSGBOX_TEXT_ID = 0xFFFF;

SSTEST_COMMAND(msgbox, "<title> <timeout_ms>: waits for a message box (#32770) with this caption; prints count, hwnd, "
                       "pid, visible, owner, text (static id 0xFFFF) and one button=<id>:<text> line per button")
{
    if (argc < 2) return 2;
    std::vector<HWND> boxes = WaitTopWindows({0, L"#32770", argv[0], false, NULL}, (DWORD)ParseNumber(argv[1]));
    PrintUtf8(Format(L"count=%u\n", (unsigned)boxes.size()));
    if (boxes.empty()) {
        PrintUtf8(L"hwnd=0\n");
        return 1;
    }
    HWND box = boxes[0];
    PrintUtf8(Format(L"hwnd=%llx\npid=%lu\nvisible=%d\nowner=%llx\n", Hex(box), WindowProcess(box),
                     IsWindowVisible(box) ? 1 : 0, Hex(GetWindow(box, GW_OWNER))));
    bool textFound = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(child);
        if ((id & 0xFFFF) == MSGBOX_TEXT_ID && !textFound) {
            textFound = true;
            PrintUtf8(L"text=" + WindowText(child) + L"\n");
        } else if (_wcsicmp(WindowClass(child).c_str(), L"Button") == 0) {
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
    HWND button = GetDlgItem(box, id);
    // Posted, as a click would be: the box's own modal loop handles it.
    bool gone = IsWindow(box) && button && PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button) &&
                WaitGone(box, (DWORD)ParseNumber(argv[2]));
    PrintUtf8(Format(L"gone=%d\n", gone ? 1 : 0));
    return gone ? 0 : 1;
}

SSTEST_COMMAND(aboutgui, "<hwnd>: GetGUIThreadInfo of the window's thread; prints capture, active, focus")
{
    if (argc < 1) return 2;
    DWORD thread = GetWindowThreadProcessId(ParseWindow(argv[0]), NULL);
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    if (!thread || !GetGUIThreadInfo(thread, &info)) return 1;
    PrintUtf8(Format(L"capture=%llx\nactive=%llx\nfocus=%llx\n", Hex(info.hwndCapture), Hex(info.hwndActive),
                     Hex(info.hwndFocus)));
    return 0;
}
