#include "tray/tray_wnd.h"

#include "framework/app.h"
#include "framework/handles.h"
#include "monitor/about_dlg.h"
#include "monitor/tray_icon.h"
#include "res/resource.h"

namespace zeph {

namespace {

ITrayCommands* g_commands = nullptr;

void OnSettings() {
  if (g_commands) g_commands->OpenSettings();
}

void OnExit() {
  // The icon goes first, so the shell never shows an icon whose owner is gone;
  // shutdown's own removal then finds nothing.
  RemoveTrayIcon();
  PostQuitMessage(0);
}

}  // namespace

ZEPH_BEGIN_MESSAGE_MAP(CTrayWnd, CWnd)
  ZEPH_ON_MESSAGE(WM_CREATE, OnCreate)
  ZEPH_ON_MESSAGE(WM_NCLBUTTONDOWN, OnNcLButtonDown)
  ZEPH_ON_MESSAGE(WM_TRAYNOTIFY, OnTrayNotify)
ZEPH_END_MESSAGE_MAP()

LRESULT CTrayWnd::OnCreate(WPARAM, LPARAM) { return Default() == -1 ? -1 : 0; }
LRESULT CTrayWnd::OnNcLButtonDown(WPARAM, LPARAM) { return 0; }
LRESULT CTrayWnd::OnTrayNotify(WPARAM, LPARAM) { return 1; }

void SetTrayCommands(ITrayCommands* commands) { g_commands = commands; }

void ShowTrayMenu(HWND tray) {
  struct Item {
    UINT command;
    int bitmap;
  };
  static const Item kItems[] = {
      {IDM_TRAY_SETTINGS, IDB_MENU_SETTINGS},
      {IDM_TRAY_ABOUT, IDB_MENU_ABOUT},
      {IDM_TRAY_CLOSE, IDB_MENU_CLOSE},
      {IDM_TRAY_EXIT, IDB_MENU_EXIT},
  };
  Menu menu(CreatePopupMenu());
  if (!menu) return;
  // The menu only borrows its item bitmaps: they are released after it.
  Bitmap bitmaps[4];
  for (int i = 0; i < 4; ++i) {
    bitmaps[i].Reset(static_cast<HBITMAP>(
        LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(kItems[i].bitmap), IMAGE_BITMAP, 0, 0, 0)));
    AppendMenuA(menu.Get(), MF_BITMAP, kItems[i].command, reinterpret_cast<const char*>(bitmaps[i].Get()));
  }
  POINT cursor;
  GetCursorPos(&cursor);
  // Without the foreground the menu would not close on a click elsewhere or
  // on Escape; the null message afterwards lets a second right click open it
  // again at once.
  SetForegroundWindow(tray);
  TrackPopupMenu(menu.Get(), TPM_CENTERALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, tray, nullptr);
  PostMessageA(tray, WM_NULL, 0, 0);
  menu.Reset();
}

LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!CWnd::FromHandlePermanent(hwnd)) {
    auto* wnd = new CTrayWnd;
    if (!wnd->Attach(hwnd)) {
      delete wnd;
      return DefWindowProcA(hwnd, msg, wp, lp);
    }
  }
  const LRESULT result = CWnd::StdWndProc(hwnd, msg, wp, lp);

  if (msg == WM_TRAYNOTIFY) {
    switch (lp) {
      case WM_LBUTTONDOWN: PostMessageA(nullptr, WM_LBUTTONDOWN, 0, 0); break;
      case WM_LBUTTONDBLCLK: OnSettings(); break;
      case WM_RBUTTONDOWN: ShowTrayMenu(hwnd); break;
      default: break;
    }
  }
  // The menu's choices arrive as WM_COMMAND; the commands are looked for in
  // every message's wParam.
  switch (wp) {
    case IDM_TRAY_SETTINGS: OnSettings(); break;
    case IDM_TRAY_ABOUT: RunAboutBox(); break;
    case IDM_TRAY_EXIT: OnExit(); break;
    default: break;
  }
  return result;
}

}  // namespace zeph
