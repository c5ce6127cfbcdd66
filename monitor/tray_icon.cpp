#include "monitor/tray_icon.h"

#include <shellapi.h>

#include <cstring>

#include "res/resource.h"

namespace zeph {

#if !defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the tray icon record is the 88-byte first version");
#endif

namespace {
// The first version of the record (88 bytes on 32-bit Windows), which every
// shell understands.
NOTIFYICONDATAA g_trayIcon;
}  // namespace

bool AddTrayIcon(HWND owner, HINSTANCE instance) {
  std::memset(&g_trayIcon, 0, sizeof g_trayIcon);
  g_trayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  g_trayIcon.hWnd = owner;
  g_trayIcon.uID = kTrayIconId;
  g_trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  g_trayIcon.uCallbackMessage = WM_TRAYNOTIFY;
  g_trayIcon.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_ZEPHRA));
  std::strncpy(g_trayIcon.szTip, kTrayTip, sizeof g_trayIcon.szTip - 1);
  return Shell_NotifyIconA(NIM_ADD, &g_trayIcon) != FALSE;
}

void RemoveTrayIcon() {
  NOTIFYICONDATAA record;
  std::memset(&record, 0, sizeof record);
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = g_trayIcon.hWnd;
  record.uID = kTrayIconId;
  Shell_NotifyIconA(NIM_DELETE, &record);
}

}  // namespace zeph
