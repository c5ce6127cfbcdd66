#pragma once
// What the window-free code needs from the desktop: finding top-level windows by
// title or class, modal message boxes, and sleeping the GUI thread.

namespace zeph {

constexpr unsigned kBoxIconError = 0x10;  // MB_ICONERROR

class IWindowFinder {
 public:
  virtual ~IWindowFinder() = default;
  virtual bool TitleExists(const char* title) = 0;
  virtual bool ClassExists(const char* className) = 0;
};

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // Modal; returns when the user dismisses it.
  virtual int Show(const char* text, const char* caption, unsigned flags) = 0;
};

class ISleeper {
 public:
  virtual ~ISleeper() = default;
  virtual void Sleep(unsigned ms) = 0;
};

}  // namespace zeph
