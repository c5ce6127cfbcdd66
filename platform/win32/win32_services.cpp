#include "platform/win32/win32_services.h"

namespace zeph {

Win32Services& Services() {
  static Win32Services services;
  return services;
}

}  // namespace zeph
