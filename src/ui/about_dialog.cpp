#include "ui/about_dialog.h"

#include <shellapi.h>

#include "res/resource.h"
#include "res/version.h"
#include "res/version_check.h"

// The address is the link's own text after its prefix: one constant for both.
static const wchar_t ABOUT_LINK_TEXT[] = L"" APP_LINK_TEXT;
const wchar_t* const ABOUT_URL = ABOUT_LINK_TEXT + (sizeof(APP_LINK_PREFIX) - 1);

AboutLinkState AboutLink;

// The 128-pixel image made for the icon control. It is ours (not shared), so
// it is detached and destroyed with the dialog; the control's original icon
// is the shared one it loaded itself and is left alone.
static HICON AboutImage;

// Shows the link in the given colour and font: the colour is stored first so
// that the repaint asked for by WM_SETFONT already uses it.
static void SetLinkLook(HWND link, COLORREF color, HFONT font)
{
    AboutLink.textColor = color;
    // Without an underlined font the hot look is the colour alone.
    if (font) SendMessageW(link, WM_SETFONT, (WPARAM)font, TRUE);
    else InvalidateRect(link, NULL, TRUE);
}

void ResetLinkState()
{
    if (AboutLink.linkWindow) SetLinkLook(AboutLink.linkWindow, LINK_COLOR_NORMAL, AboutLink.normalFont);
    else AboutLink.textColor = LINK_COLOR_NORMAL;
    ReleaseCapture();
}

static void OnLinkMouseMove(HWND link, LPARAM lParam)
{
    if (!GetCapture()) {
        SetLinkLook(link, LINK_COLOR_HOT, AboutLink.underlineFont);
        SetCapture(link);
    }
    RECT client;
    GetClientRect(link, &client);
    POINT at = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    if (!PtInRect(&client, at)) {
        SetLinkLook(link, LINK_COLOR_NORMAL, AboutLink.normalFont);
        ReleaseCapture();
    }
}

LRESULT CALLBACK LinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETCURSOR) {
        SetCursor(LoadCursorW(NULL, IDC_HAND));
        return TRUE;
    }
    if (message == WM_MOUSEMOVE) OnLinkMouseMove(window, lParam);
    return CallWindowProcW(AboutLink.oldWndProc, window, message, wParam, lParam);
}

static HFONT CreateUnderlinedCopy(HFONT font)
{
    LOGFONTW description;
    if (!font || GetObjectW(font, sizeof(description), &description) != sizeof(description)) return NULL;
    description.lfUnderline = TRUE;
    return CreateFontIndirectW(&description);
}

static void InitAboutDialog(HWND dialog)
{
    HINSTANCE module = GetModuleHandleW(NULL);
    SendMessageW(dialog, WM_SETICON, ICON_BIG, (LPARAM)LoadIconW(module, MAKEINTRESOURCEW(IDI_APP)));
    AboutImage = (HICON)LoadImageW(module, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 128, 128, LR_DEFAULTCOLOR);
    SendDlgItemMessageW(dialog, IDC_ABOUT_ICON, STM_SETIMAGE, IMAGE_ICON, (LPARAM)AboutImage);

    AboutLink.linkWindow = GetDlgItem(dialog, IDC_ABOUT_LINK);
    AboutLink.normalFont = NULL;
    AboutLink.underlineFont = NULL;
    AboutLink.oldWndProc = NULL;
    AboutLink.textColor = LINK_COLOR_NORMAL;
    // A missing link control leaves a plain dialog: nothing is subclassed.
    if (!AboutLink.linkWindow) return;
    AboutLink.normalFont = (HFONT)SendMessageW(AboutLink.linkWindow, WM_GETFONT, 0, 0);
    AboutLink.underlineFont = CreateUnderlinedCopy(AboutLink.normalFont);
    AboutLink.oldWndProc = (WNDPROC)GetWindowLongPtrW(AboutLink.linkWindow, GWLP_WNDPROC);
    SetWindowLongPtrW(AboutLink.linkWindow, GWLP_WNDPROC, (LONG_PTR)LinkWndProc);
}

static void DestroyAboutDialog(HWND dialog)
{
    if (AboutLink.linkWindow && AboutLink.oldWndProc)
        SetWindowLongPtrW(AboutLink.linkWindow, GWLP_WNDPROC, (LONG_PTR)AboutLink.oldWndProc);
    if (AboutLink.underlineFont) DeleteObject(AboutLink.underlineFont);
    AboutLink.underlineFont = NULL;
    if (AboutImage) {
        SendDlgItemMessageW(dialog, IDC_ABOUT_ICON, STM_SETIMAGE, IMAGE_ICON, 0);
        DestroyIcon(AboutImage);
        AboutImage = NULL;
    }
}

static INT_PTR OnAboutCommand(HWND dialog, WPARAM wParam)
{
    WORD id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, id);
        return TRUE;
    }
    if (id == IDC_ABOUT_LINK) {
        if (HIWORD(wParam) == STN_CLICKED) {
            ResetLinkState();
            ShellExecuteW(NULL, L"open", ABOUT_URL, NULL, NULL, SW_SHOWNORMAL);
        }
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitAboutDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return OnAboutCommand(dialog, wParam);
    case WM_CTLCOLORSTATIC:
        if (AboutLink.linkWindow && (HWND)lParam == AboutLink.linkWindow) {
            SetTextColor((HDC)wParam, AboutLink.textColor);
            SetBkMode((HDC)wParam, TRANSPARENT);
            return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
        }
        return FALSE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE) ResetLinkState();
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_DESTROY:
        DestroyAboutDialog(dialog);
        return FALSE;
    }
    return FALSE;
}
