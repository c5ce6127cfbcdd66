// The monitor dialog: tray icon, hide on first paint, the poll timer driving
// the simulated chipset, the About box, and its endings.
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "gui_driver.h"
#include "monitor/monitor_dlg.h"
#include "monitor/tray_icon.h"
#include "test_support.h"

namespace zeph {
namespace {

using test::RunWithDriver;
using test::WaitForWindow;
using test::WaitUntil;

constexpr const char* kMonitorTitle = "Welcome to Velmaris Zephra World";

// Records every period the dialog gives its poll timer.
class RecordingMonitor : public CMonitorDlg {
 public:
  using CMonitorDlg::CMonitorDlg;
  void SetPeriod(unsigned ms) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_periods.push_back(ms);
    }
    // The first arming comes from the first paint, which must find the dialog shown.
    if (m_periods.size() == 1) m_visibleAtFirstArming = IsWindowVisible(m_hWnd) != FALSE;
    CMonitorDlg::SetPeriod(ms);
  }
  void KillPollTimer() override {
    killed = true;
    CMonitorDlg::KillPollTimer();
  }
  bool killed = false;
  bool VisibleAtFirstArming() const { return m_visibleAtFirstArming; }
  std::vector<unsigned> Periods() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_periods;
  }

 private:
  std::mutex m_mutex;
  std::vector<unsigned> m_periods;
  bool m_visibleAtFirstArming = false;
};

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ResetSlots();
    m_tray = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  }
  void TearDown() override {
    RemoveTrayIcon();
    DestroyWindow(m_tray);
    test::ResetSlots();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  bool TrayIconExists() {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = m_tray;
    nid.uID = kTrayIconId;
    nid.uFlags = NIF_TIP;
    lstrcpyA(nid.szTip, kTrayTip);
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
  }

  HWND m_tray = nullptr;
  test::LockedChipset m_chipset;
};

TEST_F(MonitorTest, HidesOnFirstPaintPollsEverySecondAndLaunchesAPress) {
  const std::string mailer = "C:\\zeph mail\\Mail Program.exe";
  ASSERT_TRUE(test::InstallMarker(mailer));
  test::PutSlot("S4", mailer);

  RecordingMonitor dlg(m_tray, test::Platform(), test::Slots(), &m_chipset);
  NOTIFYICONDATAA record = {};
  bool shownAtFirst = false, hidden = false, iconWhileRunning = false, ticked = false, launched = false;
  std::vector<unsigned> afterFirstPaint, afterPress, afterKeyboardAp;
  const INT_PTR result = RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
        ASSERT_NE(hwnd, nullptr);
        iconWhileRunning = TrayIconExists();
        record = TrayIconRecord();
        hidden = WaitUntil([&] { return !dlg.Periods().empty() && !IsWindowVisible(hwnd); });
        shownAtFirst = dlg.VisibleAtFirstArming();
        afterFirstPaint = dlg.Periods();
        // The first tick reads the slots and stores the defaults.
        ticked = WaitUntil([&] { return test::StoredSlot("S1") == kDefaultBrowser; }, 4000);
        m_chipset.Press(2);
        launched = WaitUntil([&] { return !test::MarkerLog().empty(); }, 10000);
        afterPress = dlg.Periods();
        SendMessageA(hwnd, WM_COMMAND, IDC_KEYBOARD_AP, 0);
        afterKeyboardAp = dlg.Periods();
        test::Key(hwnd, VK_ESCAPE);
      },
      [&] { return dlg.DoModal(); });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(iconWhileRunning);
  EXPECT_EQ(record.cbSize, 88u);
  EXPECT_EQ(record.hWnd, m_tray);
  EXPECT_EQ(record.uID, 9999u);
  EXPECT_EQ(record.uFlags, 7u);
  EXPECT_EQ(record.uCallbackMessage, 1124u);
  EXPECT_STREQ(record.szTip, "Zephra Button AP...");
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(record.hIcon, &info));  // the small image, not a shrunken large one
  BITMAP mask = {};
  GetObjectA(info.hbmMask, sizeof mask, &mask);
  EXPECT_EQ(mask.bmWidth, GetSystemMetrics(SM_CXSMICON));
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  EXPECT_TRUE(dlg.killed);
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(shownAtFirst);
  // Every paint re-arms at a second (Wine may paint the dialog twice as it hides).
  ASSERT_FALSE(afterFirstPaint.empty());
  for (unsigned period : afterFirstPaint) EXPECT_EQ(period, 1000u);
  EXPECT_TRUE(ticked);
  EXPECT_FALSE(dlg.FirstRun());
  EXPECT_TRUE(launched);
  // Stretched for the confirmation, then back to a second.
  ASSERT_GE(afterPress.size(), 3u);
  EXPECT_EQ(afterPress[afterPress.size() - 2], 30000u);
  EXPECT_EQ(afterPress.back(), 1000u);
  EXPECT_EQ(afterKeyboardAp.size(), afterPress.size() + 1);
  EXPECT_EQ(afterKeyboardAp.back(), 1000u);
  EXPECT_EQ(test::MarkerLog().substr(0, mailer.size() + 2), "\"" + mailer + "\"");
  EXPECT_GT(m_chipset.Accesses(), 0u);
}

TEST_F(MonitorTest, SystemMenuOpensTheAboutBoxAndExitEndsTheRun) {
  CMonitorDlg dlg(m_tray, test::Platform(), test::Slots(), &m_chipset);
  bool aboutBy16 = false, aboutBy17 = false, versionShown = false;
  const INT_PTR result = RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
        ASSERT_NE(hwnd, nullptr);
        PostMessageA(hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = WaitForWindow("About Zephra Button");
        aboutBy16 = about != nullptr;
        versionShown = about && test::HasStaticText(about, "Zephra Button Version 1.02");
        if (about) test::Key(about, VK_ESCAPE);
        test::WaitGone(about);
        PostMessageA(hwnd, WM_SYSCOMMAND, 17, 0);  // 16..31 all mean About
        about = WaitForWindow("About Zephra Button");
        aboutBy17 = about != nullptr;
        if (about) test::Click(about, IDOK);
        test::WaitGone(about);
        test::Click(hwnd, IDOK);  // "E&xit"
      },
      [&] { return dlg.DoModal(); });
  EXPECT_TRUE(aboutBy16);
  EXPECT_TRUE(versionShown);
  EXPECT_TRUE(aboutBy17);
  EXPECT_EQ(result, IDOK);
}

TEST_F(MonitorTest, RefusedTrayIconIsRetriedThenReportedAndEndsTheProgram) {
  // The shell refuses a second icon with the same owner and id: a stand-in for
  // a taskbar that is not there yet. Once it goes, the next attempt succeeds.
  NOTIFYICONDATAA nid = {};
  nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
  nid.hWnd = m_tray;
  nid.uID = kTrayIconId;
  for (bool persists : {false, true}) {
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &nid));
    CMonitorDlg dlg(m_tray, test::Platform(), test::Slots(), &m_chipset);
    dlg.SetTrayRetry(100, 5);
    bool reported = false, iconAdded = false;
    RunWithDriver(
        [&] {
          HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
          if (!persists) {
            Sleep(250);  // a retry or two fail first
            Shell_NotifyIconA(NIM_DELETE, &nid);
            iconAdded = WaitUntil([&] { return TrayIconExists(); }, 2000);
            Sleep(700);  // the attempts would have run out by now
          }
          HWND box = WaitForWindow("Zephbox ERROR", persists ? 5000 : 10);
          reported = box && test::HasStaticText(box, "Create System Tray error!!!");
          if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
          if (!persists) test::Key(hwnd, VK_ESCAPE);
        },
        [&] { return dlg.DoModal(); });
    EXPECT_EQ(reported, persists);
    EXPECT_EQ(iconAdded, !persists);
    MSG msg;
    EXPECT_EQ(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, persists);
    if (persists) {
      EXPECT_EQ(msg.wParam, 1u);
    }
    Shell_NotifyIconA(NIM_DELETE, &nid);
  }
}

TEST_F(MonitorTest, ARecreatedTaskbarGetsTheIconBack) {
  CMonitorDlg dlg(m_tray, test::Platform(), test::Slots(), &m_chipset);
  bool gone = false, back = false;
  RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
        WaitUntil([&] { return TrayIconExists(); });
        // What a restarted Explorer looks like to the program: its icon is gone.
        NOTIFYICONDATAA nid = {};
        nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid.hWnd = m_tray;
        nid.uID = kTrayIconId;
        Shell_NotifyIconA(NIM_DELETE, &nid);
        gone = !TrayIconExists();
        SendMessageA(hwnd, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        back = TrayIconExists();
        test::Key(hwnd, VK_ESCAPE);
      },
      [&] { return dlg.DoModal(); });
  EXPECT_TRUE(gone);
  EXPECT_TRUE(back);
}

TEST_F(MonitorTest, FailedLaunchShowsOneBoxWhileTicksGoOn) {
  test::PutSlot("S1", "C:\\zeph-missing\\browser.exe");

  CMonitorDlg dlg(m_tray, test::Platform(), test::Slots(), &m_chipset);
  bool shown = false;
  int boxesAfterSecondPress = 0;
  RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
        ASSERT_NE(hwnd, nullptr);
        m_chipset.Press(1);
        HWND box = WaitForWindow("WinExec() error call", 5000);
        shown = box && (test::HasStaticText(box, "The specified file was not found.") ||
                        test::HasStaticText(box, "The specified path was not found."));
        m_chipset.Press(1);
        const uint64_t before = m_chipset.Accesses();
        WaitUntil([&] { return m_chipset.Accesses() > before + 8; }, 5000);  // two more ticks ran
        boxesAfterSecondPress = test::CountTopLevel("WinExec() error call");
        if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
        test::WaitGone(box);
        test::Key(hwnd, VK_ESCAPE);
      },
      [&] { return dlg.DoModal(); });
  EXPECT_TRUE(shown);
  EXPECT_EQ(boxesAfterSecondPress, 1);
}

TEST(BorderedProgressTest, DrawsTheBorderItsStyleAsksFor) {
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 10, 10, 200, 60, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  for (DWORD border : {DWORD{WS_BORDER}, DWORD{0}}) {
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | border, 10, 10, 150, 20, host,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
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

}  // namespace
}  // namespace zeph
