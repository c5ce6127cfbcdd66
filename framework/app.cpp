#include "framework/app.h"

#include "framework/wnd.h"

namespace zeph {

CWinApp* CWinApp::s_app = nullptr;

CWinApp::CWinApp() { s_app = this; }
CWinApp::~CWinApp() {
  if (s_app == this) s_app = nullptr;
}

int CWinApp::ExitInstance() { return m_quitCode; }

int CWinApp::Run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  m_quitCode = static_cast<int>(msg.wParam);
  return ExitInstance();
}

HINSTANCE ModuleInstance() {
  CWinApp* app = CWinApp::Get();
  return app && app->m_hInstance ? app->m_hInstance : GetModuleHandleA(nullptr);
}

HWND GetSafeOwner() {
  CWinApp* app = CWinApp::Get();
  HWND main = app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
  if (main && IsWindow(main)) return GetLastActivePopup(main);
  return GetActiveWindow();
}

int AppMain(HINSTANCE instance) {
  CWinApp* app = CWinApp::Get();
  if (!app) return -1;
  app->m_hInstance = instance;
  if (!app->InitInstance()) {
    // A quit request posted during start-up carries the exit code.
    MSG msg;
    if (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) app->m_quitCode = static_cast<int>(msg.wParam);
    return app->ExitInstance();
  }
  return app->Run();
}

}  // namespace zeph
