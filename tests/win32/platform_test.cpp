// The Win32 side of the platform seam, against the real registry, WinExec and
// LoadLibrary under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "monitor/button_reader.h"
#include "platform/command_line.h"
#include "gui_driver.h"
#include "test_support.h"

namespace zeph {
namespace {

// What another program may have stored is read whole and safely, and the first
// tick leaves every value as a 256-byte REG_SZ.
TEST(RegistryTest, ForeignValuesAreReadSafelyAndNormalisedOnTheFirstTick) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath);
  Win32Registry reg;
  Win32WindowFinder windows;
  SlotStore store(reg, windows);
  EXPECT_EQ(store.ReadSlot(1), "");
  EXPECT_EQ(reg.Open(kSlotKeyPath), nullptr);

  const std::string big(400, 'z');  // longer than any buffer the program starts with
  const DWORD number = 42;
  const std::string full(256, 'u');  // 256 bytes, no NUL
  const char shortText[] = "c:\\short.exe";
  auto key = reg.Create(kSlotKeyPath);
  key->Set("S1", REG_SZ, reinterpret_cast<const uint8_t*>(big.data()), 400);
  key->Set("S2", REG_DWORD, reinterpret_cast<const uint8_t*>(&number), sizeof number);
  key->Set("S3", REG_SZ, reinterpret_cast<const uint8_t*>(full.data()), 256);
  key->Set("S4", REG_SZ, reinterpret_cast<const uint8_t*>(shortText), sizeof shortText);
  key.reset();
  const std::string read[] = {std::string(255, 'z'), "", std::string(255, 'u'), shortText};
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(store.ReadSlot(n), read[n - 1]) << n;

  bool firstRun = true;
  store.Refresh(firstRun);
  const std::string stored[] = {std::string(255, 'z'), kDefaultAddress, std::string(255, 'u'), shortText};
  HKEY raw;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSlotKeyPath, 0, KEY_READ, &raw), ERROR_SUCCESS);
  for (int n = 1; n <= 4; ++n) {
    std::vector<BYTE> data(300), expected(256, 0);
    DWORD type = 0, size = 300;
    EXPECT_EQ(RegQueryValueExA(raw, store.Name(n), nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    data.resize(size);
    std::copy(stored[n - 1].begin(), stored[n - 1].end(), expected.begin());
    EXPECT_EQ(type, DWORD(REG_SZ)) << n;
    EXPECT_EQ(data, expected) << n;
  }
  RegCloseKey(raw);
  RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath);
}

// The line built from a stored program text starts that program with its
// arguments under the real start call. Copies of the marker stand in for the
// programs and record the command line they were given.
TEST(LaunchLineTest, StoredProgramsStartAsStoredAndPlainPathsWhole) {
  // Unquoted, "C:\zeph-bad folder\app.exe" would start this first and fail with 11.
  { std::ofstream("C:\\zeph-bad.exe") << "not a program"; }
  const std::string longDir = "C:\\zeph long\\" + std::string(200, 'd') + "\\";
  const std::string longest = "C:\\zeph long\\" + std::string(236, 'e') + "\\m.exe";  // 255 characters
  const std::string address = "www.example.org/" + std::string(60, 'a');
  struct Case {
    std::string stored, program;
    const std::string* argument;
    std::string line, started;  // what we hand the start call, what the program is given
  } cases[] = {
      {"\"C:\\a b\\m.exe\" -a", "C:\\a b\\m.exe", nullptr, "\"C:\\a b\\m.exe\" -a", ""},
      {"C:\\ab\\m.exe -b", "C:\\ab\\m.exe", nullptr, "C:\\ab\\m.exe -b", ""},
      {"C:\\zeph-bad folder\\app.exe", "C:\\zeph-bad folder\\app.exe", nullptr, "\"C:\\zeph-bad folder\\app.exe\"", ""},
      // Cut to 255 inside the argument, after the program's closing quote.
      {longDir + "m.exe", longDir + "m.exe", &address, ("\"" + longDir + "m.exe\" " + address).substr(0, 255), ""},
      // No room for both quotes: the whole path, unquoted. Wine hands the program
      // the name it found quoted; Windows passes the line on as it is.
      {longest, longest, nullptr, longest, "\"" + longest + "\""},
  };
  Win32ProgramStarter starter;
  for (const Case& c : cases) {
    ASSERT_TRUE(test::InstallMarker(c.program)) << c.program;
    const std::string line = BuildCommandLine(c.stored, starter.IsFile(c.stored), c.argument);
    EXPECT_EQ(line, c.line);
    EXPECT_GT(starter.Start(line, SW_SHOW), 31u) << c.stored;
    EXPECT_TRUE(test::WaitUntil([] { return !test::MarkerLog().empty(); }));
    EXPECT_EQ(test::MarkerLog(), (c.started.empty() ? c.line : c.started) + "\n");
  }
}

TEST(PortIOTest, MissingLibraryReadsZeroAndSeesNoPress) {
  Win32PortIO ports("zeph-no-such-portio.dll");
  EXPECT_FALSE(ports.Loaded());
  EXPECT_EQ(ports.Read(0xCFC, kPortWord), 0u);
  ports.Write(0x70, 0x7B, kPortByte);  // goes nowhere, must not crash
  struct Timer : IPollTimer {
    int calls = 0;
    void SetPeriod(unsigned) override { ++calls; }
  } timer;
  Win32Sleeper sleeper;
  EXPECT_EQ(ButtonReader(ports, sleeper).ReadCode(timer), 0);
  EXPECT_EQ(timer.calls, 0);
}

}  // namespace
}  // namespace zeph
