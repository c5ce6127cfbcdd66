#include "gui_driver.h"

namespace zeph::test {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 20) {
    if (condition()) return true;
    Sleep(20);
  }
  return false;
}

HWND WaitForWindow(const char* title, int timeoutMs, bool mustBeVisible) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowA(nullptr, title);
        return found && (!mustBeVisible || IsWindowVisible(found));
      },
      timeoutMs);
  return found;
}

bool WaitGone(HWND hwnd, int timeoutMs) {
  return WaitUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

std::string Text(HWND hwnd) {
  char buf[1024] = "";
  // WM_GETTEXT rather than GetWindowText: it also reads other threads' controls.
  SendMessageA(hwnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
  return buf;
}

std::string ItemText(HWND dlg, int id) { return Text(GetDlgItem(dlg, id)); }

bool HasStaticText(HWND dlg, const char* text) {
  for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (Text(child) == text) return true;
  }
  return false;
}

void Click(HWND dlg, int id) { PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

void Key(HWND target, UINT vk) {
  const UINT scan = MapVirtualKeyA(vk, 0);
  PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000);
}

void Type(HWND target, const std::string& text) {
  for (char c : text) PostMessageA(target, WM_CHAR, static_cast<unsigned char>(c), 1);
}

bool ChooseFile(const char* path, int timeoutMs) {
  HWND open = WaitForWindow("Open", timeoutMs);
  if (!open) return false;
  HWND name = nullptr;  // the file-name field of the Explorer-style dialog, cmb13
  if (!WaitUntil([&] { return (name = GetDlgItem(open, 1148)) != nullptr; }, timeoutMs)) return false;
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  PostMessageA(open, WM_COMMAND, IDOK, 0);
  return WaitGone(open, timeoutMs);
}

bool MouseClick(HWND control) {
  RECT rc;
  if (!GetWindowRect(control, &rc)) return false;
  const int sw = GetSystemMetrics(SM_CXSCREEN) - 1, sh = GetSystemMetrics(SM_CYSCREEN) - 1;
  INPUT in[3] = {};
  for (INPUT& i : in) {
    i.type = INPUT_MOUSE;
    i.mi.dx = ((rc.left + rc.right) / 2) * 65535 / sw;
    i.mi.dy = ((rc.top + rc.bottom) / 2) * 65535 / sh;
  }
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  return SendInput(3, in, sizeof(INPUT)) == 3;
}

}  // namespace zeph::test
