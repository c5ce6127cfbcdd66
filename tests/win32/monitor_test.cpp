// The monitor dialog: tray icon, hide on first paint, the poll timer driving
// the simulated chipset, the About box, and its endings. And our window
// framework under it: message tables along the class chain, the permanent map,
// a modal run without its template.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <mutex>
#include <tuple>
#include <vector>

#include "monitor/monitor_dlg.h"
#include "monitor/tray_icon.h"
#include "test_support.h"

namespace zeph {
namespace {

// The tray record's first version: 88 bytes on 32-bit Windows, 104 on 64-bit.
constexpr DWORD kFirstVersionRecordSize = sizeof(void*) == 8 ? 104 : 88;

using namespace test;
constexpr const char* kMonitorTitle = "Welcome to Velmaris Zephra World";

// A taskbar of our own that the shell's icon calls reach before the real one:
// a top-most window of the taskbar's class. While it refuses, it answers every
// add FALSE, having passed it on to the real taskbar first (forwardAdds: one
// that added the icon but was too slow to say so) or not (one not there yet);
// everything else goes on to the real taskbar. Its thread must dispatch messages.
class StandInShell {
 public:
  explicit StandInShell(bool forwardAdds) : m_forwardAdds(forwardAdds), m_real(FindWindowA(kTaskbar, nullptr)) {
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
  volatile bool refusing = true;
  volatile int adds = 0;  // the adds it has answered

 private:
  static constexpr const char* kTaskbar = "Shell_TrayWnd";
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<StandInShell*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg != WM_COPYDATA || !self) return DefWindowProcA(hwnd, msg, wp, lp);
    if (!self->refusing || reinterpret_cast<const COPYDATASTRUCT*>(lp)->dwData != NIM_ADD)
      return SendMessageA(self->m_real, msg, wp, lp);
    ++self->adds;
    if (self->m_forwardAdds) SendMessageA(self->m_real, msg, wp, lp);
    return FALSE;
  }
  bool m_forwardAdds;
  HWND m_real, m_hwnd = nullptr;
};

// Records every period the dialog gives its poll timer, and the timer's end.
class RecordingMonitor : public CMonitorDlg {
 public:
  using CMonitorDlg::CMonitorDlg;
  void SetPeriod(unsigned ms) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    // The first arming comes from the first paint, which must find the dialog shown.
    if (m_periods.empty()) visibleAtFirstArming = IsWindowVisible(m_hWnd) != FALSE;
    m_periods.push_back(ms);
    CMonitorDlg::SetPeriod(ms);
  }
  void KillPollTimer() override { killed = true; CMonitorDlg::KillPollTimer(); }
  std::vector<unsigned> Periods() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_periods;
  }
  bool killed = false, visibleAtFirstArming = false;

 private:
  std::mutex m_mutex;
  std::vector<unsigned> m_periods;
};

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSlots(); }
  void TearDown() override {
    RemoveTrayIcon();
    DestroyWindow(owner);
    ResetSlots();
    for (MSG msg; PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);) continue;
  }
  // Of our icon, as the shell knows it.
  HWND owner = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  // The simulator set's library, pressed with the pad from outside.
  Win32PortIO m_ports{(SimDir() + PORTIO_DLL_NAME).c_str()};
};

// The end-to-end suite sees the launches, the failure box and the re-added
// icon; here the poll periods and the tray record the shell was given.
TEST_F(MonitorTest, HidesOnFirstPaintPollsStretchesThePeriodForAPressAndOffersAbout) {
  const std::string mailer = "C:\\zeph mail\\Mail Program.exe";
  ASSERT_TRUE(InstallMarker(mailer));
  PutSlot("S4", mailer);
  RecordingMonitor dlg(owner, Platform(), Slots(), &m_ports);
  std::vector<bool> seen;  // hidden, launched, then the About box for each system-menu command
  std::vector<unsigned> afterFirstPaint, afterPress, afterKeyboardAp;
  const INT_PTR result = RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
        seen.push_back(WaitUntil([&] { return !dlg.Periods().empty() && !IsWindowVisible(hwnd); }));
        afterFirstPaint = dlg.Periods();
        WaitUntil([&] { return StoredSlot("S4") == mailer; }, 4000);  // the first tick ran
        for (const char* step : {"chipset sis", "press 2"}) Pad(step);
        seen.push_back(WaitUntil([&] { return !MarkerLog().empty(); }, 10000));
        afterPress = dlg.Periods();
        SendMessageA(hwnd, WM_COMMAND, IDC_KEYBOARD_AP, 0);
        afterKeyboardAp = dlg.Periods();
        for (WPARAM command : {16u, 17u, 31u}) {  // 16..31 all mean About
          PostMessageA(hwnd, WM_SYSCOMMAND, command, 0);
          HWND about = WaitForWindow("About Zephra Button");
          seen.push_back(about && HasStaticText(about, "Zephra Button Version 1.02"));
          Key(about, VK_ESCAPE);
          WaitGone(about);
        }
        Click(hwnd, IDOK);  // "E&xit"
      },
      [&] { return dlg.DoModal(); });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(seen, std::vector<bool>(5, true));
  const NOTIFYICONDATAA& r = TrayIconRecord();
  EXPECT_EQ(std::tie(r.cbSize, r.hWnd, r.uID, r.uFlags, r.uCallbackMessage),
            std::make_tuple(kFirstVersionRecordSize, owner, UINT{9999}, UINT{7}, UINT{1124}));
  EXPECT_STREQ(r.szTip, "Zephra Button AP...");
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(r.hIcon, &info));  // the small image, not a shrunken large one
  BITMAP mask = {};
  GetObjectA(info.hbmMask, sizeof mask, &mask);
  EXPECT_EQ(mask.bmWidth, GetSystemMetrics(SM_CXSMICON));
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);

  EXPECT_TRUE(dlg.visibleAtFirstArming && dlg.killed && !dlg.FirstRun());
  // Every paint re-arms at a second (Wine may paint the dialog twice as it hides).
  EXPECT_EQ(afterFirstPaint, std::vector<unsigned>(afterFirstPaint.size(), 1000u));
  // Stretched for the confirmation, then back to a second; the keyboard command re-arms too.
  ASSERT_GE(afterPress.size(), 3u);
  EXPECT_EQ(std::vector<unsigned>(afterPress.end() - 2, afterPress.end()), (std::vector<unsigned>{30000, 1000}));
  EXPECT_EQ(afterKeyboardAp.size(), afterPress.size() + 1);
  EXPECT_EQ(afterKeyboardAp.back(), 1000u);
}

TEST_F(MonitorTest, TrayIconRetriesUntilTheIconIsThereOrReportAndEndTheProgram) {
  struct Case {
    const char* what;
    bool forwardAdds;  // the refused adds still reach the real taskbar
    bool comesLater;   // the stand-in stops refusing after a few attempts
    bool reported;     // "Create System Tray error!!!" and a quit with 1
  } cases[] = {
      {"taskbar not there yet, then there", false, true, false},
      {"taskbar never there", false, false, true},
      // Answered FALSE, though the icon was added: later adds are duplicates.
      {"add answered as failed but done", true, false, false},
  };
  for (const Case& c : cases) {
    StandInShell shell(c.forwardAdds);
    CMonitorDlg dlg(owner, Platform(), Slots(), &m_ports);
    dlg.SetTrayRetry(100, 5);
    bool reported = false, iconShown = false;
    const INT_PTR result = RunWithDriver(
        [&] {
          HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
          if (c.comesLater) {
            WaitUntil([&] { return shell.adds >= 2; }, 10000);  // the first add and a retry fail
            shell.refusing = false;
          }
          if (!c.reported) {
            iconShown = WaitUntil([&] { return TrayIcon(owner, kTrayIconId); }, 2000);
            Sleep(700);  // the attempts would have run out by now
          }
          HWND box = WaitForWindow("Zephbox ERROR", c.reported ? 5000 : 10);
          reported = box && HasStaticText(box, "Create System Tray error!!!");
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          if (!c.reported) Key(hwnd, VK_ESCAPE);
        },
        [&] { return dlg.DoModal(); });
    EXPECT_GE(shell.adds, c.reported ? 5 : 2) << c.what;  // the calls went through the stand-in
    EXPECT_EQ(std::make_tuple(reported, iconShown), std::make_tuple(c.reported, !c.reported)) << c.what;
    MSG msg = {};
    EXPECT_EQ(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, c.reported) << c.what;
    EXPECT_EQ(msg.wParam, c.reported ? 1u : 0u) << c.what;
    EXPECT_TRUE(c.reported || result == IDCANCEL) << c.what << " " << result;  // Escape ends the run too
    TrayIcon(owner, kTrayIconId, NIM_DELETE);
  }
}

TEST(BorderedProgressTest, DrawsTheBorderItsStyleAsksFor) {
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 10, 10, 200, 60, nullptr, nullptr, nullptr, nullptr);
  for (DWORD border : {DWORD{WS_BORDER}, DWORD{0}}) {
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | border, 10, 10, 150, 20, host, nullptr,
                               nullptr, nullptr);
    CBorderedProgress progress;
    ASSERT_TRUE(progress.SubclassWindow(bar));
    RedrawWindow(bar, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetWindowDC(bar);
    EXPECT_EQ(GetPixel(dc, 0, 0) == RGB(0, 0, 0), border != 0);
    ReleaseDC(bar, dc);
    DestroyWindow(bar);
  }
  DestroyWindow(host);
}

// A table of each kind of entry, and a derived class that overrides one.
class CProbeWnd : public CWnd {
 public:
  std::vector<std::string> calls;
  bool destroyed = false;
  ZEPH_DECLARE_MESSAGE_MAP()
 protected:
  LRESULT OnApp(WPARAM wp, LPARAM) { calls.push_back("app " + std::to_string(wp)); return 42; }
  LRESULT OnApp2(WPARAM, LPARAM) { calls.push_back("app2"); return 7; }
  void OnCommand5() { calls.push_back("command 5"); }
  void OnClick6() { calls.push_back("click 6"); }
  void PostNcDestroy() override { destroyed = true; }
};
ZEPH_BEGIN_MESSAGE_MAP(CProbeWnd, CWnd)
  ZEPH_ON_MESSAGE(WM_APP + 1, OnApp)
  ZEPH_ON_MESSAGE(WM_APP + 2, OnApp2)
  ZEPH_ON_COMMAND(5, OnCommand5)
  ZEPH_ON_EVENT(6, kDispidClick, OnClick6)
ZEPH_END_MESSAGE_MAP()

class CDerivedProbe : public CProbeWnd {
  ZEPH_DECLARE_MESSAGE_MAP()
 protected:
  LRESULT OnApp2Derived(WPARAM, LPARAM) { calls.push_back("derived app2"); return 8; }
};
ZEPH_BEGIN_MESSAGE_MAP(CDerivedProbe, CProbeWnd)
  ZEPH_ON_MESSAGE(WM_APP + 2, OnApp2Derived)
ZEPH_END_MESSAGE_MAP()

TEST(MessageMapTest, TablesDispatchAlongTheClassChainAndTheRestIsDefault) {
  HWND hwnd = CreateWindowExA(0, "STATIC", "before", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  CDerivedProbe probe;
  ASSERT_TRUE(probe.SubclassWindow(hwnd));
  EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), &probe);
  EXPECT_FALSE(probe.Attach(hwnd));  // one object per window

  EXPECT_EQ(SendMessageA(hwnd, WM_APP + 1, 3, 0), 42);
  EXPECT_EQ(SendMessageA(hwnd, WM_APP + 2, 0, 0), 8);
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), 0);
  SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(5, EN_CHANGE), 0);  // a notification, not a command
  SendMessageA(hwnd, WM_ZEPH_CONTROLEVENT, 6, kDispidClick);
  SendMessageA(hwnd, WM_ZEPH_CONTROLEVENT, 6, -601);  // another event of the same control
  SendMessageA(hwnd, WM_ZEPH_CONTROLEVENT, 7, kDispidClick);
  EXPECT_EQ(probe.calls, (std::vector<std::string>{"app 3", "derived app2", "command 5", "click 6"}));
  // Unlisted messages reach the window's own procedure.
  SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("after"));
  EXPECT_EQ(Text(hwnd), "after");

  DestroyWindow(hwnd);
  EXPECT_TRUE(probe.destroyed);
  EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
  EXPECT_EQ(probe.GetSafeHwnd(), nullptr);
}

TEST(DialogTest, MissingTemplateEndsTheRunAtOnce) { EXPECT_EQ(CDialog(4242).DoModal(), -1); }

}  // namespace
}  // namespace zeph
