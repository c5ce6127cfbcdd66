#include "monitor/tray_icon.h"

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
// Set from the first add until the removal: what a re-created taskbar must show.
bool g_wanted = false;

void ReleaseIcon() {
  if (g_trayIcon.hIcon) DestroyIcon(g_trayIcon.hIcon);
  g_trayIcon.hIcon = nullptr;
}
}  // namespace

bool AddTrayIcon(HWND owner, HINSTANCE instance) {
  ReleaseIcon();
  std::memset(&g_trayIcon, 0, sizeof g_trayIcon);
  g_trayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  g_trayIcon.hWnd = owner;
  g_trayIcon.uID = kTrayIconId;
  g_trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  g_trayIcon.uCallbackMessage = WM_TRAYNOTIFY;
  // The small image of icon 129: the notification area would otherwise shrink
  // the 32 x 32 one. The shell keeps its own copy, but a re-add needs it again.
  g_trayIcon.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_ZEPHRA), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  std::strncpy(g_trayIcon.szTip, kTrayTip, sizeof g_trayIcon.szTip - 1);
  g_wanted = true;
  return Shell_NotifyIconA(NIM_ADD, &g_trayIcon) != FALSE;
}

bool ReAddTrayIcon(bool replace) {
  if (!g_wanted) return false;
  if (replace) Shell_NotifyIconA(NIM_DELETE, &g_trayIcon);
  if (Shell_NotifyIconA(NIM_ADD, &g_trayIcon)) return true;
  // A taskbar that is slow to answer reports an add as failed although it did
  // add the icon, and then refuses every later add as a duplicate: an icon
  // that takes a modify is there.
  return Shell_NotifyIconA(NIM_MODIFY, &g_trayIcon) != FALSE;
}

void RemoveTrayIcon() {
  NOTIFYICONDATAA record;
  std::memset(&record, 0, sizeof record);
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = g_trayIcon.hWnd;
  record.uID = kTrayIconId;
  Shell_NotifyIconA(NIM_DELETE, &record);
  g_wanted = false;
  ReleaseIcon();
}

const NOTIFYICONDATAA& TrayIconRecord() { return g_trayIcon; }

}  // namespace zeph
