#pragma once
// What the Windows tests share: waits that end on the event they wait for,
// programs started as child processes, the windows of a test driven from a
// second thread while the GUI thread sits in a modal loop, and the program's
// slots and registry.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "settings/slot_store.h"
#include "wait.h"

namespace zeph::test {

bool WaitGone(HWND hwnd, const std::string& what = "a window to close");
// A shown top-level window by exact title, null when none came.
HWND WaitForWindow(const char* title);
// Top-level windows of this class and title (null: any) and process (0: any).
std::vector<HWND> TopLevel(const char* cls, const char* title, DWORD pid = 0);

// A program started for a test, ended with it if still running. With pipes,
// its standard input is ours to type at and its output ours to read.
class Process {
 public:
  Process(std::string commandLine, DWORD flags = 0, bool pipes = false, const char* dir = nullptr);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Resume() const { ResumeThread(m_pi.hThread); }
  // Its exit code once it has ended; STILL_ACTIVE if it does not end in time
  // (or, with wait false, has not ended yet).
  DWORD Exit(bool wait = true) const;
  std::vector<HWND> Windows(const char* cls, const char* title) const { return TopLevel(cls, title, m_pi.dwProcessId); }
  void Type(const std::string& text) const;
  // What it printed: what has come so far, or all of it up to its end.
  std::string Read(bool toEnd = false);

 private:
  PROCESS_INFORMATION m_pi = {};
  HANDLE m_in = nullptr, m_out = nullptr;
  std::string m_output;
};

// build/<tree>/sim, beside this program's folder, and the pad run from it to
// its end: what it printed.
std::string SimDir();
std::string Pad(const std::string& args);

// Real input, through the input queue to the focused window and the one under
// the cursor, as a user's keyboard and mouse give it. Key: the key with a
// modifier held (VK_SHIFT, VK_MENU) or none; keys up as well as down, or only
// down (up false). Type: characters of the keyboard's layout.
void Key(UINT vk, UINT modifier = 0);
void Type(const std::string& text);
// The left button pressed at one point on screen and released at another,
// once the window held (if any) has taken the mouse.
void Drag(POINT down, POINT up, HWND held = nullptr);
inline void ClickAt(POINT p, HWND held = nullptr) { Drag(p, p, held); }
// A window's place on screen: its centre, or a point inset pixels inside its
// left edge.
POINT PointIn(HWND w, int inset = -1);
// The window with the keyboard focus, of whichever thread has it.
HWND Focused();

// Asks the shell about a tray icon, as any process may: a modify with no
// flags succeeds only while the icon is there.
bool TrayIcon(HWND owner, UINT id, DWORD message = NIM_MODIFY);

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
void ResetSlots();  // empties the four slots and deletes the stored key
// The stored text of a slot value, "<missing>" when absent, "<bad>" when not a
// 256-byte REG_SZ filled up with zeros.
std::string StoredSlot(const char* name);
// Stores a slot value as another program might: just the text and its NUL.
void PutSlot(const char* name, const std::string& text);

// Copies the marker program to path (folders created) and clears its log, the
// command lines it has been started with, one per line.
constexpr const char* kMarkerLog = "C:\\zeph-started.txt";
bool InstallMarker(const std::string& path);
std::string MarkerLog();
bool ClearMarkerLog();

}  // namespace zeph::test
