#pragma once
// The notification-area icon: one record for the process, added when the
// monitor dialog is created and removed at exit.
#include <windows.h>
#include <shellapi.h>

namespace zeph {

constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;  // 1124
constexpr UINT kTrayIconId = 9999;
constexpr const char* kTrayTip = "Zephra Button AP...";

// Fills the record for owner and adds the icon; false when the shell refuses it.
bool AddTrayIcon(HWND owner, HINSTANCE instance);
// Adds the record again, for a shell that refused it or a taskbar that was
// re-created (replace: delete it first, as a shell that still knows the icon
// refuses a second add). True also when the shell turns the add down because
// the icon is already there. Does nothing once the icon has been removed for good.
bool ReAddTrayIcon(bool replace);
// Removes the icon of the last owner; a failed removal is ignored.
void RemoveTrayIcon();
// The record as last given to the shell.
const NOTIFYICONDATAA& TrayIconRecord();

}  // namespace zeph
