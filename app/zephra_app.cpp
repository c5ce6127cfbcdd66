#include "app/zephra_app.h"

#include <commctrl.h>

#include <string>

#include "dialogs/forms_controls.h"
#include "dialogs/properties_dlg.h"
#include "monitor/monitor_dlg.h"
#include "monitor/tray_icon.h"
#include "res/resource.h"

namespace zeph {

namespace {

// One name per user: two copies started at the same moment both find no
// window yet, but only one of them can create the mutex.
std::string InstanceMutexName() {
  char user[257] = "";
  DWORD size = sizeof user;
  if (!GetUserNameA(user, &size)) user[0] = '\0';
  // Windows 9x knows no namespaces and refuses a backslash in the name.
  const bool nt = (GetVersion() & 0x80000000u) == 0;
  return std::string(nt ? "Local\\" : "") + "Zephkeys.Instance." + user;
}

// The program takes no text that needs an input method (web addresses are
// typed in plain ASCII), and an input method brings the COM libraries into a
// resident process that otherwise never needs them. Windows 9x has no such call.
void DisableInputMethod() {
  using DisableFn = BOOL(WINAPI*)(DWORD);
  HMODULE imm = GetModuleHandleA("imm32.dll");
  const auto disable =
      reinterpret_cast<DisableFn>(reinterpret_cast<void*>(imm ? GetProcAddress(imm, "ImmDisableIME") : nullptr));
  if (disable) disable(0);  // this thread
}

}  // namespace

CZephraApp::~CZephraApp() {
  if (m_instanceMutex) CloseHandle(m_instanceMutex);
}

bool CZephraApp::AnotherInstanceRuns() {
  m_instanceMutex = CreateMutexA(nullptr, FALSE, InstanceMutexName().c_str());
  const bool taken = m_instanceMutex && GetLastError() == ERROR_ALREADY_EXISTS;
  return taken || m_platform.windows.ClassExists(kTrayClassName);
}

bool CZephraApp::RegisterTrayClass() {
  WNDCLASSA wc = {};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS;
  wc.lpfnWndProc = TrayWndProc;
  wc.hInstance = m_hInstance;
  wc.hIcon = LoadIconA(m_hInstance, MAKEINTRESOURCEA(IDI_ZEPHRA));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  wc.lpszClassName = kTrayClassName;
  return RegisterClassA(&wc) != 0;
}

BOOL CZephraApp::InitInstance() {
  // The monitor dialog's progress bar and the Properties dialog's picture
  // controls.
  InitCommonControls();
  RegisterFormsControls(m_hInstance);
  DisableInputMethod();

  if (AnotherInstanceRuns()) {
    MessageBoxA(nullptr, kAlreadyRunningText, kAlreadyRunningCaption, MB_ICONERROR);
    // Start-up goes on; the quit ends the monitor dialog as soon as it runs.
    PostQuitMessage(1);
  }

  RegisterTrayClass();
  m_trayWnd = CreateWindowExA(0, kTrayClassName, kTrayWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, m_hInstance, nullptr);
  ShowWindow(m_trayWnd, SW_HIDE);
  UpdateWindow(m_trayWnd);
  SetTrayCommands(this);

  {
    CMonitorDlg dlg(m_trayWnd, m_platform, m_slots);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
  }
  SetTrayCommands(nullptr);
  return FALSE;
}

int CZephraApp::ExitInstance() {
  RemoveTrayIcon();
  return CWinApp::ExitInstance();
}

void CZephraApp::OpenSettings() { OpenPropertiesDialog(m_slots, m_platform.windows, m_platform.starter); }

}  // namespace zeph
