#pragma once
// Owning wrappers for the handles the program creates, so that every GDI object,
// icon, menu and device context is released on every path right after use.
// Non-owning access is a plain handle.
#include <windows.h>

#include <utility>

namespace zeph {

template <typename H, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H h) : m_h(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  H Get() const { return m_h; }
  explicit operator bool() const { return m_h != nullptr; }
  H Release() { return std::exchange(m_h, nullptr); }
  void Reset(H h = nullptr) {
    if (m_h) Traits::Close(m_h);
    m_h = h;
  }

 private:
  H m_h = nullptr;
};

struct GdiTraits {
  static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct IconTraits {
  static void Close(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
  static void Close(HMENU h) { DestroyMenu(h); }
};
struct MetaFileTraits {
  static void Close(HMETAFILE h) { DeleteMetaFile(h); }
};

using Font = UniqueHandle<HFONT, GdiTraits>;
using Brush = UniqueHandle<HBRUSH, GdiTraits>;
using Pen = UniqueHandle<HPEN, GdiTraits>;
using Bitmap = UniqueHandle<HBITMAP, GdiTraits>;
using Icon = UniqueHandle<HICON, IconTraits>;
using Menu = UniqueHandle<HMENU, MenuTraits>;
using MetaFile = UniqueHandle<HMETAFILE, MetaFileTraits>;

// Selects an object into a device context for the scope and puts the old one back.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? SelectObject(dc, obj) : nullptr) {}
  ~SelectScope() {
    if (m_old) SelectObject(m_dc, m_old);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

// BeginPaint/EndPaint.
class PaintDC {
 public:
  explicit PaintDC(HWND hwnd) : m_hwnd(hwnd) { m_dc = BeginPaint(hwnd, &m_ps); }
  ~PaintDC() { EndPaint(m_hwnd, &m_ps); }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;
  HDC Get() const { return m_dc; }

 private:
  HWND m_hwnd;
  PAINTSTRUCT m_ps{};
  HDC m_dc;
};

// SaveDC/RestoreDC around mapping-mode changes.
class SavedDC {
 public:
  explicit SavedDC(HDC dc) : m_dc(dc), m_state(SaveDC(dc)) {}
  ~SavedDC() { RestoreDC(m_dc, m_state); }
  SavedDC(const SavedDC&) = delete;
  SavedDC& operator=(const SavedDC&) = delete;

 private:
  HDC m_dc;
  int m_state;
};

}  // namespace zeph
