// Runs the windows that exist so far, as the program will: the monitor dialog
// (which hides itself and polls the simulated launch buttons once a second)
// with a hidden window owning the tray icon. A double click on the tray icon
// opens the Properties dialog, a right click the About box. Presses can be
// scripted on the command line: "zephdemo 3" presses button 3 after 3 s.
// "zephdemo --template 102" shows a dialog template as it is, with no
// behaviour, for looking at its layout (the monitor dialog hides at once).
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "dialogs/forms_controls.h"
#include "dialogs/properties_dlg.h"
#include "monitor/about_dlg.h"
#include "monitor/monitor_dlg.h"
#include "monitor/tray_icon.h"
#include "portio/chipset_sim.h"

namespace {

zeph::ChipsetSim g_chipset;
int g_pressButton = 0;

LRESULT CALLBACK TrayOwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == zeph::WM_TRAYNOTIFY) {
    if (lp == WM_LBUTTONDBLCLK) zeph::OpenPropertiesDialog();
    if (lp == WM_RBUTTONDOWN) zeph::RunAboutBox();
    return 1;
  }
  if (msg == WM_TIMER) {
    KillTimer(hwnd, wp);
    g_chipset.PressButton(g_pressButton);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
  InitCommonControls();
  zeph::RegisterFormsControls(instance);

  if (std::strncmp(cmdLine, "--template ", 11) == 0) {
    zeph::CDialog dlg(static_cast<UINT>(std::atoi(cmdLine + 11)));
    return static_cast<int>(dlg.DoModal());
  }

  WNDCLASSA wc = {};
  wc.lpfnWndProc = TrayOwnerProc;
  wc.hInstance = instance;
  wc.lpszClassName = "ZephDemoTrayOwner";
  RegisterClassA(&wc);
  HWND owner = CreateWindowExA(0, wc.lpszClassName, "Zephra demo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  g_pressButton = std::atoi(cmdLine);
  if (g_pressButton >= 1 && g_pressButton <= 4) SetTimer(owner, 1, 3000, nullptr);

  zeph::CMonitorDlg dlg(owner, &g_chipset);
  dlg.DoModal();
  zeph::RemoveTrayIcon();
  DestroyWindow(owner);
  return 0;
}
