#pragma once
// Drives our windows as a user would, from a second thread while the GUI
// thread sits in a modal loop: finds windows, clicks controls, types keys.
// Actions that open a nested modal dialog are posted, never sent, so the
// driver is never blocked inside one.
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace zeph::test {

// A top-level window by exact title, once it is shown (a dialog is shown after
// its initialisation), or at once when mustBeVisible is false.
HWND WaitForWindow(const char* title, int timeoutMs = 5000, bool mustBeVisible = true);
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
bool WaitGone(HWND hwnd, int timeoutMs = 5000);

std::string Text(HWND hwnd);
std::string ItemText(HWND dlg, int id);
// A child static of the dialog that shows exactly this text.
bool HasStaticText(HWND dlg, const char* text);

void Click(HWND dlg, int id);             // BM_CLICK, posted
void Key(HWND target, UINT vk);           // key down and up, posted
void Type(HWND target, const std::string& text);  // WM_CHAR per character, posted
// Picks a file in the open-file dialog and confirms it.
bool ChooseFile(const char* path, int timeoutMs = 10000);
// Real input, through the system's input queue: a left click at the centre of
// a control.
bool MouseClick(HWND control);

// Runs modal on this (GUI) thread while driver runs on another.
template <typename Modal>
auto RunWithDriver(const std::function<void()>& driver, Modal modal) {
  std::thread thread(driver);
  auto result = modal();
  thread.join();
  return result;
}

}  // namespace zeph::test
