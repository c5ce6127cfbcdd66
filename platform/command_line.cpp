#include "platform/command_line.h"

#include <algorithm>

namespace zeph {

namespace {

bool EndsWithProgramExtension(const std::string& text) {
  if (text.size() < 4) return false;
  std::string ext = text.substr(text.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(c | 0x20); });
  return ext == ".exe" || ext == ".com";
}

bool NeedsQuotes(const std::string& program, bool namesFile) {
  if (program.empty() || program.front() == '"' || program.find(' ') == std::string::npos) return false;
  return namesFile || EndsWithProgramExtension(program);
}

std::string Join(const std::string& program, const std::string* argument) {
  return argument ? program + " " + *argument : program;
}

size_t Quotes(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '"')); }

}  // namespace

std::string QuoteProgramPath(const std::string& program, bool namesFile) {
  return NeedsQuotes(program, namesFile) ? '"' + program + '"' : program;
}

std::string BuildCommandLine(const std::string& program, bool namesFile, const std::string* argument) {
  const bool quote = NeedsQuotes(program, namesFile);
  // A program path too long to keep its closing quote goes unquoted: a cut
  // quoted path would swallow the rest of the line as its name.
  const bool fits = program.size() + 2 <= kCommandLineMax;
  std::string line = Join(quote && fits ? '"' + program + '"' : program, argument);
  if (line.size() <= kCommandLineMax) return line;

  const bool balancedBefore = Quotes(line) % 2 == 0;
  line.resize(kCommandLineMax);
  if (balancedBefore && Quotes(line) % 2 != 0) line.resize(line.rfind('"'));
  return line;
}

}  // namespace zeph
