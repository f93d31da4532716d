// Commands for the settings dialog tests: read and set the items of another
// process's dialog.
#include "sstest.h"

#include <commctrl.h>

#include "res/resource.h"

static const int EDIT_IDS[4] = {IDC_TIMER_INTERVAL, IDC_IDLE_LIMIT, IDC_MOVE_THRESHOLD, IDC_LOG_INTERVAL};
static const int SPIN_IDS[4] = {IDC_TIMER_INTERVAL_SPIN, IDC_IDLE_LIMIT_SPIN, IDC_MOVE_THRESHOLD_SPIN,
                                IDC_LOG_INTERVAL_SPIN};

static bool PrintDialogState(HWND dialog)
{
    for (int i = 0; i < 4; ++i) {
        HWND edit = GetDlgItem(dialog, EDIT_IDS[i]);
        HWND spin = GetDlgItem(dialog, SPIN_IDS[i]);
        if (!edit || !spin) return false;
        PrintUtf8(Format(L"text%d=%ls\n", EDIT_IDS[i], WindowText(edit).c_str()));
        // UDM_GETRANGE packs both bounds into the result, so it needs no
        // pointer into the other process: low word maximum, high word minimum.
        LRESULT range = 0, pos = 0;
        if (!SendTo(spin, UDM_GETRANGE, 0, 0, &range)) return false;
        if (!SendTo(spin, UDM_GETPOS32, 0, 0, &pos)) return false;
        PrintUtf8(Format(L"range%d=%d,%d\npos%d=%d\n", SPIN_IDS[i], (int)(short)HIWORD((DWORD)range),
                         (int)(short)LOWORD((DWORD)range), SPIN_IDS[i], (int)pos));
    }
    HWND check = GetDlgItem(dialog, IDC_STARTUP);
    LRESULT state = 0;
    if (!check || !SendTo(check, BM_GETCHECK, 0, 0, &state)) return false;
    PrintUtf8(Format(L"check%d=%d\n", IDC_STARTUP, (int)state));
    return true;
}

SSTEST_COMMAND(dlgstate, "<dialog>: edit texts, up-down ranges and positions, check box state")
{
    return argc < 1 ? 2 : PrintDialogState(ParseWindow(argv[0])) ? 0 : 1;
}

static bool SetItemTexts(HWND dialog, int argc, wchar_t** argv)
{
    for (int i = 0; i + 1 < argc; i += 2) {
        HWND item = GetDlgItem(dialog, (int)ParseNumber(argv[i]));
        LRESULT result = 0;
        if (!item || !SendTo(item, WM_SETTEXT, 0, (LPARAM)argv[i + 1], &result) || !result) {
            PrintUtf8(Format(L"failed=%ls\n", argv[i]));
            return false;
        }
    }
    return true;
}

SSTEST_COMMAND(dlgset, "<dialog> <id> <text> [<id> <text>...]: WM_SETTEXT to dialog items (bypasses ES_NUMBER)")
{
    if (argc < 3 || (argc - 1) % 2) return 2;
    if (!SetItemTexts(ParseWindow(argv[0]), argc - 1, argv + 1)) return 1;
    PrintUtf8(L"set=1\n");
    return 0;
}

SSTEST_COMMAND(dlgkey, "<dialog>/<id> <vk> [count]: posts key-down and key-up of a virtual key to a dialog item")
{
    if (argc < 2) return 2;
    HWND item = ParseWindow(argv[0]);
    UINT key = (UINT)ParseNumber(argv[1]);
    unsigned long long count = argc > 2 ? ParseNumber(argv[2]) : 1;
    // Down and up together, so that no auto-repeat of the receiver can see
    // a key held longer than the test meant.
    bool ok = item != NULL;
    for (unsigned long long i = 0; ok && i < count; ++i)
        ok = PostMessageW(item, WM_KEYDOWN, key, 1) && PostMessageW(item, WM_KEYUP, key, 0xC0000001);
    PrintUtf8(Format(L"posted=%d\n", ok ? 1 : 0));
    return ok ? 0 : 1;
}
