#include <gtest/gtest.h>

#include "res/resource.h"
#include "ui/tray.h"

TEST(TrayCommands, DialogOpenBlocksOnlyTheTwoDialogCommands)
{
    struct Row {
        WPARAM command;
        int dialogOpen;
        TrayAction action;
    };
    const Row rows[] = {
        {IDM_SETTINGS, 0, TRAY_ACTION_SETTINGS}, {IDM_ABOUT, 0, TRAY_ACTION_ABOUT},
        {IDM_SETTINGS, 1, TRAY_ACTION_NONE},     {IDM_ABOUT, 1, TRAY_ACTION_NONE},
        {IDM_EXIT, 0, TRAY_ACTION_EXIT},         {IDM_EXIT, 1, TRAY_ACTION_EXIT},
        {IDM_OPENLOG, 0, TRAY_ACTION_OPENLOG},   {IDM_OPENLOG, 1, TRAY_ACTION_OPENLOG},
        {0, 0, TRAY_ACTION_NONE},                {40005, 0, TRAY_ACTION_NONE},
        {IDOK, 0, TRAY_ACTION_NONE},
        // Only the low word is the command; the notification code is ignored.
        {MAKEWPARAM(IDM_EXIT, 1), 0, TRAY_ACTION_EXIT},
        {MAKEWPARAM(IDM_SETTINGS, 0xFFFF), 0, TRAY_ACTION_SETTINGS},
        {MAKEWPARAM(IDM_ABOUT, 1), 1, TRAY_ACTION_NONE},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ChooseTrayAction(r.command, r.dialogOpen), r.action)
            << "command " << r.command << " dialogOpen " << r.dialogOpen;
    }
}

TEST(TrayCallback, OnlyTheRightButtonReleaseOpensTheMenu)
{
    struct Row {
        LPARAM lParam;
        bool opens;
    };
    const Row rows[] = {
        {WM_RBUTTONUP, true},       {WM_LBUTTONUP, false},   {WM_LBUTTONDBLCLK, false},
        {WM_RBUTTONDOWN, false},    {WM_MOUSEMOVE, false},   {WM_CONTEXTMENU, false},
        {WM_RBUTTONDBLCLK, false},  {0, false},
        // The whole lParam is compared: a version-4 style callback does not match.
        {MAKELPARAM(WM_RBUTTONUP, 1), false}, {(LPARAM)0x100000205ll, false},
    };
    for (const Row& r : rows) EXPECT_EQ(IsTrayMenuRequest(r.lParam), r.opens) << std::hex << r.lParam;
}
