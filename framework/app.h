#pragma once
// The application object: one static instance per program, with start-up and
// shutdown overrides. AppMain is the body of WinMain.
#include <windows.h>

namespace zeph {

class CWnd;

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  static CWinApp* Get() { return s_app; }

  // Start-up. Returning FALSE skips the message loop and goes to shutdown.
  virtual BOOL InitInstance() { return FALSE; }
  // Shutdown; the result is the process exit code (the last quit request's code).
  virtual int ExitInstance();
  virtual int Run();

  HINSTANCE m_hInstance = nullptr;
  CWnd* m_pMainWnd = nullptr;
  int m_quitCode = 0;

 private:
  static CWinApp* s_app;
};

// The module the program's resources come from.
HINSTANCE ModuleInstance();
// The window a dialog constructed without a parent is owned by: the main
// window's last active popup, or else the thread's active window.
HWND GetSafeOwner();
// Runs the application object's start-up, message loop and shutdown.
int AppMain(HINSTANCE instance);

}  // namespace zeph
