#pragma once

namespace zeph {

// Whose launch buttons these are. With fast user switching or a remote session
// every logged-on user runs a copy of the program, and all of them see the
// same CMOS register; the buttons belong to whoever sits at the notebook.
class IConsoleSession {
 public:
  virtual ~IConsoleSession() = default;
  // Whether this process runs in the session attached to the physical console.
  virtual bool IsConsole() = 0;
};

}  // namespace zeph
