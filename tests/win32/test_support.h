#pragma once
// What the window tests share. A driver that works our windows as a user
// would, from a second thread while the GUI thread sits in a modal loop, or
// from another process: it finds windows, clicks controls, types keys and
// starts the programs of the simulator set. Actions that open a nested modal
// dialog are posted, never sent, so the driver is never blocked inside one.
// And a clean slate of slots and registry, and the started-program marker.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "settings/slot_store.h"

namespace zeph::test {

// A top-level window by exact title, once it is shown (a dialog is shown after
// its initialisation), or at once when mustBeVisible is false.
HWND WaitForWindow(const char* title, int timeoutMs = 5000, bool mustBeVisible = true);
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
bool WaitGone(HWND hwnd, int timeoutMs = 5000);
// Top-level windows of this class and title (null: any) and process (0: any).
std::vector<HWND> TopLevel(const char* cls, const char* title, DWORD pid = 0);

std::string Text(HWND hwnd);
std::string ItemText(HWND dlg, int id);
// A child static of the dialog that shows exactly this text.
bool HasStaticText(HWND dlg, const char* text);

void Click(HWND dlg, int id);             // BM_CLICK, posted
void Key(HWND target, UINT vk);           // key down and up, posted
// Real input, through the system's input queue: a left click at a point of
// the screen.
void ClickAt(int x, int y);

// build/win32/sim, beside this program's folder, and a program started from it.
std::string SimDir();
PROCESS_INFORMATION Launch(const std::string& exe, const std::string& args, HANDLE out = nullptr, DWORD flags = 0);
// STILL_ACTIVE when the process has not ended in time.
DWORD ExitCode(HANDLE process, int timeoutMs);
// Runs the pad to its end: what it printed, and its exit code.
std::string Pad(const std::string& args, DWORD* exitCode = nullptr);

// Asks the shell about a tray icon, as any process may: a modify with no
// flags succeeds only while the icon is there.
bool TrayIcon(HWND owner, UINT id, DWORD message = NIM_MODIFY);

// A taskbar of our own that the shell's icon calls reach before the real one:
// a window of the taskbar's class, above it, that receives the record the call
// sends. While it refuses, it answers every add FALSE, having passed it on to
// the real taskbar first (forwardAdds: a taskbar that added the icon but was
// too slow to say so) or not (one that is not there yet); everything else, and
// every call once it no longer refuses, goes on to the real taskbar. Lives on
// the thread that makes it, which must dispatch messages.
class StandInShell {
 public:
  explicit StandInShell(bool forwardAdds);
  ~StandInShell();
  StandInShell(const StandInShell&) = delete;
  StandInShell& operator=(const StandInShell&) = delete;
  void StopRefusing() { m_refusing = false; }
  int Adds() const { return m_adds; }  // the adds it has answered

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND m_hwnd = nullptr, m_real = nullptr;
  bool m_forwardAdds;
  volatile bool m_refusing = true;
  volatile int m_adds = 0;
};

// Runs modal on this (GUI) thread while driver runs on another.
template <typename Modal>
auto RunWithDriver(const std::function<void()>& driver, Modal modal) {
  std::thread thread(driver);
  auto result = modal();
  thread.join();
  return result;
}


// What the program's application object owns, for the tests.
Win32Platform& Platform();
SlotStore& Slots();
// Opens the Properties dialog on the test slots.
void OpenProperties();

// Empties the four slots and deletes the stored key.
void ResetSlots();
// The stored text of a slot value, "<missing>" when absent, "<bad>" when not a
// 256-byte REG_SZ filled up with zeros.
std::string StoredSlot(const char* name);
// Stores a slot value as another program might: just the text and its NUL.
void PutSlot(const char* name, const std::string& text);

// Copies the marker program to path (folders created) and clears its log.
constexpr const char* kMarkerLog = "C:\\zeph-started.txt";  // where the marker writes
bool InstallMarker(const std::string& path);
// The command lines the marker has been started with, one per line.
std::string MarkerLog();

}  // namespace zeph::test
