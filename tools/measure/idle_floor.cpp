// The floor the idle program is measured against: what any tray program of
// this kind must cost. A hidden window, the same tray icon, and a 1-second
// timer whose tick does nothing. "idle_floor shown" first shows a captioned
// window with a line of text and hides it in its first paint, as the program's
// welcome dialog does: what having been seen once costs any program (a shown
// window can bring libraries of its own into the process). "idle_floor dialog"
// shows instead a dialog made from a copy of the program's welcome dialog
// template (its font, its progress control), also hidden in its first paint:
// what that dialog costs any program that shows it.
#include <windows.h>
#include <shellapi.h>

#include "res/resource.h"

namespace {
LRESULT CALLBACK FloorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) return 0;
  return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ShownProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TextOutA(dc, 10, 10, "Welcome to the idle floor", 25);
  SelectObject(dc, old);
  EndPaint(hwnd, &ps);
  ShowWindow(hwnd, SW_HIDE);
  return 0;
}
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  if (msg != WM_PAINT) return msg == WM_INITDIALOG;
  PAINTSTRUCT ps;
  BeginPaint(hwnd, &ps);
  EndPaint(hwnd, &ps);
  ShowWindow(hwnd, SW_HIDE);
  return TRUE;
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
  if (lstrcmpA(cmdLine, "shown") == 0) {
    WNDCLASSA shown = {};
    shown.lpfnWndProc = ShownProc;
    shown.hInstance = instance;
    shown.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    shown.lpszClassName = "ZephIdleFloorShown";
    RegisterClassA(&shown);
    CreateWindowExA(WS_EX_APPWINDOW, shown.lpszClassName, "Welcome", WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 100,
                    300, 200, nullptr, nullptr, instance, nullptr);
  }
  if (lstrcmpA(cmdLine, "dialog") == 0) {
    // Only this mode pays for the common controls' library (its progress
    // control): linked, it would be loaded in every mode.
    if (HMODULE controls = LoadLibraryA("comctl32.dll")) {
      using InitFn = void(WINAPI*)();
      if (auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControls"))))
        init();
    }
    CreateDialogParamA(instance, MAKEINTRESOURCEA(200), nullptr, DialogProc, 0);
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
