#pragma once
// When PortIO.dll opens and closes its handle to zephio.sys. Kept apart from the
// Windows calls (the Ops type supplies them) so that the rules can be tested
// anywhere:
//  - the device is opened at the first request; when that fails it is tried again
//    at most every kRetryMs, since the driver may start after the program and a
//    machine without it should not pay an open for each of its port accesses;
//  - a request that fails closes the handle, and the next one opens it anew: the
//    driver may have been stopped and started again (an upgrade) behind it;
//  - a handle left unused for kIdleMs is closed before the next request and opened
//    anew, so that an idle program never keeps a stopped driver loaded for longer
//    than one poll period.
#include <stdint.h>

namespace zephio {

template <typename Ops>
class DeviceLink {
 public:
  static constexpr uint32_t kRetryMs = 5000;
  static constexpr uint32_t kIdleMs = 500;

  explicit DeviceLink(Ops& ops) : m_ops(ops) {}

  // Sends one control request; false when there is no device or it failed.
  template <typename Send>
  bool Request(Send send) {
    const uint32_t now = m_ops.Now();
    if (m_open && now - m_lastUse >= kIdleMs) {
      Close();
      m_tried = false;  // no open failed: open again at once
    }
    if (!m_open && (!m_tried || now - m_lastTry >= kRetryMs)) {
      m_tried = true;
      m_lastTry = now;
      m_open = m_ops.Open();
    }
    if (!m_open) return false;
    m_lastUse = now;
    if (send()) return true;
    Close();
    m_tried = false;  // not the open that failed: the next request may open at once
    return false;
  }

  void Close() {
    if (m_open) m_ops.Close();
    m_open = false;
  }

 private:
  Ops& m_ops;
  bool m_open = false;
  bool m_tried = false;
  uint32_t m_lastTry = 0;
  uint32_t m_lastUse = 0;
};

}  // namespace zephio
