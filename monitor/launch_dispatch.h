#pragma once
#include <string>

#include "monitor/button_reader.h"
#include "platform/desktop.h"
#include "platform/program_starter.h"
#include "platform/session.h"
#include "settings/slot_store.h"

namespace zeph {

constexpr const char* kLaunchErrorCaption = "WinExec() error call";

// The command line a button starts, cut to 255 characters; empty for no press.
std::string ComposeCommandLine(const SlotStore& slots, ButtonCode code, IProgramStarter& starter);
// The text shown for a failed start, or null when the value is not reported.
const char* LaunchFailureText(uint32_t startResult);

// One poll tick, from the CMOS register to a started program.
class LaunchDispatch {
 public:
  LaunchDispatch(SlotStore& slots, ButtonReader& reader, IProgramStarter& starter,
                 IWindowFinder& windows, IMessageBox& boxes, IConsoleSession& session)
      : m_slots(slots), m_reader(reader), m_starter(starter), m_windows(windows), m_boxes(boxes), m_session(session) {}

  // Returns the code that was read (0 for no press, and when this copy does not
  // run in the console's session and so leaves the register alone).
  ButtonCode OnPollTick(bool& firstRun, IPollTimer& timer);

 private:
  SlotStore& m_slots;
  ButtonReader& m_reader;
  IProgramStarter& m_starter;
  IWindowFinder& m_windows;
  IMessageBox& m_boxes;
  IConsoleSession& m_session;
};

}  // namespace zeph
