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

// Records every period the dialog gives its poll timer, and the timer's end.
class RecordingMonitor : public CMonitorDlg {
 public:
  using CMonitorDlg::CMonitorDlg;
  void SetPeriod(unsigned ms) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    // The first arming comes from the first paint, which must find the dialog shown.
    if (periods.empty()) visibleAtFirstArming = IsWindowVisible(m_hWnd) != FALSE;
    periods.push_back(ms);
    CMonitorDlg::SetPeriod(ms);
  }
  void KillPollTimer() override { killed = true; CMonitorDlg::KillPollTimer(); }
  std::vector<unsigned> Periods() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return periods;
  }
  bool killed = false, visibleAtFirstArming = false;

 private:
  std::mutex m_mutex;
  std::vector<unsigned> periods;
};

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ResetSlots();
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    nid.uID = kTrayIconId;
  }
  void TearDown() override {
    RemoveTrayIcon();
    DestroyWindow(nid.hWnd);
    test::ResetSlots();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  // A modify with no flags succeeds only while the icon is there.
  bool TrayIconExists() { return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE; }

  NOTIFYICONDATAA nid = {};  // our icon's owner and id, as the shell knows it
  test::LockedChipset m_chipset;
};

TEST_F(MonitorTest, HidesOnFirstPaintPollsLaunchesAndKeepsItsTrayIcon) {
  const std::string mailer = "C:\\zeph mail\\Mail Program.exe";
  ASSERT_TRUE(test::InstallMarker(mailer));
  test::PutSlot("S4", mailer);
  test::PutSlot("S1", "C:\\zeph-missing.exe");

  RecordingMonitor dlg(nid.hWnd, test::Platform(), test::Slots(), &m_chipset);
  bool hidden = false, ticked = false, launched = false, iconBack = false, boxShown = false;
  std::vector<unsigned> afterFirstPaint, afterPress, afterKeyboardAp;
  bool oneBoxAfterSecondFailure = false;
  const INT_PTR result = RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
        ASSERT_NE(hwnd, nullptr);
        hidden = WaitUntil([&] { return !dlg.Periods().empty() && !IsWindowVisible(hwnd); });
        afterFirstPaint = dlg.Periods();
        ticked = WaitUntil([&] { return test::StoredSlot("S4") == mailer; }, 4000);
        m_chipset.Press(2);
        launched = WaitUntil([&] { return !test::MarkerLog().empty(); }, 10000);
        afterPress = dlg.Periods();
        SendMessageA(hwnd, WM_COMMAND, IDC_KEYBOARD_AP, 0);
        afterKeyboardAp = dlg.Periods();

        // What a restarted Explorer looks like to the program: its icon is gone.
        Shell_NotifyIconA(NIM_DELETE, &nid);
        SendMessageA(hwnd, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        iconBack = TrayIconExists();

        // A failed start shows its box once, while ticks go on under it.
        m_chipset.Press(1);
        HWND box = WaitForWindow("WinExec() error call", 5000);
        boxShown = box && test::HasStaticText(box, "The specified file was not found.");
        m_chipset.Press(1);
        const uint64_t before = m_chipset.Accesses();
        WaitUntil([&] { return m_chipset.Accesses() > before + 8; }, 5000);  // two more ticks ran
        oneBoxAfterSecondFailure = FindWindowA(nullptr, "WinExec() error call") == box &&
                                   !FindWindowExA(nullptr, box, nullptr, "WinExec() error call");
        while ((box = FindWindowA(nullptr, "WinExec() error call")) != nullptr) {
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          test::WaitGone(box);
        }
        test::Key(hwnd, VK_ESCAPE);
      },
      [&] { return dlg.DoModal(); });
  EXPECT_EQ(result, IDCANCEL);
  const NOTIFYICONDATAA& record = TrayIconRecord();
  EXPECT_EQ(record.cbSize, 88u);
  EXPECT_EQ(record.hWnd, nid.hWnd);
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
  EXPECT_TRUE(iconBack);

  EXPECT_TRUE(hidden);
  EXPECT_TRUE(dlg.visibleAtFirstArming);
  EXPECT_TRUE(dlg.killed);
  // Every paint re-arms at a second (Wine may paint the dialog twice as it hides).
  ASSERT_FALSE(afterFirstPaint.empty());
  EXPECT_EQ(afterFirstPaint, std::vector<unsigned>(afterFirstPaint.size(), 1000u));
  EXPECT_TRUE(ticked);
  EXPECT_FALSE(dlg.FirstRun());
  EXPECT_TRUE(launched);
  EXPECT_EQ(test::MarkerLog(), "\"" + mailer + "\"\n");
  // Stretched for the confirmation, then back to a second.
  ASSERT_GE(afterPress.size(), 3u);
  EXPECT_EQ(std::vector<unsigned>(afterPress.end() - 2, afterPress.end()), (std::vector<unsigned>{30000, 1000}));
  EXPECT_EQ(afterKeyboardAp.size(), afterPress.size() + 1);
  EXPECT_EQ(afterKeyboardAp.back(), 1000u);
  EXPECT_TRUE(boxShown);
  EXPECT_TRUE(oneBoxAfterSecondFailure);
}

TEST_F(MonitorTest, SystemMenuOpensTheAboutBoxAndExitEndsTheRun) {
  CMonitorDlg dlg(nid.hWnd, test::Platform(), test::Slots(), &m_chipset);
  std::vector<bool> aboutShown;
  const INT_PTR result = RunWithDriver(
      [&] {
        HWND hwnd = WaitForWindow(kMonitorTitle, 5000, false);
        ASSERT_NE(hwnd, nullptr);
        for (WPARAM command : {16u, 17u, 31u}) {  // 16..31 all mean About
          PostMessageA(hwnd, WM_SYSCOMMAND, command, 0);
          HWND about = WaitForWindow("About Zephra Button");
          aboutShown.push_back(about && test::HasStaticText(about, "Zephra Button Version 1.02"));
          test::Key(about, VK_ESCAPE);
          test::WaitGone(about);
        }
        test::Click(hwnd, IDOK);  // "E&xit"
      },
      [&] { return dlg.DoModal(); });
  EXPECT_EQ(aboutShown, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(result, IDOK);
}

TEST_F(MonitorTest, RefusedTrayIconIsRetriedThenReportedAndEndsTheProgram) {
  // The shell refuses a second icon with the same owner and id: a stand-in for
  // a taskbar that is not there yet. Once it goes, the next attempt succeeds.
  for (bool persists : {false, true}) {
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &nid));
    CMonitorDlg dlg(nid.hWnd, test::Platform(), test::Slots(), &m_chipset);
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
    MSG msg = {};
    EXPECT_EQ(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, persists);
    EXPECT_EQ(msg.wParam, persists ? 1u : 0u);
    Shell_NotifyIconA(NIM_DELETE, &nid);
  }
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
