#pragma once
// What the window tests share: a driver that works our windows as a user would,
// from a second thread while the GUI thread sits in a modal loop, or from
// another process. Actions that may open a nested modal dialog are posted, so
// the driver is never blocked inside one. And a clean slate of slots and
// registry, and the started-program marker.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "settings/slot_store.h"

namespace zeph::test {

// A top-level window by exact title once it is shown (a dialog is, after its
// initialisation), or at once when mustBeVisible is false.
HWND WaitForWindow(const char* title, int timeoutMs = 5000, bool mustBeVisible = true);
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
bool WaitGone(HWND hwnd, int timeoutMs = 5000);
// Top-level windows of this class and title (null: any) and process (0: any).
std::vector<HWND> TopLevel(const char* cls, const char* title, DWORD pid = 0);

std::string Text(HWND hwnd);
std::string ItemText(HWND dlg, int id);
bool HasStaticText(HWND dlg, const char* text);  // a child showing exactly this

void Click(HWND dlg, int id);    // BM_CLICK, posted
void Key(HWND target, UINT vk);  // key down and up, posted
void ClickAt(int x, int y);      // a real left click, through the input queue

// build/win32/sim, beside this program's folder, and a program started from it.
std::string SimDir();
PROCESS_INFORMATION Launch(const std::string& exe, const std::string& args, HANDLE out = nullptr, DWORD flags = 0);
DWORD ExitCode(HANDLE process, int timeoutMs);  // STILL_ACTIVE when not ended in time
// Runs the pad to its end: what it printed, and its exit code.
std::string Pad(const std::string& args, DWORD* exitCode = nullptr);

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

}  // namespace zeph::test
