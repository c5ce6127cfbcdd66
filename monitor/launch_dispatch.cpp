#include "monitor/launch_dispatch.h"

#include "platform/command_line.h"

namespace zeph {

std::string ComposeCommandLine(const SlotStore& slots, ButtonCode code, IProgramStarter& starter) {
  // Buttons 1 and 3..4 start the browser (S1), button 2 the mailer (S4); 3 and 4
  // hand it the first or second address (S2, S3) as stored.
  if (code < 1 || code > 4) return {};
  const int program = code == 2 ? kSlotMailer : kSlotBrowser;
  const std::string* argument = nullptr;
  if (code == 3) argument = &slots.Current(kSlotAddress1);
  if (code == 4) argument = &slots.Current(kSlotAddress2);
  const std::string& path = slots.Current(program);
  return BuildCommandLine(path, starter.IsFile(path), argument);
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
  // Every logged-on user's copy polls the same register. A press read here
  // would start this user's program in a session nobody is looking at, and
  // the user at the notebook would never see it: leave it to that user's copy.
  if (!m_session.IsConsole()) return 0;
  const ButtonCode code = m_reader.ReadCode(timer);
  if (code < 1 || code > 4) return code;

  // The pressed button's own slot is reloaded, whatever the line is built from.
  m_slots.Reload(code);
  const uint32_t result = m_starter.Start(ComposeCommandLine(m_slots, code, m_starter), kShowNormal);

  // Ticks keep coming while a failure box is open; one box at a time is enough.
  const char* text = LaunchFailureText(result);
  if (text && !m_windows.TitleExists(kLaunchErrorCaption)) {
    m_boxes.Show(text, kLaunchErrorCaption, kBoxIconError);
  }
  return code;
}

}  // namespace zeph
