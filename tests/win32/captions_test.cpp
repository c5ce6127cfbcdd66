// The Properties dialog's captions show whole in their boxes, whatever face
// the system substitutes for the one their look asks for.
#include <windows.h>

#include <gtest/gtest.h>

#include "gui_driver.h"
#include "res/resource.h"
#include "settings/slot_store.h"
#include "test_support.h"

namespace zeph {
namespace {

// The columns of a control's client area that hold pixels of the colour.
std::pair<int, int> ColumnsOf(HWND control, COLORREF colour) {
  RECT rc;
  GetClientRect(control, &rc);
  HDC screen = GetDC(control);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
  HGDIOBJ old = SelectObject(mem, bitmap);
  SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
  int first = -1, last = -1;
  for (int x = 0; x < rc.right; ++x) {
    for (int y = 0; y < rc.bottom; ++y) {
      if (GetPixel(mem, x, y) != colour) continue;
      if (first < 0) first = x;
      last = x;
    }
  }
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(control, screen);
  return {first, last};
}

TEST(CaptionsTest, EveryCaptionFitsItsBox) {
  test::RunWithDriver(
      [] {
        HWND dlg = test::WaitForWindow(kPropertiesTitle);
        ASSERT_NE(dlg, nullptr);
        for (int id : {IDC_LABEL_OK, IDC_LABEL_CANCEL, IDC_LABEL_APPLY, IDC_LABEL_DEFAULT}) {
          HWND label = GetDlgItem(dlg, id);
          RECT rc;
          GetClientRect(label, &rc);
          const auto [first, last] = ColumnsOf(label, RGB(0, 255, 255));
          EXPECT_GE(first, 0) << id;                // something is drawn
          EXPECT_LT(last, rc.right - 1) << id;      // and it ends inside the box
        }
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
      },
      [] {
        test::OpenProperties();
        return 0;
      });
}

}  // namespace
}  // namespace zeph
