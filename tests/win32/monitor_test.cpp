// The monitor dialog's tray icon against a taskbar that is late or lies, and
// a modal run of our window framework without its template.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
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

// A taskbar of our own that the shell's icon calls reach before the real one:
// it answers the first refusals adds FALSE, having passed them on to the real
// taskbar (forwardAdds: one that added the icon but was too slow to say so) or
// not (one not there yet); everything else goes on to the real taskbar.
struct {
  bool forwardAdds;
  int refusals;
  volatile int adds;  // the adds it has answered
  HWND real;
} g_shell;

LRESULT CALLBACK StandInTaskbar(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_COPYDATA) return DefWindowProcA(hwnd, msg, wp, lp);
  const bool add = reinterpret_cast<const COPYDATASTRUCT*>(lp)->dwData == NIM_ADD;
  if (!add || ++g_shell.adds > g_shell.refusals) return SendMessageA(g_shell.real, msg, wp, lp);
  if (g_shell.forwardAdds) SendMessageA(g_shell.real, msg, wp, lp);
  return FALSE;
}

// At logon the taskbar may come late, or add the icon and still answer that it
// failed: the icon stays, and only a taskbar that never comes is reported, with
// a quit with 1.
TEST(TrayIconTest, ALateOrLyingTaskbarKeepsTheIconAndOneNeverThereIsReported) {
  constexpr int kAttempts = 3;
  const struct { const char* what; bool forwardAdds; int refusals; bool reported; } cases[] = {
      {"taskbar not there yet, then there", false, kAttempts - 1, false},
      {"taskbar never there", false, INT_MAX, true},
      {"add answered as failed but done", true, INT_MAX, false},  // later adds are duplicates
  };
  ResetSlots();
  g_shell.real = FindWindowA("Shell_TrayWnd", nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = StandInTaskbar;
  wc.lpszClassName = "Shell_TrayWnd";
  RegisterClassA(&wc);
  // Top-most, above the real taskbar, so that a search by class meets it first.
  HWND standIn = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, nullptr, WS_POPUP, 0, 0, 0, 0,
                                 nullptr, nullptr, nullptr, nullptr);
  HWND owner = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  Win32PortIO ports((SimDir() + PORTIO_DLL_NAME).c_str());
  for (const auto& c : cases) {
    g_shell = {c.forwardAdds, c.refusals, 0, g_shell.real};
    CMonitorDlg dlg(owner, Platform(), Slots(), &ports);
    dlg.SetTrayRetry(100, kAttempts);
    bool reported = false, iconShown = false;
    const INT_PTR result = RunWithDriver(
        [&] {
          HWND hwnd = nullptr;
          WaitUntil([&] { return (hwnd = FindWindowA(nullptr, kMonitorTitle)) != nullptr; }, "the monitor dialog");
          if (!c.reported) {
            iconShown = WaitUntil([&] { return TrayIcon(owner, kTrayIconId); }, "the tray icon");
            // The attempts a program still retrying would make, then an About
            // box: by the time it shows, so would the report.
            for (int i = 0; i < kAttempts; ++i) PostMessageA(hwnd, WM_TIMER, CMonitorDlg::kTrayRetryTimerId, 0);
            PostMessageA(hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            HWND about = WaitForWindow("About Zephra Button");
            EXPECT_TRUE(about && PostMessageA(about, WM_COMMAND, IDOK, 0) && WaitGone(about));
          }
          HWND box = c.reported ? WaitForWindow(kTrayErrorTitle) : FindWindowA(nullptr, kTrayErrorTitle);
          reported = box != nullptr;
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          if (!c.reported) PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        },
        [&] { return dlg.DoModal(); });
    MSG quit = {};
    const bool quits = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    EXPECT_EQ(std::make_tuple(reported, quits, quit.wParam, iconShown, c.reported || result == IDCANCEL),
              std::make_tuple(c.reported, c.reported, WPARAM{c.reported}, !c.reported, true)) << c.what;
    EXPECT_GE(g_shell.adds, 2) << c.what;  // the calls went through the stand-in
    EXPECT_EQ(std::string(TrayIconRecord().szTip).find("Zephra Button"), 0u);  // what a screen reader reads
    RemoveTrayIcon();
  }
  DestroyWindow(owner);
  DestroyWindow(standIn);
  ResetSlots();
}

// Another program may leave a slot value of any length: it is read whole,
// for the slot store to cut. A watch stays on a key renamed away: however
// quiet the key, the watch asks for a fresh read once its period is over, and
// not before.
TEST(Win32RegistryTest, ReadsAValueWholeAndAQuietWatchAsksForAFreshReadOnceItsPeriodIsOver) {
  ResetSlots();
  const std::string text(400, 'x');
  Platform().registry.Create(kSlotKeyPath)->Set("S3", kRegSz, reinterpret_cast<const uint8_t*>(text.data()), 400);
  const auto value = Platform().registry.Open(kSlotKeyPath)->Query("S3");
  ASSERT_TRUE(value && value->data.size() >= text.size()) << (value ? value->data.size() : 0);
  EXPECT_EQ(std::string(value->data.begin(), value->data.begin() + text.size()), text);
  Win32Registry registry(500);
  ASSERT_TRUE(registry.Watch(kSlotKeyPath));
  EXPECT_FALSE(registry.Changed());
  EXPECT_TRUE(WaitUntil([&] { return registry.Changed(); }, "a fresh read"));
  ResetSlots();
}

TEST(DialogTest, MissingTemplateEndsTheRunAtOnce) { EXPECT_EQ(CDialog(4242).DoModal(), -1); }

// A loop of our own that waits on an event beside the messages, on a system
// that refuses the input kinds of Windows 8 (as XP does) or takes them.
class EventLoopDialog : public CDialog {
 public:
  explicit EventLoopDialog(bool refusesNewKinds) : CDialog(IDD_ABOUTBOX), m_refuses(refusesNewKinds) {
    m_ownModalLoop = true;
  }
  ~EventLoopDialog() override { CloseHandle(m_event); }
  std::atomic<bool> woken{false};
  DWORD lastKinds = 0;

 protected:
  BOOL OnInitDialog() override {
    SetEvent(m_event);
    return CDialog::OnInitDialog();
  }
  HANDLE ModalWaitHandle() override { return m_event; }
  void OnModalWaitSignalled() override {
    woken = true;
    EndDialog(IDOK);
  }
  DWORD WaitForObjectOrInput(HANDLE object, DWORD inputKinds) override {
    lastKinds = inputKinds;
    if (m_refuses && (inputKinds & ~static_cast<DWORD>(QS_ALLINPUT))) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return WAIT_FAILED;
    }
    return CDialog::WaitForObjectOrInput(object, inputKinds);
  }

 private:
  bool m_refuses;
  HANDLE m_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

// Either way the loop wakes for its event; where the system takes them, it
// waits for every input kind (a wait for fewer makes Wine look for display
// events at every message).
TEST(DialogTest, OwnLoopWakesForItsEventWhetherOrNotTheNewInputKindsAreTaken) {
  const struct {
    bool refuses;
    DWORD kinds;
  } rows[] = {{true, QS_ALLINPUT}, {false, QS_ALLINPUT | 0x0800 | 0x1000}};
  for (const auto& row : rows) {
    EventLoopDialog dlg(row.refuses);
    // A loop that never wakes for its event is ended from here instead.
    std::thread bound([&dlg] {
      if (!WaitUntil([&dlg] { return dlg.woken.load(); }, "the loop to wake")) PostMessageA(dlg.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK) << "refuses the new kinds: " << row.refuses;
    bound.join();
    EXPECT_EQ(dlg.lastKinds, row.kinds) << "refuses the new kinds: " << row.refuses;
  }
}

}  // namespace
}  // namespace zeph
