// The launch-button pad: presses the simulated notebook's launch buttons and
// chooses its chipset, from a small window or from the command line, through the
// controls of the simulator's PortIO.dll beside it. The state it shows is read
// with the library's plain port calls and the program's own port sequence, so
// on the notebook, with the hardware library, "zephpad show" tells whether the
// machine reports its buttons the way the program reads them.
//   zephpad                     the window
//   zephpad press N             launch button N (1..4)
//   zephpad raw 0xNN            any byte in the chipset's button register
//   zephpad chipset sis|other   the host bridge: SiS (0x7B) or another (0xE0)
//   zephpad show                vendor, both registers, the waiting press
// Exit codes: 0 done, 1 no library or no simulator controls, 2 bad arguments.
// The commands are also zephpad.com's, the console program beside it.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/win32/system_export.h"
#include "platform/win32/win32_port_io.h"
#include "pad/pad_commands.h"
#include "pad/zephpad_res.h"

namespace {

using namespace zeph::pad;

// zephpad.exe is a GUI program so that opening it shows the pad alone, without
// a console window. Its commands write to the standard output they were given:
// a pipe or file from a script or a test, and under Wine the shell's own
// output, which Wine hands to the programs it starts. Typed at a console
// prompt, "zephpad" runs zephpad.com, which cmd.exe waits for; zephpad.exe
// named in full gets no output of its own and writes to that console, attached
// for the purpose (Windows XP and later; cmd.exe does not wait for it).
void Print(const std::string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  bool attached = false;
  if (!out || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN) {
    using AttachConsoleFn = BOOL(WINAPI*)(DWORD);
    const auto attach = zeph::SystemExport<AttachConsoleFn>("kernel32.dll", "AttachConsole");
    if (!attach || !attach(ATTACH_PARENT_PROCESS)) return;
    out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    attached = true;
  }
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  if (attached && out != INVALID_HANDLE_VALUE) CloseHandle(out);
}

// --- the window ------------------------------------------------------------

struct Pad {
  zeph::IPortIO& ports;
  SimControls sim;
};

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 500;  // the program acknowledges within a second

void Refresh(HWND dlg, Pad& pad) {
  const PadState s = ReadPadState(pad.ports);
  const std::string text = FormatPadState(s);
  char shown[256] = "";
  GetDlgItemTextA(dlg, IDC_PAD_STATE, shown, sizeof shown);
  if (text != shown) SetDlgItemTextA(dlg, IDC_PAD_STATE, text.c_str());  // no flicker twice a second
  CheckRadioButton(dlg, IDC_PAD_SIS, IDC_PAD_OTHER, IsSis(s) ? IDC_PAD_SIS : IDC_PAD_OTHER);
}

void SetIcons(HWND dlg) {
  // Shared icons belong to the system: nothing to release.
  HINSTANCE inst = GetModuleHandleA(nullptr);
  const int sizes[2][2] = {{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}};
  for (const auto& s : sizes) {
    const int px = GetSystemMetrics(s[1]);
    HANDLE icon = LoadImageA(inst, MAKEINTRESOURCEA(IDI_PAD), IMAGE_ICON, px, px, LR_SHARED);
    SendMessageA(dlg, WM_SETICON, s[0], reinterpret_cast<LPARAM>(icon));
  }
}

INT_PTR CALLBACK PadProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  Pad* pad = reinterpret_cast<Pad*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      pad = reinterpret_cast<Pad*>(lp);
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      SetIcons(dlg);
      for (int id : {IDC_PAD_BUTTON1, IDC_PAD_BUTTON2, IDC_PAD_BUTTON3, IDC_PAD_BUTTON4, IDC_PAD_SIS, IDC_PAD_OTHER}) {
        EnableWindow(GetDlgItem(dlg, id), pad->sim.Present());
      }
      SetDlgItemTextA(dlg, IDC_PAD_LIBRARY, LibraryLine(pad->sim).c_str());
      Refresh(dlg, *pad);
      SetTimer(dlg, kRefreshTimer, kRefreshMs, nullptr);
      return TRUE;
    case WM_TIMER:
      Refresh(dlg, *pad);
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == IDCANCEL) {
        KillTimer(dlg, kRefreshTimer);
        EndDialog(dlg, 0);
        return TRUE;
      }
      if (HIWORD(wp) != BN_CLICKED || !pad->sim.Present()) return FALSE;
      if (id >= IDC_PAD_BUTTON1 && id <= IDC_PAD_BUTTON4) {
        pad->sim.press(id - IDC_PAD_BUTTON1 + 1);
      } else if (id == IDC_PAD_SIS || id == IDC_PAD_OTHER) {
        pad->sim.setChipset(id == IDC_PAD_SIS);
      } else {
        return FALSE;
      }
      Refresh(dlg, *pad);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const Command cmd = ParseCommand(__argc - 1, __argv + 1);
  if (cmd.kind != CommandKind::kWindow) return RunCommand(cmd, Print);
  zeph::Win32PortIO ports;
  if (!ports.Loaded()) {
    MessageBoxA(nullptr, kNoLibrary, "Zephra Button Pad", MB_ICONERROR);
    return 1;
  }
  Pad pad{ports, FindControls()};
  return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PAD), nullptr, PadProc,
                                          reinterpret_cast<LPARAM>(&pad)));
}
