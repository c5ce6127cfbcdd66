#include "platform/win32/win32_session.h"

#include "platform/win32/system_export.h"

namespace zeph {

Win32ConsoleSession::Win32ConsoleSession() {
  using ProcessIdToSessionIdFn = BOOL(WINAPI*)(DWORD, DWORD*);
  const auto processSession = SystemExport<ProcessIdToSessionIdFn>("kernel32.dll", "ProcessIdToSessionId");
  // A process stays in the session it was started in.
  if (processSession && processSession(GetCurrentProcessId(), &m_ownSession)) {
    m_activeConsoleSession = SystemExport<ActiveConsoleSessionFn>("kernel32.dll", "WTSGetActiveConsoleSessionId");
  }
}

bool Win32ConsoleSession::IsConsole() {
  // While the console changes hands it belongs to no session (0xFFFFFFFF):
  // then nobody's copy reads.
  return !m_activeConsoleSession || m_activeConsoleSession() == m_ownSession;
}

}  // namespace zeph
