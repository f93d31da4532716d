// The About box and its hand-drawn web link.
#pragma once
#include <windows.h>

#define LINK_COLOR_NORMAL ((COLORREF)0x00FF0000)  // blue
#define LINK_COLOR_HOT    ((COLORREF)0x000000FF)  // red

// The maker's web page: the link's text after "URL : " and what the shell opens.
extern const wchar_t* const ABOUT_URL;

struct AboutLinkState {
    HWND linkWindow;
    HFONT normalFont;     // the dialog manager's; never deleted here
    HFONT underlineFont;  // ours; deleted with the dialog
    WNDPROC oldWndProc;
    COLORREF textColor;
};

extern AboutLinkState AboutLink;

void ResetLinkState();
LRESULT CALLBACK LinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
