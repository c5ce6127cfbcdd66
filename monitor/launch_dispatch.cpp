#include "monitor/launch_dispatch.h"

namespace zeph {

std::string QuoteProgramPath(const std::string& path) {
  const bool quoted = path.size() >= 2 && path.front() == '"' && path.back() == '"';
  if (quoted || path.find(' ') == std::string::npos) return path;
  return '"' + path + '"';
}

std::string ComposeCommandLine(const SlotStore& slots, ButtonCode code) {
  std::string line;
  switch (code) {
    case 1: line = QuoteProgramPath(slots.Current(kSlotBrowser)); break;
    case 2: line = QuoteProgramPath(slots.Current(kSlotMailer)); break;
    case 3: line = QuoteProgramPath(slots.Current(kSlotBrowser)) + " " + slots.Current(kSlotAddress1); break;
    case 4: line = QuoteProgramPath(slots.Current(kSlotBrowser)) + " " + slots.Current(kSlotAddress2); break;
    default: return {};
  }
  if (line.size() > kCommandLineMax) line.resize(kCommandLineMax);
  return line;
}

const char* LaunchFailureText(uint32_t startResult) {
  switch (startResult) {
    case kStartOutOfMemory: return "The system is out of memory or resources.";
    case kStartFileNotFound: return "The specified file was not found.";
    case kStartPathNotFound: return "The specified path was not found.";
    case kStartBadFormat: return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    default: return nullptr;
  }
}

ButtonCode LaunchDispatch::OnPollTick(bool& firstRun, IPollTimer& timer) {
  m_slots.Refresh(firstRun);
  const ButtonCode code = m_reader.ReadCode(timer);
  if (code < 1 || code > 4) return code;

  // The pressed button's own slot is reloaded, whatever the line is built from.
  m_slots.Reload(code);
  const uint32_t result = m_starter.Start(ComposeCommandLine(m_slots, code), kShowNormal);

  // Ticks keep coming while a failure box is open; one box at a time is enough.
  const char* text = LaunchFailureText(result);
  if (text && !m_windows.TitleExists(kLaunchErrorCaption)) {
    m_boxes.Show(text, kLaunchErrorCaption, kBoxIconError);
  }
  return code;
}

}  // namespace zeph
