#include "dialogs/forms_controls.h"

#include <string>
#include <vector>

#include "dialogs/forms_look.h"
#include "framework/accessible.h"
#include "framework/handles.h"

namespace zeph {

ZEPH_IMPLEMENT_DYNCREATE(CCommandButton)
ZEPH_IMPLEMENT_DYNCREATE(CLabelControl)
ZEPH_IMPLEMENT_DYNCREATE(CImage)

namespace {

constexpr int kPictureSize = 32;

enum class Kind { kButton, kLabel, kImage };

// Per-window state, linked at WM_NCCREATE and freed at WM_NCDESTROY.
struct Control {
  Kind kind;
  FormsLook look;
  bool pressed = false;   // drawn pushed in
  bool tracking = false;  // mouse captured after a button-down
  bool spaceDown = false;
};

COLORREF ToColor(const std::optional<Rgb>& c, COLORREF fallback) {
  return c ? RGB(c->r, c->g, c->b) : fallback;
}

RECT ToRect(const Box& b) { return {b.left, b.top, b.right, b.bottom}; }

Font MakeFont(const FormsLook& look, int height) {
  return Font(CreateFontA(height, 0, 0, 0, look.fontWeight, FALSE, FALSE, FALSE, static_cast<BYTE>(look.fontCharset),
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                          look.fontFace.c_str()));
}

// The look's font, made smaller until the caption fits the box: a caption is
// shown whole, whatever face the system substitutes for the one asked for.
Font MakeFittingFont(HDC dc, const FormsLook& look, int maxWidth, int maxHeight) {
  if (look.fontPoints <= 0) return Font();
  constexpr int kSmallest = 6;
  Font font;
  for (int height = MulDiv(look.fontPoints, GetDeviceCaps(dc, LOGPIXELSY), 72); height >= kSmallest; --height) {
    font = MakeFont(look, -height);
    SelectScope select(dc, font.Get());
    SIZE text{0, 0};
    GetTextExtentPoint32A(dc, look.caption.c_str(), static_cast<int>(look.caption.size()), &text);
    if (text.cx <= maxWidth && text.cy <= maxHeight) break;
  }
  return font;
}

void FillBack(HDC dc, const RECT& rc, const FormsLook& look, int sysColor) {
  Brush back(CreateSolidBrush(ToColor(look.back, GetSysColor(sysColor))));
  FillRect(dc, &rc, back.Get());
}

void PaintButton(HWND hwnd, HDC dc, const Control& c) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  FillBack(dc, rc, c.look, COLOR_BTNFACE);
  RECT edge = rc;
  DrawEdge(dc, &edge, c.pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  // Room for the caption: beside or under the picture, inside the edge.
  const int pic = c.look.picture ? kPictureSize : 0;
  const int room = c.look.place == PicturePlace::kRight ? rc.right - pic - 6 : rc.right - 4;
  Font font = MakeFittingFont(dc, c.look, room, rc.bottom - 4);
  HFONT parentFont = reinterpret_cast<HFONT>(SendMessageA(GetParent(hwnd), WM_GETFONT, 0, 0));
  SelectScope selectFont(dc, font ? font.Get() : parentFont);
  SIZE text{0, 0};
  if (!c.look.caption.empty()) {
    GetTextExtentPoint32A(dc, c.look.caption.c_str(), static_cast<int>(c.look.caption.size()), &text);
  }
  ButtonLayout layout =
      LayoutButton({rc.left, rc.top, rc.right, rc.bottom}, pic, pic, text.cx, text.cy, c.look.place);
  const int shift = c.pressed ? 1 : 0;

  if (c.look.picture) {
    Icon icon(static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(c.look.picture),
                                            IMAGE_ICON, kPictureSize, kPictureSize, LR_DEFAULTCOLOR)));
    if (icon) {
      const int x = layout.picture.left + shift, y = layout.picture.top + shift;
      if (enabled) {
        DrawIconEx(dc, x, y, icon.Get(), kPictureSize, kPictureSize, 0, nullptr, DI_NORMAL);
      } else {
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.Get()), 0, x, y, kPictureSize,
                   kPictureSize, DST_ICON | DSS_DISABLED);
      }
    }
  }
  if (!c.look.caption.empty()) {
    RECT tr = ToRect(layout.caption);
    OffsetRect(&tr, shift, shift);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? ToColor(c.look.fore, GetSysColor(COLOR_BTNTEXT)) : GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, c.look.caption.c_str(), -1, &tr, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
  }
  if (GetFocus() == hwnd) {
    RECT focus = rc;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

void PaintLabel(HWND hwnd, HDC dc, const Control& c) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  FillBack(dc, rc, c.look, COLOR_BTNFACE);
  Font font = MakeFittingFont(dc, c.look, rc.right, rc.bottom);
  HFONT parentFont = reinterpret_cast<HFONT>(SendMessageA(GetParent(hwnd), WM_GETFONT, 0, 0));
  SelectScope selectFont(dc, font ? font.Get() : parentFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColor(c.look.fore, GetSysColor(COLOR_BTNTEXT)));
  DrawTextA(dc, c.look.caption.c_str(), -1, &rc, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// A placeable metafile from the resources, drawn zoomed into the box with its
// aspect ratio kept.
void PlayPlaceableMetafile(HDC dc, int resourceId, const RECT& area) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(inst, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  HGLOBAL mem = res ? LoadResource(inst, res) : nullptr;
  const auto* bytes = static_cast<const BYTE*>(mem ? LockResource(mem) : nullptr);
  const DWORD size = res ? SizeofResource(inst, res) : 0;
  constexpr DWORD kPlaceableHeader = 22;
  if (!bytes || size <= kPlaceableHeader || *reinterpret_cast<const DWORD*>(bytes) != 0x9AC6CDD7) return;
  const auto* bbox = reinterpret_cast<const short*>(bytes + 6);
  const int width = bbox[2] - bbox[0], height = bbox[3] - bbox[1];
  MetaFile mf(SetMetaFileBitsEx(size - kPlaceableHeader, bytes + kPlaceableHeader));
  if (!mf) return;
  const Box fit = ZoomToFit({area.left, area.top, area.right, area.bottom}, width, height);
  SavedDC saved(dc);
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, width, height, nullptr);
  SetViewportOrgEx(dc, fit.left, fit.top, nullptr);
  SetViewportExtEx(dc, fit.Width(), fit.Height(), nullptr);
  PlayMetaFile(dc, mf.Get());
}

void PaintImage(HWND hwnd, HDC dc, const Control& c) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  FillBack(dc, rc, c.look, COLOR_BTNFACE);
  if (c.look.border) {
    Brush frame(CreateSolidBrush(RGB(0, 0, 0)));
    FrameRect(dc, &rc, frame.Get());
    InflateRect(&rc, -1, -1);
  }
  if (c.look.metafile) PlayPlaceableMetafile(dc, c.look.metafile, rc);
}

void Paint(HWND hwnd, HDC dc, const Control& c) {
  if (c.kind == Kind::kButton) PaintButton(hwnd, dc, c);
  if (c.kind == Kind::kLabel) PaintLabel(hwnd, dc, c);
  if (c.kind == Kind::kImage) PaintImage(hwnd, dc, c);
}

void FireClick(HWND hwnd) {
  SendMessageA(GetParent(hwnd), WM_ZEPH_CONTROLEVENT, static_cast<WPARAM>(GetDlgCtrlID(hwnd)),
               static_cast<LPARAM>(kDispidClick));
}

void SetPressed(HWND hwnd, Control& c, bool pressed) {
  if (c.pressed == pressed) return;
  c.pressed = pressed;
  InvalidateRect(hwnd, nullptr, FALSE);
}

bool Inside(HWND hwnd, LPARAM lp) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  const POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  return PtInRect(&rc, pt) != FALSE;
}

// Mouse and keyboard of the picture button; true when the message was handled.
bool ButtonInput(HWND hwnd, Control& c, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  *result = 0;
  switch (msg) {
    case WM_GETDLGCODE: {
      const auto* m = reinterpret_cast<const MSG*>(lp);
      // Enter clicks the focused button rather than the dialog's default one.
      const bool enter = m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN;
      *result = DLGC_BUTTON | (enter ? DLGC_WANTMESSAGE : 0);
      return true;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetFocus(hwnd);
      SetCapture(hwnd);
      c.tracking = true;
      SetPressed(hwnd, c, true);
      return true;
    case WM_MOUSEMOVE:
      if (c.tracking) SetPressed(hwnd, c, Inside(hwnd, lp));
      return true;
    case WM_LBUTTONUP:
      if (c.tracking) {
        const bool click = Inside(hwnd, lp);
        c.tracking = false;
        ReleaseCapture();
        SetPressed(hwnd, c, false);
        if (click) FireClick(hwnd);
      }
      return true;
    case WM_CAPTURECHANGED:
      c.tracking = false;
      SetPressed(hwnd, c, false);
      return true;
    case WM_KEYDOWN:
      if (wp == VK_SPACE && !(lp & 0x40000000)) {
        c.spaceDown = true;
        SetPressed(hwnd, c, true);
      } else if (wp == VK_RETURN) {
        FireClick(hwnd);
      }
      return true;
    case WM_KEYUP:
      if (wp == VK_SPACE && c.spaceDown) {
        c.spaceDown = false;
        SetPressed(hwnd, c, false);
        FireClick(hwnd);
      }
      return true;
    case WM_KILLFOCUS:
      c.spaceDown = false;
      SetPressed(hwnd, c, false);
      InvalidateRect(hwnd, nullptr, FALSE);
      return true;
    case WM_SETFOCUS:
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return true;
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) FireClick(hwnd);
      return true;
    case WM_GETOBJECT:
      // The system does not know the class: without this a screen reader
      // meets a bare client area where the user sees a button.
      *result = AnswerGetObject(hwnd, wp, lp, c.look.name.c_str(), kRolePushButton);
      return *result != 0;
    default:
      return false;
  }
}

template <Kind K>
LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* c = reinterpret_cast<Control*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lp);
    c = new Control{K, ParseFormsLook(cs->lpszName ? cs->lpszName : "")};
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
    if (!DefWindowProcA(hwnd, msg, wp, lp)) return FALSE;
    // The window's text is its name (the caption, or the name of a button that
    // shows only a picture); the rest of the template text was its look.
    SetWindowTextA(hwnd, c->look.name.c_str());
    return TRUE;
  }
  if (!c) return DefWindowProcA(hwnd, msg, wp, lp);

  if (K == Kind::kButton) {
    LRESULT result;
    if (ButtonInput(hwnd, *c, msg, wp, lp, &result)) return result;
  }
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // painting fills the whole client area
    case WM_PAINT: {
      PaintDC dc(hwnd);
      Paint(hwnd, dc.Get(), *c);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(hwnd, reinterpret_cast<HDC>(wp), *c);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      delete c;
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool RegisterOne(HINSTANCE instance, const char* name, WNDPROC proc) {
  WNDCLASSA wc = {};
  if (GetClassInfoA(instance, name, &wc)) return true;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */);
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0;
}

bool CreateControl(CWnd& wnd, const char* className, const char* text, DWORD style, const RECT& rc, HWND parent,
                   UINT id) {
  HWND hwnd = CreateWindowExA(0, className, text, style | WS_CHILD, rc.left, rc.top, rc.right - rc.left,
                              rc.bottom - rc.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
  return hwnd && wnd.Attach(hwnd);
}

}  // namespace

bool RegisterFormsControls(HINSTANCE instance) {
  return RegisterOne(instance, kCommandButtonClass, ControlProc<Kind::kButton>) &&
         RegisterOne(instance, kLabelClass, ControlProc<Kind::kLabel>) &&
         RegisterOne(instance, kImageClass, ControlProc<Kind::kImage>);
}

bool CCommandButton::Create(const char* text, DWORD style, const RECT& rect, HWND parent, UINT id) {
  return CreateControl(*this, kCommandButtonClass, text, style, rect, parent, id);
}

bool CLabelControl::Create(const char* text, DWORD style, const RECT& rect, HWND parent, UINT id) {
  return CreateControl(*this, kLabelClass, text, style, rect, parent, id);
}

bool CImage::Create(const char* text, DWORD style, const RECT& rect, HWND parent, UINT id) {
  return CreateControl(*this, kImageClass, text, style, rect, parent, id);
}

}  // namespace zeph
