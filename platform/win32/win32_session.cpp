#include "platform/win32/win32_session.h"

namespace zeph {

namespace {
template <typename Fn>
Fn Kernel32Export(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}
}  // namespace

Win32ConsoleSession::Win32ConsoleSession() {
  using ProcessIdToSessionIdFn = BOOL(WINAPI*)(DWORD, DWORD*);
  const auto processSession = Kernel32Export<ProcessIdToSessionIdFn>("ProcessIdToSessionId");
  // A process stays in the session it was started in.
  if (processSession && processSession(GetCurrentProcessId(), &m_ownSession)) {
    m_activeConsoleSession = Kernel32Export<ActiveConsoleSessionFn>("WTSGetActiveConsoleSessionId");
  }
}

bool Win32ConsoleSession::IsConsole() {
  // While the console changes hands it belongs to no session (0xFFFFFFFF):
  // then nobody's copy reads.
  return !m_activeConsoleSession || m_activeConsoleSession() == m_ownSession;
}

}  // namespace zeph
