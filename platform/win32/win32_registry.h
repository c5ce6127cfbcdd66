#pragma once
#include <windows.h>

#include "platform/registry.h"

namespace zeph {

// The registry under HKEY_CURRENT_USER. Its watch is meant to be waited on by
// the program's message loop, so that asking Changed() at an idle tick costs
// the system nothing: the loop reports what it saw of the event.
class Win32Registry : public IRegistry {
 public:
  // A watch stays on its key when another program renames that away, and the
  // key made anew under the old name goes unseen: Changed() says yes once
  // rereadMs have passed since the last watch, so the key is read afresh.
  explicit Win32Registry(DWORD rereadMs = 60000) : m_rereadMs(rereadMs) {}
  ~Win32Registry() override;
  Win32Registry(const Win32Registry&) = delete;
  Win32Registry& operator=(const Win32Registry&) = delete;

  std::unique_ptr<IRegistryKey> Create(const std::string& path) override;
  std::unique_ptr<IRegistryKey> Open(const std::string& path) override;
  bool Watch(const std::string& path) override;
  bool Changed() override;

  // Signalled (and reset by the wait that sees it) at the watched key's next
  // change; null while nothing is watched.
  HANDLE ChangeEvent() const { return m_watched ? m_event : nullptr; }
  // The loop's wait found the event signalled.
  void NoteSignalled() { m_changed = true; }
  // Said at the start of every tick: whether the loop's wait found the event
  // unsignalled right before it. False for a tick run by another loop (a
  // dialog's, a message box's, a menu's), which does not wait on the event.
  void NoteWaitedFor(bool waited) { m_waitedFor = waited; }

 private:
  HKEY m_watched = nullptr;  // the watched key's parent, see Watch
  HANDLE m_event = nullptr;
  bool m_changed = false;
  bool m_waitedFor = false;
  bool m_cannotWatch = false;
  DWORD m_rereadMs;
  DWORD m_armedAt = 0;
};

}  // namespace zeph
