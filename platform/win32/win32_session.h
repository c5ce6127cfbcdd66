#pragma once
#include <windows.h>

#include "platform/session.h"

namespace zeph {

// The console's session against this process's own. The calls are looked up
// when the program starts: Windows 98 has neither and 2000 cannot name the
// console's session, and where one is missing this copy counts as the console's.
class Win32ConsoleSession : public IConsoleSession {
 public:
  Win32ConsoleSession();
  bool IsConsole() override;

 private:
  using ActiveConsoleSessionFn = DWORD(WINAPI*)();
  ActiveConsoleSessionFn m_activeConsoleSession = nullptr;
  DWORD m_ownSession = 0;
};

}  // namespace zeph
