// zephpad.com, the pad's command line for a console. zephpad.exe is a windowed
// program, so that the pad opens without a console window, and a command
// interpreter does not wait for a windowed program typed at its prompt: what it
// printed would come after the next prompt, and its exit code would be lost.
// cmd.exe prefers a .com to an .exe of the same name when "zephpad" is typed,
// and waits for this console program: its output comes before the prompt and
// its exit code is the command's. Without arguments it opens the pad's window
// (zephpad.exe beside it) and returns at once.
#include <windows.h>

#include <cstdio>
#include <string>

#include "pad/pad_commands.h"

namespace {

bool OpenPadWindow() {
  char path[MAX_PATH] = "";
  std::string exe(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  exe = exe.substr(0, exe.find_last_of('.')) + ".exe";
  std::string cmd = "\"" + exe + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zeph::pad;
  const Command cmd = ParseCommand(argc - 1, argv + 1);
  if (cmd.kind == CommandKind::kWindow) {
    if (OpenPadWindow()) return 0;
    std::fputs("zephpad: cannot start zephpad.exe beside zephpad.com\n", stderr);
    return 1;
  }
  return RunCommand(cmd, [](const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
  });
}
