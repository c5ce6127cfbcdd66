#pragma once
// The pad's command-line verbs, shared by zephpad.exe (for scripts) and
// zephpad.com (for a console): the simulator's controls in the PortIO.dll
// beside the program, and what each verb does and prints.
#include <functional>
#include <string>

#include "portio/sim/sim_controls.h"
#include "pad/pad_state.h"

namespace zeph::pad {

// The simulator's controls, when the loaded PortIO.dll has them.
struct SimControls {
  ZephSimPressFn press = nullptr;
  ZephSimSetButtonByteFn setButtonByte = nullptr;
  ZephSimSetChipsetFn setChipset = nullptr;
  ZephSimStateFileFn stateFile = nullptr;
  bool Present() const { return press && setButtonByte && setChipset && stateFile; }
};

// Looks them up in the PortIO.dll this process has loaded.
SimControls FindControls();
// One line on the library: the simulator's state file, or the notebook's ports.
std::string LibraryLine(const SimControls& sim);

constexpr const char* kNoLibrary = "No PortIO.dll with ReadIOPort and WriteIOPort beside zephpad.exe.";

// Runs a verb (any command but the window) against the PortIO.dll beside the
// program, hands what it has to say to print, and returns the exit code:
// 0 done, 1 no library or no simulator controls, 2 bad arguments.
int RunCommand(const Command& cmd, const std::function<void(const std::string&)>& print);

}  // namespace zeph::pad
