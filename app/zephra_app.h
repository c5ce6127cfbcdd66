#pragma once
// The application object of zephkeys.exe: a single instance that creates the
// hidden tray window and runs the monitor dialog as its life.
#include "framework/app.h"
#include "platform/win32/win32_platform.h"
#include "settings/slot_store.h"
#include "tray/tray_wnd.h"

namespace zeph {

constexpr const char* kAlreadyRunningText = "You are already running Zephra Button...";
constexpr const char* kAlreadyRunningCaption = "error running!!";

class CZephraApp : public CWinApp, public ITrayCommands {
 public:
  CZephraApp() = default;
  ~CZephraApp() override;

  // Always FALSE: the monitor dialog's modal run was the program's life.
  BOOL InitInstance() override;
  int ExitInstance() override;

  // ITrayCommands
  void OpenSettings() override;

 private:
  // True when another copy of the program already runs for this user.
  bool AnotherInstanceRuns();
  bool RegisterTrayClass();

  // The process-wide objects: the platform behind the logic, and the slots,
  // which live from start-up to exit.
  Win32Platform m_platform;
  SlotStore m_slots{m_platform.registry, m_platform.windows};
  HANDLE m_instanceMutex = nullptr;
  HWND m_trayWnd = nullptr;
};

}  // namespace zeph
