#pragma once
// The hidden tray window: it owns the notification-area icon and answers its
// mouse notifications, and runs the picture menu's commands.
#include "framework/wnd.h"

namespace zeph {

constexpr const char* kTrayClassName = "Zephkeys";
constexpr const char* kTrayWindowTitle = "Velmaris Zephkeys";

// What the tray's commands open; the application provides it.
class ITrayCommands {
 public:
  virtual ~ITrayCommands() = default;
  virtual void OpenSettings() = 0;
};

// The framework object of the hidden window. Created on the heap by the window
// procedure when it first meets the window; deletes itself when the window goes.
class CTrayWnd : public CWnd {
  ZEPH_DECLARE_MESSAGE_MAP()

 protected:
  LRESULT OnCreate(WPARAM wp, LPARAM lp);
  LRESULT OnNcLButtonDown(WPARAM wp, LPARAM lp);
  LRESULT OnTrayNotify(WPARAM wp, LPARAM lp);
  void PostNcDestroy() override { delete this; }
};

// The window procedure of the class "Zephkeys". commands runs Settings.
void SetTrayCommands(ITrayCommands* commands);
LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The four-picture menu at the cursor; its choice comes back as WM_COMMAND.
void ShowTrayMenu(HWND tray);

}  // namespace zeph
