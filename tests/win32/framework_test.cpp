// Our window framework: owning handles, message tables, the permanent map,
// modal runs with owner, centring and data exchange.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "dialogs/address_input_dlg.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "gui_driver.h"
#include "res/resource.h"

namespace zeph {
namespace {

using test::RunWithDriver;

TEST(HandlesTest, OwnersReleaseOnceAndMoveOwnership) {
  HFONT raw = CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  {
    Font a(raw);
    Font b(std::move(a));
    Font c;
    c = std::move(b);
    EXPECT_EQ(a.Get(), nullptr);
    EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_FONT));  // moved, not freed
  }
  EXPECT_EQ(GetObjectType(raw), 0u);

  Menu menu(CreatePopupMenu());
  HMENU first = menu.Get();
  menu.Reset(CreatePopupMenu());
  EXPECT_FALSE(IsMenu(first));
  HMENU kept = menu.Release();
  EXPECT_TRUE(IsMenu(kept));
  DestroyMenu(kept);
}

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

  // Let go and link again: the window keeps its own procedure meanwhile.
  probe.Detach();
  EXPECT_EQ(SendMessageA(hwnd, WM_APP + 1, 3, 0), 0);
  SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("alone"));
  EXPECT_EQ(test::Text(hwnd), "alone");
  ASSERT_TRUE(probe.SubclassWindow(hwnd));

  DestroyWindow(hwnd);
  EXPECT_TRUE(probe.destroyed);
  EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
  EXPECT_EQ(probe.GetSafeHwnd(), nullptr);
}

// A dialog that records what reached its table.
class CRecordingDlg : public CAddressInputDlg {
 public:
  bool sawCreate = false;
  HWND ownerAtInit = nullptr;
  ZEPH_DECLARE_MESSAGE_MAP()
 protected:
  LRESULT OnCreate(WPARAM, LPARAM) {
    sawCreate = ownerAtInit == nullptr;  // creation comes first
    return Default();
  }
  BOOL OnInitDialog() override {
    ownerAtInit = GetWindow(m_hWnd, GW_OWNER);
    return CAddressInputDlg::OnInitDialog();
  }
};

ZEPH_BEGIN_MESSAGE_MAP(CRecordingDlg, CAddressInputDlg)
  ZEPH_ON_MESSAGE(WM_CREATE, OnCreate)
ZEPH_END_MESSAGE_MAP()

TEST(DialogTest, ModalRunSeesCreationOwnsToTheActiveWindowAndCentresOverIt) {
  HWND owner = CreateWindowExA(0, "STATIC", "Owner", WS_POPUP | WS_VISIBLE | WS_CAPTION, 50, 60, 700, 500,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetActiveWindow(owner);
  CRecordingDlg dlg;
  RECT dlgRect{}, ownerRect{};
  GetWindowRect(owner, &ownerRect);
  const INT_PTR result = RunWithDriver(
      [&] {
        HWND hwnd = test::WaitForWindow("Input Dialog");
        ASSERT_NE(hwnd, nullptr);
        GetWindowRect(hwnd, &dlgRect);
        test::Key(hwnd, VK_ESCAPE);
      },
      [&] { return dlg.DoModal(); });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(dlg.sawCreate);
  EXPECT_EQ(dlg.ownerAtInit, owner);
  EXPECT_NEAR((dlgRect.left + dlgRect.right) / 2, (ownerRect.left + ownerRect.right) / 2, 2);
  EXPECT_NEAR((dlgRect.top + dlgRect.bottom) / 2, (ownerRect.top + ownerRect.bottom) / 2, 2);
  DestroyWindow(owner);
}

TEST(DialogTest, MissingTemplateEndsTheRunAtOnce) {
  CDialog dlg(4242);
  EXPECT_EQ(dlg.DoModal(), -1);
}

}  // namespace
}  // namespace zeph
