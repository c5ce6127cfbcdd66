// zeph_soak.exe CYCLES PARTS PORTIO_DLL: drives the running zephkeys.exe of the
// simulator set through what a user does with it, for tools/soak.sh to watch
// its memory. Each cycle, in this order (parts picks some, e.g. "pa"):
//   p  a launch button pressed on the pad's window, until the program took it;
//   s  Properties opened from the tray icon, Apply, then Cancel;
//   c  Properties opened from the tray icon and cancelled;
//   a  the About box from the tray menu's command, closed with OK;
//   m  the tray menu opened with a right click and closed with Escape.
// Presses are watched through the simulator's PortIO.dll named last. Every step
// waits for what it caused (a window, a window gone, the press taken) and gives
// up after kStepTimeoutMs. Exit code 0 when every cycle ran.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pad/pad_state.h"
#include "pad/zephpad_res.h"
#include "platform/win32/win32_port_io.h"

namespace {

constexpr DWORD kStepTimeoutMs = 30000;
constexpr UINT kTrayNotify = WM_USER + 100;
constexpr WPARAM kTrayIconId = 9999;
constexpr WPARAM kTrayAbout = 202;
constexpr int kApply = 3;

template <typename Done>
bool WaitFor(const char* what, Done done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > kStepTimeoutMs) {
      std::fprintf(stderr, "zeph_soak: gave up waiting for %s\n", what);
      return false;
    }
    Sleep(10);
  }
  return true;
}

HWND Visible(HWND hwnd) { return hwnd && IsWindowVisible(hwnd) ? hwnd : nullptr; }

// The program's popup menu, while it is shown.
HWND ProgramMenu(DWORD programThread) {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w; w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
    if (IsWindowVisible(w) && GetWindowThreadProcessId(w, nullptr) == programThread) return w;
  }
  return nullptr;
}

bool Press(HWND pad, zeph::IPortIO& ports, int button) {
  SendMessageA(GetDlgItem(pad, IDC_PAD_BUTTON1 + button - 1), BM_CLICK, 0, 0);
  return WaitFor("the program to take the press",
                 [&] { return zeph::pad::WaitingButton(zeph::pad::ReadPadState(ports)) == 0; });
}

bool Properties(HWND tray, bool apply) {
  const char* title = "Properties for Zephra Button";
  PostMessageA(tray, kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
  HWND dlg = nullptr;
  if (!WaitFor("Properties", [&] { return (dlg = Visible(FindWindowA(nullptr, title))) != nullptr; })) return false;
  if (apply) SendMessageA(GetDlgItem(dlg, kApply), BM_CLICK, 0, 0);
  SendMessageA(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
  return WaitFor("Properties to close", [&] { return !IsWindow(dlg); });
}

bool About(HWND tray) {
  PostMessageA(tray, WM_COMMAND, kTrayAbout, 0);
  HWND box = nullptr;
  if (!WaitFor("the About box", [&] { return (box = Visible(FindWindowA(nullptr, "About Zephra Button"))) != nullptr; })) {
    return false;
  }
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return WaitFor("the About box to close", [&] { return !IsWindow(box); });
}

bool Menu(HWND tray) {
  const DWORD thread = GetWindowThreadProcessId(tray, nullptr);
  PostMessageA(tray, kTrayNotify, kTrayIconId, WM_RBUTTONDOWN);
  HWND menu = nullptr;
  if (!WaitFor("the tray menu", [&] { return (menu = ProgramMenu(thread)) != nullptr; })) return false;
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  return WaitFor("the tray menu to close", [&] { return ProgramMenu(thread) == nullptr; });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: zeph_soak CYCLES PARTS PORTIO_DLL\n", stderr);
    return 2;
  }
  const int cycles = std::atoi(argv[1]);
  const char* parts = argv[2];
  zeph::Win32PortIO ports(argv[3]);
  HWND tray = nullptr, pad = nullptr;
  const bool presses = std::strchr(parts, 'p') != nullptr;
  if (!WaitFor("the program's tray window", [&] { return (tray = FindWindowA("Zephkeys", nullptr)) != nullptr; }) ||
      (presses && !WaitFor("the pad", [&] { return (pad = FindWindowA(nullptr, "Zephra Button Pad")) != nullptr; }))) {
    return 2;
  }
  if (presses && !ports.Loaded()) {
    std::fprintf(stderr, "zeph_soak: cannot load %s\n", argv[3]);
    return 2;
  }
  for (int i = 0; i < cycles; ++i) {
    const bool ok = (!presses || Press(pad, ports, i % 4 + 1)) && (!std::strchr(parts, 's') || Properties(tray, true)) &&
                    (!std::strchr(parts, 'c') || Properties(tray, false)) &&
                    (!std::strchr(parts, 'a') || About(tray)) && (!std::strchr(parts, 'm') || Menu(tray));
    if (!ok) return 1;
  }
  return 0;
}
