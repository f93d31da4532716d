// Numeric identifiers shared by the resource script and the code.
#pragma once

// Icon group
#define IDI_APP 101

// Tray menu and its commands
#define IDR_TRAYMENU 100
#define IDM_EXIT     40001
#define IDM_ABOUT    40002
#define IDM_SETTINGS 40003
#define IDM_OPENLOG  40004

// Settings dialog
#define IDD_SETTINGS               1000
#define IDC_TIMER_INTERVAL         1001
#define IDC_TIMER_INTERVAL_SPIN    1002
#define IDC_IDLE_LIMIT             1003
#define IDC_IDLE_LIMIT_SPIN        1004
#define IDC_MOVE_THRESHOLD         1005
#define IDC_MOVE_THRESHOLD_SPIN    1006
#define IDC_LOG_INTERVAL           1007
#define IDC_LOG_INTERVAL_SPIN      1008
#define IDC_STARTUP                1009

// About dialog
#define IDD_ABOUT      2000
#define IDC_ABOUT_ICON 2001
#define IDC_ABOUT_LINK 2002

// Tray callback message (WM_APP + 1)
#define WM_TRAYICON 0x8001

// Main window timers
#define TIMER_IDLE 1
#define TIMER_LOG  2
