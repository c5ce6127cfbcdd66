#include "pad/pad_commands.h"

#include <windows.h>

#include "platform/win32/win32_port_io.h"

namespace zeph::pad {

namespace {
template <typename Fn>
Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

SimControls FindControls() {
  SimControls c;
  // Win32PortIO has loaded it; this only finds it again.
  if (HMODULE m = GetModuleHandleA(PORTIO_DLL_NAME)) {
    c.press = Export<ZephSimPressFn>(m, ZEPHSIM_PRESS_EXPORT);
    c.setButtonByte = Export<ZephSimSetButtonByteFn>(m, ZEPHSIM_SET_BUTTON_BYTE_EXPORT);
    c.setChipset = Export<ZephSimSetChipsetFn>(m, ZEPHSIM_SET_CHIPSET_EXPORT);
    c.stateFile = Export<ZephSimStateFileFn>(m, ZEPHSIM_STATE_FILE_EXPORT);
  }
  return c;
}

std::string LibraryLine(const SimControls& sim) {
  if (!sim.Present()) return "No simulator controls: these are the notebook's own ports.";
  char path[MAX_PATH] = "";
  if (!sim.stateFile(path, MAX_PATH)) return "Simulated chipset: this process only (no state file).";
  return std::string("Simulated chipset in ") + path;
}

int RunCommand(const Command& cmd, const std::function<void(const std::string&)>& print) {
  if (cmd.kind == CommandKind::kBad || cmd.kind == CommandKind::kWindow) {
    print(kUsage);
    return 2;
  }
  Win32PortIO ports;
  if (!ports.Loaded()) {
    print(std::string("zephpad: ") + kNoLibrary + "\n");
    return 1;
  }
  const SimControls sim = FindControls();
  if (cmd.kind != CommandKind::kShow) {
    if (!sim.Present()) {
      print("zephpad: this PortIO.dll has no simulator controls (the hardware library?)\n");
      return 1;
    }
    if (cmd.kind == CommandKind::kPress) sim.press(cmd.value);
    if (cmd.kind == CommandKind::kRaw) sim.setButtonByte(cmd.value);
    if (cmd.kind == CommandKind::kChipset) sim.setChipset(cmd.value);
  }
  print(FormatPadState(ReadPadState(ports)) + LibraryLine(sim) + "\n");
  return 0;
}

}  // namespace zeph::pad
