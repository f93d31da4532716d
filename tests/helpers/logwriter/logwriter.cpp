// logwriter <count> <tag> [first] [event]: appends <count> lines
// "<tag> NNNNNN" (numbered from [first], default 1) through WriteLogLine,
// exactly as the program writes its own lines, then prints how long that
// took. With [event], it first creates that named event and waits (at most
// a minute) until someone sets it, so that a test can start it together
// with another writer.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "log/log_file.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        fputs("usage: logwriter <count> <tag> [first] [event]\n", stderr);
        return 2;
    }
    unsigned long count = wcstoul(argv[1], NULL, 10);
    const wchar_t* tag = argv[2];
    unsigned long first = argc > 3 ? wcstoul(argv[3], NULL, 10) : 1;
    // Longer tags would make a text that no longer fits the event buffer.
    if (wcslen(tag) > 32) return 2;

    if (argc > 4) {
        HANDLE go = CreateEventW(NULL, TRUE, FALSE, argv[4]);
        if (!go) return 3;
        DWORD waited = WaitForSingleObject(go, 60000);
        CloseHandle(go);
        if (waited != WAIT_OBJECT_0) return 3;
    }

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (unsigned long i = 0; i < count; ++i) {
        wchar_t text[64];
        _snwprintf(text, ARRAYSIZE(text) - 1, L"%ls %06lu", tag, first + i);
        text[ARRAYSIZE(text) - 1] = L'\0';
        WriteLogLine(text);
    }
    QueryPerformanceCounter(&end);
    double seconds = (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
    // The folder the writer resolved tells the test it shares the program's.
    printf("folder=%ls\nlines=%lu\nseconds=%.3f\n", LogFolderPath, count, seconds);
    return LogFolderPath[0] ? 0 : 1;
}
