// Commands for the event-log tests.
#include "sstest.h"

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

    std::wstring refused;
    unsigned long long accepted = 0, runStart = 0, runLength = 0;
    auto flushRun = [&]() {
        if (runLength == 0) return;
        if (!refused.empty()) refused += L",";
        refused += runLength == 1 ? Format(L"%llu", runStart) : Format(L"%llu-%llu", runStart, runStart + runLength - 1);
        runLength = 0;
    };
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (unsigned long long i = 0; i < count; ++i) {
        unsigned long long wParam = first + i;
        if (PostMessageW(window, message, (WPARAM)wParam, lParam)) {
            ++accepted;
            flushRun();
        } else {
            if (runLength == 0) runStart = wParam;
            ++runLength;
        }
    }
    QueryPerformanceCounter(&end);
    flushRun();
    double seconds = (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
    // The refused list can outgrow Format's buffer: print it on its own.
    PrintUtf8(Format(L"accepted=%llu\nseconds=%.3f\n", accepted, seconds));
    PrintUtf8(L"refused=" + refused + L"\n");
    return 0;
}

static HANDLE OpenWindowThread(HWND window)
{
    DWORD threadId = GetWindowThreadProcessId(window, NULL);
    return threadId ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId) : NULL;
}

// Holds the window's thread so that a burst of posted messages queues up
// whole before the first one is handled.
SSTEST_COMMAND(suspend, "<hwnd>: suspends the thread that owns the window; prints the previous suspend count")
{
    if (argc < 1) return 2;
    HANDLE thread = OpenWindowThread(ParseWindow(argv[0]));
    if (!thread) return 1;
    DWORD previous = SuspendThread(thread);
    CloseHandle(thread);
    PrintUtf8(Format(L"previous=%ld\n", (long)previous));
    return previous == (DWORD)-1 ? 1 : 0;
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
    HANDLE thread = OpenWindowThread(ParseWindow(argv[0]));
    if (!thread) return 1;
    DWORD previous = ResumeThread(thread);
    CloseHandle(thread);
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }
    PrintUtf8(Format(L"previous=%ld\n", (long)previous));
    return previous == (DWORD)-1 ? 1 : 0;
}
