#include "monitor/monitor_dlg.h"

#include "framework/app.h"
#include "framework/handles.h"
#include "monitor/about_dlg.h"
#include "monitor/tray_icon.h"

namespace zeph {

namespace {
// Sent to every top-level window when the shell (re)creates its taskbar, for
// example after Explorer restarted.
UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}
}  // namespace

ZEPH_BEGIN_MESSAGE_MAP(CBorderedProgress, CProgressCtrl)
  ZEPH_ON_MESSAGE(WM_NCPAINT, OnNcPaint)
ZEPH_END_MESSAGE_MAP()

LRESULT CBorderedProgress::OnNcPaint(WPARAM, LPARAM) {
  const LRESULT result = Default();
  // The thin black line of a bordered control, as the classic look draws it.
  if (GetWindowLongA(m_hWnd, GWL_STYLE) & WS_BORDER) {
    HDC dc = GetWindowDC(m_hWnd);
    RECT rc;
    GetWindowRect(m_hWnd, &rc);
    OffsetRect(&rc, -rc.left, -rc.top);
    FrameRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(m_hWnd, dc);
  }
  return result;
}

ZEPH_BEGIN_MESSAGE_MAP(CMonitorDlg, CDialog)
  ZEPH_ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
  ZEPH_ON_MESSAGE(WM_PAINT, OnPaint)
  ZEPH_ON_MESSAGE(WM_QUERYDRAGICON, OnQueryDragIcon)
  ZEPH_ON_MESSAGE(WM_TIMER, OnTimer)
  ZEPH_ON_COMMAND(IDC_KEYBOARD_AP, OnKeyboardAp)
  ZEPH_ON_MESSAGE(WM_DESTROY, OnDestroy)
  ZEPH_ON_MESSAGE(WM_CREATE, OnCreate)
  ZEPH_ON_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
  ZEPH_ON_MESSAGE(TaskbarCreatedMessage(), OnTaskbarCreated)
ZEPH_END_MESSAGE_MAP()

CMonitorDlg::CMonitorDlg(HWND trayWnd, Win32Platform& platform, SlotStore& slots, IPortIO* ports)
    : CDialog(IDD_MONITOR),
      // The resources hold no icon 128: the dialog keeps the system's default icon.
      m_hIcon(LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_trayWnd(trayWnd),
      m_registry(platform.registry),
      m_reader(ports ? *ports : platform.ports, platform.sleeper),
      m_dispatch(slots, m_reader, platform.starter, platform.windows, m_boxes, platform.session) {
  // Its modal run is the program's life: a loop that waits on the registry
  // watch too.
  m_ownModalLoop = true;
}

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
void CMonitorDlg::KillPollTimer() { KillTimer(m_hWnd, kPollTimerId); }

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

LRESULT CMonitorDlg::OnTimer(WPARAM wp, LPARAM) {
  if (wp == kTrayRetryTimerId) {
    RetryTrayIcon();
    return 0;
  }
  m_registry.NoteWaitedFor(TakeWaitedFor(WM_TIMER));
  m_dispatch.OnPollTick(m_firstRun, *this);
  return Default();
}

void CMonitorDlg::OnKeyboardAp() { ArmAndHide(); }

LRESULT CMonitorDlg::OnDestroy(WPARAM, LPARAM) {
  const LRESULT result = Default();
  KillPollTimer();
  KillTimer(m_hWnd, kTrayRetryTimerId);
  return result;
}

LRESULT CMonitorDlg::OnCreate(WPARAM, LPARAM) {
  if (Default() == -1) return -1;
  if (!AddTrayIcon(m_trayWnd, ModuleInstance())) {
    // Started at logon before the taskbar is ready: keep trying for a while
    // (and whenever the taskbar announces itself) before giving up.
    m_trayRetriesLeft = m_trayRetryAttempts;
    if (m_trayRetriesLeft == 0 || !SetTimer(m_hWnd, kTrayRetryTimerId, m_trayRetryPeriodMs, nullptr)) {
      m_trayRetriesLeft = 1;
      RetryTrayIcon();
    }
  }
  return 0;
}

void CMonitorDlg::StopTrayRetry() {
  m_trayRetriesLeft = 0;
  KillTimer(m_hWnd, kTrayRetryTimerId);
}

void CMonitorDlg::RetryTrayIcon() {
  if (m_trayRetriesLeft == 0) return;
  if (ReAddTrayIcon(false)) {
    StopTrayRetry();
  } else if (--m_trayRetriesLeft == 0) {
    StopTrayRetry();
    MessageBoxA(m_hWnd, "Create System Tray error!!!", "Zephbox ERROR", MB_ICONERROR);
    PostQuitMessage(1);
  }
}

LRESULT CMonitorDlg::OnTaskbarCreated(WPARAM, LPARAM) {
  // The new taskbar knows nothing of the icon: put it back. While the start-up
  // retries run, this is simply their next attempt.
  if (m_trayRetriesLeft > 0) {
    RetryTrayIcon();
  } else {
    ReAddTrayIcon(true);
  }
  return 0;
}

LRESULT CMonitorDlg::OnLButtonDown(WPARAM, LPARAM) { return Default(); }

}  // namespace zeph
