#include "monitor/monitor_dlg.h"

#include "framework/app.h"
#include "framework/handles.h"
#include "monitor/about_dlg.h"
#include "monitor/tray_icon.h"
#include "platform/win32/win32_services.h"

namespace zeph {

ZEPH_BEGIN_MESSAGE_MAP(CMonitorDlg, CDialog)
  ZEPH_ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
  ZEPH_ON_MESSAGE(WM_PAINT, OnPaint)
  ZEPH_ON_MESSAGE(WM_QUERYDRAGICON, OnQueryDragIcon)
  ZEPH_ON_MESSAGE(WM_TIMER, OnTimer)
  ZEPH_ON_COMMAND(IDC_KEYBOARD_AP, OnKeyboardAp)
  ZEPH_ON_MESSAGE(WM_DESTROY, OnDestroy)
  ZEPH_ON_MESSAGE(WM_CREATE, OnCreate)
  ZEPH_ON_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
ZEPH_END_MESSAGE_MAP()

CMonitorDlg::CMonitorDlg(HWND trayWnd, IPortIO* ports)
    : CDialog(IDD_MONITOR),
      // The resources hold no icon 128: the dialog keeps the system's default icon.
      m_hIcon(LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_trayWnd(trayWnd),
      m_reader(ports ? *ports : Services().ports, Services().sleeper),
      m_dispatch(Services().slots, m_reader, Services().starter, Services().windows, m_boxes) {}

void CMonitorDlg::DoDataExchange(CDataExchange& dx) { DDX_Control(dx, IDC_PROGRESS, m_progress); }

BOOL CMonitorDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_boxes.SetOwner(m_hWnd);
  if (HMENU sysMenu = GetSystemMenu(m_hWnd, FALSE)) {
    char about[128] = "";
    if (LoadStringA(ModuleInstance(), IDS_ABOUTBOX, about, sizeof about) > 0 && about[0]) {
      AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return TRUE;
}

void CMonitorDlg::SetPeriod(unsigned ms) { SetTimer(m_hWnd, kPollTimerId, ms, nullptr); }

void CMonitorDlg::ArmAndHide() {
  SetPeriod(kPollPeriodMs);
  ShowWindow(SW_HIDE);
}

LRESULT CMonitorDlg::OnSysCommand(WPARAM wp, LPARAM) {
  if ((wp & 0xFFF0) == IDM_ABOUTBOX) {
    RunAboutBox();
    return 0;
  }
  return Default();
}

LRESULT CMonitorDlg::OnPaint(WPARAM, LPARAM) {
  if (IsIconic(m_hWnd)) {
    PaintDC dc(m_hWnd);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    const int x = (rc.right - rc.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - rc.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc.Get(), x, y, m_hIcon);
  } else {
    Default();
  }
  // Shown only for its first paint: from then on the program lives in the tray.
  ArmAndHide();
  return 0;
}

LRESULT CMonitorDlg::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_hIcon); }

LRESULT CMonitorDlg::OnTimer(WPARAM, LPARAM) {
  m_dispatch.OnPollTick(m_firstRun, *this);
  return Default();
}

void CMonitorDlg::OnKeyboardAp() { ArmAndHide(); }

LRESULT CMonitorDlg::OnDestroy(WPARAM, LPARAM) {
  const LRESULT result = Default();
  KillTimer(m_hWnd, kPollTimerId);
  return result;
}

LRESULT CMonitorDlg::OnCreate(WPARAM, LPARAM) {
  if (Default() == -1) return -1;
  if (!AddTrayIcon(m_trayWnd, ModuleInstance())) {
    MessageBoxA(m_hWnd, "Create System Tray error!!!", "Zephbox ERROR", MB_ICONERROR);
    PostQuitMessage(1);
  }
  return 0;
}

LRESULT CMonitorDlg::OnLButtonDown(WPARAM, LPARAM) { return Default(); }

}  // namespace zeph
