// Generic window commands: find, wait, post, send, dump.
#include "sstest.h"

SSTEST_COMMAND(wait, "<class|*> <title|*> <timeout_ms>: waits for a top-level window; prints hwnd, pid, visible")
{
    if (argc < 3) return 2;
    HWND window = WaitTopWindow(argv[0], argv[1], (DWORD)ParseNumber(argv[2]));
    if (!window) {
        PrintUtf8(L"hwnd=0\n");
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    PrintUtf8(Format(L"hwnd=%llx\npid=%lu\nvisible=%d\nclass=%ls\ntitle=%ls\n", (unsigned long long)(ULONG_PTR)window,
                     pid, IsWindowVisible(window) ? 1 : 0, WindowClass(window).c_str(), WindowText(window).c_str()));
    return 0;
}

SSTEST_COMMAND(waitgone, "<hwnd> <timeout_ms>: waits until the window no longer exists")
{
    if (argc < 2) return 2;
    HWND window = ParseWindow(argv[0]);
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= (DWORD)ParseNumber(argv[1])) return 1;
        Sleep(50);
    }
    return 0;
}

SSTEST_COMMAND(post, "<hwnd> <msg> <wparam> <lparam>: PostMessageW")
{
    if (argc < 4) return 2;
    BOOL ok = PostMessageW(ParseWindow(argv[0]), (UINT)ParseNumber(argv[1]), (WPARAM)ParseNumber(argv[2]),
                           (LPARAM)ParseNumber(argv[3]));
    PrintUtf8(Format(L"posted=%d\n", ok ? 1 : 0));
    return ok ? 0 : 1;
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

SSTEST_COMMAND(send, "<hwnd> <msg> <wparam> <lparam>: SendMessageTimeoutW; prints the result")
{
    if (argc < 4) return 2;
    DWORD_PTR result = 0;
    LRESULT ok = SendMessageTimeoutW(ParseWindow(argv[0]), (UINT)ParseNumber(argv[1]), (WPARAM)ParseNumber(argv[2]),
                                     (LPARAM)ParseNumber(argv[3]), SMTO_ABORTIFHUNG, 5000, &result);
    PrintUtf8(Format(L"result=%lld\n", (long long)result));
    return ok ? 0 : 1;
}

static void PrintWindow(const wchar_t* prefix, HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    PrintUtf8(Format(L"%ls hwnd=%llx id=%d class=%ls style=0x%08lx exstyle=0x%08lx rect=%ld,%ld,%ld,%ld visible=%d text=%ls\n",
                     prefix, (unsigned long long)(ULONG_PTR)window, (int)GetDlgCtrlID(window),
                     WindowClass(window).c_str(), (unsigned long)GetWindowLongW(window, GWL_STYLE),
                     (unsigned long)GetWindowLongW(window, GWL_EXSTYLE), r.left, r.top, r.right, r.bottom,
                     IsWindowVisible(window) ? 1 : 0, WindowText(window).c_str()));
}

static BOOL CALLBACK PrintChild(HWND child, LPARAM parent)
{
    if (GetParent(child) == (HWND)parent) PrintWindow(L"child", child);
    return TRUE;
}

SSTEST_COMMAND(dump, "<hwnd>: the window and its direct children, in z-order (creation order for dialogs)")
{
    if (argc < 1) return 2;
    HWND window = ParseWindow(argv[0]);
    if (!IsWindow(window)) return 1;
    PrintWindow(L"window", window);
    EnumChildWindows(window, PrintChild, (LPARAM)window);
    return 0;
}
