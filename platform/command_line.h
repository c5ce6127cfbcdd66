#pragma once
// How a stored program text stands first on a command line handed to the start
// call. Shared by the launch dispatch and the Properties dialog's start after a
// browse, so both start a program the same way.
#include <cstddef>
#include <string>

namespace zeph {

constexpr size_t kCommandLineMax = 255;

// The program text as it must stand first on a command line. A plain path with
// a space in it is quoted, so that "C:\Program Files\x.exe" cannot start
// "C:\Program.exe"; it counts as a plain path when it names a program file
// (namesFile) or ends in .exe or .com. Anything else (already quoted, or a
// program with its own arguments such as "C:\ab\m.exe -b") stays as stored.
std::string QuoteProgramPath(const std::string& program, bool namesFile);

// program [+ " " + argument], cut to 255 characters. The cut never leaves an
// unbalanced quote behind: quotes we added are dropped rather than cut in
// half, and a quote the cut would leave open goes with what follows it.
std::string BuildCommandLine(const std::string& program, bool namesFile, const std::string* argument);

}  // namespace zeph
