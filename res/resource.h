// Resource ids shared by the resource script, the code and the tests.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_PROPERTIES 101
#define IDD_MONITOR 102
#define IDD_ADDRESS_INPUT 131

// Icons
#define IDR_MAINFRAME 128  // the monitor dialog asks for it; the program has none
#define IDI_ZEPHRA 129
#define IDI_S1_BROWSER 301
#define IDI_S2_SEARCH 302
#define IDI_S3_HEART 303
#define IDI_S4_MAIL 304
#define IDI_OK 305
#define IDI_CANCEL 306
#define IDI_APPLY 307
#define IDI_DEFAULT 308

// The tray menu's pictures
#define IDB_MENU_ABOUT 163
#define IDB_MENU_CLOSE 164
#define IDB_MENU_SETTINGS 165
#define IDB_MENU_EXIT 166

// The tray menu's commands
#define IDM_TRAY_SETTINGS 201
#define IDM_TRAY_ABOUT 202
#define IDM_TRAY_EXIT 203
#define IDM_TRAY_CLOSE 204

// The Properties background drawing (a placeable metafile)
#define IDR_NOTEBOOK 310

// Strings
#define IDS_ABOUTBOX 101

// Monitor dialog
#define IDC_PROGRESS 1000
#define IDC_KEYBOARD_AP 1002

// Address input dialog
#define IDC_ADDRESS 1001

// Properties dialog
#define IDC_APPLY 3
#define IDC_DEFAULT 4
#define IDC_EDIT_S1 105
#define IDC_EDIT_S4 110
#define IDC_EDIT_S2 111
#define IDC_EDIT_S3 112
#define IDC_BTN_S3 1004
#define IDC_BTN_S4 1005
#define IDC_BTN_S1 1006
#define IDC_BTN_S2 1007
#define IDC_LABEL_OK 1011
#define IDC_LABEL_CANCEL 1012
#define IDC_LABEL_APPLY 1013
#define IDC_LABEL_DEFAULT 1014
#define IDC_BACKGROUND 1015

// System-menu command of the About entry
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
