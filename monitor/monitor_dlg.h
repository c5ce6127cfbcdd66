#pragma once
#include "framework/controls.h"
#include "framework/dialog.h"
#include "monitor/button_reader.h"
#include "monitor/launch_dispatch.h"
#include "platform/poll_timer.h"
#include "platform/win32/win32_platform.h"
#include "res/resource.h"

namespace zeph {

// The program's main window in all but name: a small welcome dialog that hides
// itself on its first paint and from then on runs the poll timer. It adds the
// tray icon when its window is created and offers the About box on its system
// menu. Its modal run is the program's message loop.
// The progress bar of the monitor dialog. Its template line gives it a border,
// which a themed progress control leaves out: it draws that border itself.
class CBorderedProgress : public CProgressCtrl {
  ZEPH_DECLARE_MESSAGE_MAP()

 protected:
  LRESULT OnNcPaint(WPARAM wp, LPARAM lp);
};

class CMonitorDlg : public CDialog, public IPollTimer {
 public:
  static constexpr UINT_PTR kPollTimerId = 1;
  static constexpr UINT_PTR kTrayRetryTimerId = 2;

  // trayWnd owns the tray icon; ports defaults to the platform's PortIO.dll.
  CMonitorDlg(HWND trayWnd, Win32Platform& platform, SlotStore& slots, IPortIO* ports = nullptr);

  // How long a shell that refuses the icon is given: at logon the taskbar may
  // not be there yet when the program starts.
  void SetTrayRetry(unsigned periodMs, unsigned attempts) {
    m_trayRetryPeriodMs = periodMs;
    m_trayRetryAttempts = attempts;
  }

  void SetPeriod(unsigned ms) override;  // the poll timer's period
  virtual void KillPollTimer();
  bool FirstRun() const { return m_firstRun; }

  ZEPH_DECLARE_MESSAGE_MAP()

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange& dx) override;

  LRESULT OnSysCommand(WPARAM wp, LPARAM lp);
  LRESULT OnPaint(WPARAM wp, LPARAM lp);
  LRESULT OnQueryDragIcon(WPARAM wp, LPARAM lp);
  LRESULT OnTimer(WPARAM wp, LPARAM lp);
  void OnKeyboardAp();
  LRESULT OnDestroy(WPARAM wp, LPARAM lp);
  LRESULT OnCreate(WPARAM wp, LPARAM lp);
  LRESULT OnLButtonDown(WPARAM wp, LPARAM lp);
  LRESULT OnTaskbarCreated(WPARAM wp, LPARAM lp);

  // The loop waits for the slots' registry watch, so that no tick has to ask.
  HANDLE ModalWaitHandle() override { return m_registry.ChangeEvent(); }
  void OnModalWaitSignalled() override { m_registry.NoteSignalled(); }

 private:
  void ArmAndHide();
  void RetryTrayIcon();
  void StopTrayRetry();

  CBorderedProgress m_progress;
  bool m_firstRun = true;
  HICON m_hIcon;
  HWND m_trayWnd;
  unsigned m_trayRetryPeriodMs = 2000;
  unsigned m_trayRetryAttempts = 60;
  unsigned m_trayRetriesLeft = 0;
  Win32Registry& m_registry;
  Win32MessageBox m_boxes;
  ButtonReader m_reader;
  LaunchDispatch m_dispatch;
};

}  // namespace zeph
