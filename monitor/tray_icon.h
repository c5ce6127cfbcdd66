#pragma once
// The notification-area icon: one record for the process, added when the
// monitor dialog is created and removed at exit.
#include <windows.h>

namespace zeph {

constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;  // 1124
constexpr UINT kTrayIconId = 9999;
constexpr const char* kTrayTip = "Zephra Button AP...";

// Fills the record for owner and adds the icon; false when the shell refuses it.
bool AddTrayIcon(HWND owner, HINSTANCE instance);
// Removes the icon of the last owner; a failed removal is ignored.
void RemoveTrayIcon();

}  // namespace zeph
