#pragma once
#include <windows.h>

#include "platform/desktop.h"
#include "platform/program_starter.h"

namespace zeph {

class Win32WindowFinder : public IWindowFinder {
 public:
  bool TitleExists(const char* title) override { return FindWindowA(nullptr, title) != nullptr; }
  bool ClassExists(const char* className) override { return FindWindowA(className, nullptr) != nullptr; }
};

// Modal message boxes owned by a window, which is given once it exists.
class Win32MessageBox : public IMessageBox {
 public:
  explicit Win32MessageBox(HWND owner = nullptr) : m_owner(owner) {}
  void SetOwner(HWND owner) { m_owner = owner; }
  int Show(const char* text, const char* caption, unsigned flags) override {
    return MessageBoxA(m_owner, text, caption, flags);
  }

 private:
  HWND m_owner;
};

class Win32Sleeper : public ISleeper {
 public:
  void Sleep(unsigned ms) override { ::Sleep(ms); }
};

class Win32ProgramStarter : public IProgramStarter {
 public:
  uint32_t Start(const std::string& commandLine, int show) override {
    return WinExec(commandLine.c_str(), static_cast<UINT>(show));
  }
  bool IsFile(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
};

}  // namespace zeph
