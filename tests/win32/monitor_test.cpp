// The monitor dialog's tray icon against a taskbar that is late or lies, and
// a modal run of our window framework without its template.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "monitor/monitor_dlg.h"
#include "monitor/tray_icon.h"
#include "test_support.h"

namespace zeph {
namespace {

using namespace test;
constexpr const char* kMonitorTitle = "Welcome to Velmaris Zephra World";
constexpr const char* kTrayErrorTitle = "Zephbox ERROR";
// The tray record's first version: 88 bytes on 32-bit Windows, 104 on 64-bit.
constexpr DWORD kFirstVersionRecordSize = sizeof(void*) == 8 ? 104 : 88;

// A taskbar of our own that the shell's icon calls reach before the real one:
// a top-most window of the taskbar's class. It answers the first refusals adds
// FALSE, having passed them on to the real taskbar (forwardAdds: one that added
// the icon but was too slow to say so) or not (one not there yet); everything
// else goes on to the real taskbar. Its thread must dispatch messages.
class StandInShell {
 public:
  StandInShell(bool forwardAdds, int refusals) : m_forwardAdds(forwardAdds), m_refusals(refusals), m_real(FindWindowA(kTaskbar, nullptr)) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kTaskbar;
    RegisterClassA(&wc);  // already there from an earlier stand-in: fine
    m_hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTaskbar, nullptr, WS_POPUP, 0, 0, 0, 0, nullptr,
                             nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Above the real taskbar, so that a search by class meets it first.
    SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ~StandInShell() { DestroyWindow(m_hwnd); }
  volatile int adds = 0;  // the adds it has answered

 private:
  static constexpr const char* kTaskbar = "Shell_TrayWnd";
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<StandInShell*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg != WM_COPYDATA || !self) return DefWindowProcA(hwnd, msg, wp, lp);
    if (reinterpret_cast<const COPYDATASTRUCT*>(lp)->dwData != NIM_ADD) return SendMessageA(self->m_real, msg, wp, lp);
    if (++self->adds > self->m_refusals) return SendMessageA(self->m_real, msg, wp, lp);
    if (self->m_forwardAdds) SendMessageA(self->m_real, msg, wp, lp);
    return FALSE;
  }
  bool m_forwardAdds;
  int m_refusals;
  HWND m_real, m_hwnd = nullptr;
};

// At logon the taskbar may come late, or add the icon and still answer that it
// failed: the icon stays, and only a taskbar that never comes is reported.
TEST(TrayIconTest, ALateOrLyingTaskbarKeepsTheIconAndOneNeverThereIsReported) {
  constexpr unsigned kAttempts = 3;
  const struct {
    const char* what;
    bool forwardAdds;  // the refused adds still reach the real taskbar
    int refusals;
    bool reported;  // "Create System Tray error!!!" and a quit with 1
  } cases[] = {
      {"taskbar not there yet, then there", false, kAttempts - 1, false},
      {"taskbar never there", false, INT_MAX, true},
      {"add answered as failed but done", true, INT_MAX, false},  // later adds are duplicates
  };
  ResetSlots();
  HWND owner = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  Win32PortIO ports((SimDir() + PORTIO_DLL_NAME).c_str());
  for (const auto& c : cases) {
    StandInShell shell(c.forwardAdds, c.refusals);
    CMonitorDlg dlg(owner, Platform(), Slots(), &ports);
    dlg.SetTrayRetry(100, kAttempts);
    bool reported = false, iconShown = false;
    const INT_PTR result = RunWithDriver(
        [&] {
          HWND hwnd = nullptr;
          WaitUntil([&] { return (hwnd = FindWindowA(nullptr, kMonitorTitle)) != nullptr; });
          if (!c.reported) {
            iconShown = WaitUntil([&] { return TrayIcon(owner, kTrayIconId); });
            // The attempts a program still retrying would make, then an About
            // box: by the time it shows, so would the report.
            for (unsigned i = 0; i < kAttempts; ++i) PostMessageA(hwnd, WM_TIMER, CMonitorDlg::kTrayRetryTimerId, 0);
            PostMessageA(hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            PostMessageA(WaitForWindow("About Zephra Button"), WM_COMMAND, IDOK, 0);
          }
          HWND box = c.reported ? WaitForWindow(kTrayErrorTitle) : FindWindowA(nullptr, kTrayErrorTitle);
          reported = box && HasStaticText(box, "Create System Tray error!!!");
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          if (!c.reported) PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        },
        [&] { return dlg.DoModal(); });
    EXPECT_GE(shell.adds, c.reported ? 3 : 2) << c.what;  // the calls went through the stand-in
    EXPECT_EQ(std::make_tuple(reported, iconShown), std::make_tuple(c.reported, !c.reported)) << c.what;
    MSG msg = {};
    EXPECT_EQ(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, c.reported) << c.what;
    EXPECT_EQ(msg.wParam, c.reported ? 1u : 0u) << c.what;
    EXPECT_TRUE(c.reported || result == IDCANCEL) << c.what << " " << result;
    EXPECT_EQ(TrayIconRecord().cbSize, kFirstVersionRecordSize);
    RemoveTrayIcon();
  }
  DestroyWindow(owner);
  ResetSlots();
}

TEST(DialogTest, MissingTemplateEndsTheRunAtOnce) { EXPECT_EQ(CDialog(4242).DoModal(), -1); }

}  // namespace
}  // namespace zeph
