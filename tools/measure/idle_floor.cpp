// The floor the idle program is measured against: what any tray program of
// this kind must cost. A hidden window, the same tray icon, and a 1-second
// timer whose tick does nothing. "idle_floor text" also paints a small window
// of text once at start, as the program paints its welcome dialog, and hides it:
// the share of the memory that any program pays for having drawn text once.
#include <windows.h>
#include <shellapi.h>

#include "res/resource.h"

namespace {
LRESULT CALLBACK FloorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) return 0;
  return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = FloorProc;
  wc.hInstance = instance;
  wc.lpszClassName = "ZephIdleFloor";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Zephra idle floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (lstrcmpA(cmdLine, "text") == 0) {
    HWND shown = CreateWindowExA(0, "STATIC", "Zephra idle floor", WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 100, 300,
                                 200, nullptr, nullptr, instance, nullptr);
    CreateWindowExA(0, "BUTTON", "Exit", WS_CHILD | WS_VISIBLE, 200, 100, 80, 30, shown, nullptr, instance, nullptr);
    UpdateWindow(shown);
    ShowWindow(shown, SW_HIDE);
  }
  NOTIFYICONDATAA nid = {};
  nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
  nid.hWnd = hwnd;
  nid.uID = 9999;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = WM_USER + 100;
  nid.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_ZEPHRA), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  lstrcpyA(nid.szTip, "Zephra idle floor");
  Shell_NotifyIconA(NIM_ADD, &nid);
  SetTimer(hwnd, 1, 1000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  Shell_NotifyIconA(NIM_DELETE, &nid);
  return 0;
}
