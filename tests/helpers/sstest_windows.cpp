// Window commands: find, list and wait for windows, message them (singly, in
// bursts, with the receiving thread held), list popup menus.
#include "sstest.h"

SSTEST_COMMAND(wait, "<class|*> <title|*> <timeout_ms> [shown]: waits for a top-level window (shown: a visible one); "
                     "prints hwnd, pid, visible, class, title")
{
    if (argc < 3) return 2;
    const wchar_t* cls = wcscmp(argv[0], L"*") ? argv[0] : NULL;
    const wchar_t* title = wcscmp(argv[1], L"*") ? argv[1] : NULL;
    // A dialog is shown once WM_INITDIALOG has set its items; one found while
    // still being made may lack its texts.
    bool shown = argc > 3 && wcscmp(argv[3], L"shown") == 0;
    std::vector<HWND> found = TopWindows({0, cls, title, shown, NULL}, (DWORD)ParseNumber(argv[2]));
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
    return argc < 2 ? 2 : WaitGone(ParseWindow(argv[0]), (DWORD)ParseNumber(argv[1])) ? 0 : 1;
}

SSTEST_COMMAND(post, "<hwnd>[/<id>] <msg> <wparam> <lparam>: PostMessageW")
{
    if (argc < 4) return 2;
    HWND window = ParseWindow(argv[0]);
    BOOL ok = window && PostMessageW(window, (UINT)ParseNumber(argv[1]), (WPARAM)ParseNumber(argv[2]),
                                     (LPARAM)ParseNumber(argv[3]));
    PrintUtf8(Format(L"posted=%d\n", ok ? 1 : 0));
    return ok ? 0 : 1;
}

SSTEST_COMMAND(send, "<hwnd>[/<id>] <msg> <wparam> <lparam>: SendMessageTimeoutW; prints the result")
{
    if (argc < 4) return 2;
    HWND window = ParseWindow(argv[0]);
    LRESULT result = 0;
    bool ok = window && SendTo(window, (UINT)ParseNumber(argv[1]), (WPARAM)ParseNumber(argv[2]),
                               (LPARAM)ParseNumber(argv[3]), &result);
    PrintUtf8(Format(L"result=%lld\n", (long long)result));
    return ok ? 0 : 1;
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
        TopWindows({(DWORD)ParseNumber(argv[0]), L"#32768", NULL, true, NULL}, (DWORD)ParseNumber(argv[1]), wanted);
    PrintUtf8(Format(L"count=%u\n", (unsigned)shown.size()));
    for (size_t i = 0; i < shown.size(); ++i) {
        RECT r = {0, 0, 0, 0};
        GetWindowRect(shown[i], &r);
        PrintUtf8(Format(L"menu%u=%llx\nrect%u=%ld,%ld,%ld,%ld\n", (unsigned)i, Hex(shown[i]), (unsigned)i, r.left, r.top,
                         r.right, r.bottom));
    }
    return shown.size() == (size_t)wanted ? 0 : 1;
}

// Posts one message count times with wParam first, first+1, ... so that the
// order of the resulting log lines can be checked. Prints how many the
// platform accepted and the wParam values of any it refused, as ranges.
SSTEST_COMMAND(postseq, "<hwnd> <msg> <first_wparam> <count> <lparam>: posts with an incrementing wParam; prints accepted, refused ranges, seconds")
{
    if (argc < 5) return 2;
    HWND window = ParseWindow(argv[0]);
    UINT message = (UINT)ParseNumber(argv[1]);
    unsigned long long first = ParseNumber(argv[2]), count = ParseNumber(argv[3]);
    LPARAM lParam = (LPARAM)ParseNumber(argv[4]);

    std::vector<unsigned long long> refused;
    unsigned long long accepted = 0;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (unsigned long long wParam = first; wParam < first + count; ++wParam) {
        if (PostMessageW(window, message, (WPARAM)wParam, lParam)) ++accepted;
        else refused.push_back(wParam);
    }
    QueryPerformanceCounter(&end);
    double seconds = (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
    std::wstring ranges;
    for (size_t i = 0, j; i < refused.size(); i = j) {
        for (j = i + 1; j < refused.size() && refused[j] == refused[j - 1] + 1; ++j) {}
        ranges += (ranges.empty() ? L"" : L",") +
                  (j - i == 1 ? Format(L"%llu", refused[i]) : Format(L"%llu-%llu", refused[i], refused[j - 1]));
    }
    // The refused list can outgrow Format's buffer: print it on its own.
    PrintUtf8(Format(L"accepted=%llu\nseconds=%.3f\n", accepted, seconds));
    PrintUtf8(L"refused=" + ranges + L"\n");
    return 0;
}

// Suspends or resumes the window's thread, then sets startEvent if given;
// prints the previous suspend count.
static int HoldThread(HWND window, bool hold, HANDLE startEvent)
{
    DWORD threadId = GetWindowThreadProcessId(window, NULL);
    HANDLE thread = threadId ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId) : NULL;
    if (!thread) return 1;
    DWORD previous = hold ? SuspendThread(thread) : ResumeThread(thread);
    CloseHandle(thread);
    if (startEvent) SetEvent(startEvent);
    PrintUtf8(Format(L"previous=%ld\n", (long)previous));
    return previous == (DWORD)-1 ? 1 : 0;
}

// Holds the window's thread so that a burst of posted messages queues up
// whole before the first one is handled.
SSTEST_COMMAND(suspend, "<hwnd>: suspends the thread that owns the window; prints the previous suspend count")
{
    return argc < 1 ? 2 : HoldThread(ParseWindow(argv[0]), true, NULL);
}

// Resumes the window's thread. With an event name, first waits (bounded) for
// another process to create that event, then sets it right after the resume,
// so that both start writing at the same moment.
SSTEST_COMMAND(resume, "<hwnd> [event] [timeout_ms]: resumes the window's thread, then sets the named event")
{
    if (argc < 1) return 2;
    HANDLE event = NULL;
    if (argc >= 2) {
        DWORD timeoutMs = argc >= 3 ? (DWORD)ParseNumber(argv[2]) : 30000;
        DWORD start = GetTickCount();
        while (!(event = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]))) {
            if (GetTickCount() - start >= timeoutMs) {
                PrintUtf8(L"event=missing\n");
                return 1;
            }
            Sleep(5);
        }
    }
    return HoldThread(ParseWindow(argv[0]), false, event);
}
