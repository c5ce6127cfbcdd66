#pragma once
// The one time scale of every test program under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace zeph::test {

// How long any wait may take on this host: a fifteenth of ZEPH_TEST_TIMEOUT,
// the seconds the whole test program may take (300 here, 20 s a wait; the
// emulated machine sets 900). It only bounds a failing test: a passing one
// goes on at its event.
inline DWORD WaitLimitMs() {
  const char* seconds = std::getenv("ZEPH_TEST_TIMEOUT");
  return static_cast<DWORD>((seconds ? std::atoi(seconds) : 300) * 1000 / 15);
}

// True once condition holds; false, and a failure saying what for, when the
// limit passed first.
inline bool WaitUntil(const std::function<bool()>& condition, const std::string& what) {
  for (DWORD start = GetTickCount(); GetTickCount() - start <= WaitLimitMs(); Sleep(20))
    if (condition()) return true;
  ADD_FAILURE() << "waited " << WaitLimitMs() / 1000 << " s in vain for " << what;
  return false;
}

}  // namespace zeph::test
