// Our window framework: message tables along the class chain, the permanent
// map, and a modal run without its template.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "framework/dialog.h"
#include "gui_driver.h"

namespace zeph {
namespace {

// A window with a table of each kind of entry, and a derived class that
// overrides one of them.
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
  HWND hwnd = CreateWindowExA(0, "STATIC", "before", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
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
  EXPECT_EQ(test::Text(hwnd), "after");

  DestroyWindow(hwnd);
  EXPECT_TRUE(probe.destroyed);
  EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
  EXPECT_EQ(probe.GetSafeHwnd(), nullptr);
}

TEST(DialogTest, MissingTemplateEndsTheRunAtOnce) { EXPECT_EQ(CDialog(4242).DoModal(), -1); }

}  // namespace
}  // namespace zeph
