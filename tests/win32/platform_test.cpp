// The Win32 side of the platform seam, against the real registry, WinExec,
// FindWindowA and LoadLibrary under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "monitor/button_reader.h"
#include "monitor/launch_dispatch.h"
#include "platform/command_line.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_port_io.h"
#include "platform/win32/win32_registry.h"
#include "settings/slot_store.h"

namespace zeph {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath); }
  void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath); }

  void PutRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSlotKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  // Type and bytes exactly as stored.
  bool GetRaw(const char* name, DWORD* type, std::vector<BYTE>* data) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSlotKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
      data->resize(size);
      rc = RegQueryValueExA(key, name, nullptr, type, data->data(), &size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
  }
  void ExpectStored(const char* name, const std::string& text) {
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(GetRaw(name, &type, &data)) << name;
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
    ASSERT_EQ(data.size(), 256u) << name;
    std::vector<BYTE> expected(256, 0);
    std::copy(text.begin(), text.begin() + std::min<size_t>(text.size(), 255), expected.begin());
    EXPECT_EQ(data, expected) << name;
  }

  Win32Registry reg;
  Win32WindowFinder windows;
  SlotStore store{reg, windows};
};

TEST_F(RegistryTest, MissingKeyReadsEmptyAndFirstRefreshWritesDefaults) {
  EXPECT_EQ(store.ReadSlot(1), "");
  EXPECT_EQ(reg.Open(kSlotKeyPath), nullptr);
  bool firstRun = true;
  store.Refresh(firstRun);
  ExpectStored("S1", kDefaultBrowser);
  ExpectStored("S2", kDefaultAddress);
  ExpectStored("S3", "");
  ExpectStored("S4", kDefaultMailer);
  EXPECT_EQ(store.ReadSlot(4), kDefaultMailer);
}

TEST_F(RegistryTest, ValuesRoundTripAs256BytesAndLongTextsAreCut) {
  store.EnsureKey();
  store.SetPending(1, std::string(255, 'a'));
  store.SetPending(2, std::string(256, 'b'));
  store.SetPending(3, "");
  store.SetPending(4, "C:\\Mail\\m.exe");
  store.SaveAll();
  ExpectStored("S1", std::string(255, 'a'));
  ExpectStored("S2", std::string(255, 'b'));
  ExpectStored("S3", "");
  EXPECT_EQ(store.ReadSlot(1), std::string(255, 'a'));
  EXPECT_EQ(store.ReadSlot(2), std::string(255, 'b'));
  EXPECT_EQ(store.ReadSlot(4), "C:\\Mail\\m.exe");
}

TEST_F(RegistryTest, ForeignValuesAreReadSafelyAndNormalisedOnTheNextTick) {
  const std::string big(400, 'z');                       // oversized, no NUL at all
  const char unterminated[256] = {'w', 'x', 'y'};         // 256 bytes, NUL only in filler...
  std::string full(256, 'u');                             // ...and 256 bytes with none
  const DWORD number = 42;
  const char shortText[] = "c:\\short.exe";
  PutRaw("S1", REG_SZ, big.data(), static_cast<DWORD>(big.size()));
  PutRaw("S2", REG_DWORD, &number, sizeof number);
  PutRaw("S3", REG_SZ, full.data(), 256);
  PutRaw("S4", REG_SZ, shortText, sizeof shortText);
  EXPECT_EQ(store.ReadSlot(1), std::string(255, 'z'));
  EXPECT_EQ(store.ReadSlot(2), "");
  EXPECT_EQ(store.ReadSlot(3), std::string(255, 'u'));
  EXPECT_EQ(store.ReadSlot(4), "c:\\short.exe");
  PutRaw("S3", REG_SZ, unterminated, sizeof unterminated);
  EXPECT_EQ(store.ReadSlot(3), "wxy");

  bool firstRun = true;
  store.Refresh(firstRun);
  ExpectStored("S1", std::string(255, 'z'));
  ExpectStored("S2", kDefaultAddress);
  ExpectStored("S3", "wxy");
  ExpectStored("S4", "c:\\short.exe");
}

TEST(ProgramStarterTest, WinExecResultsAndTheQuotedProgramPath) {
  Win32ProgramStarter starter;
  EXPECT_EQ(starter.Start("C:\\no-such-file.exe", 5), 2u);
  // Windows answers 3 for a missing folder; Wine answers 2.
  const uint32_t missingDir = starter.Start("C:\\no-such-dir\\x.exe", 5);
  EXPECT_TRUE(missingDir == 2 || missingDir == 3) << missingDir;
  EXPECT_STREQ(LaunchFailureText(missingDir), missingDir == 2 ? "The specified file was not found."
                                                              : "The specified path was not found.");
  EXPECT_EQ(starter.Start("", 5), 2u);

  { std::ofstream("C:\\zeph-bad.exe") << "not a program"; }
  EXPECT_EQ(starter.Start("C:\\zeph-bad.exe", 5), 11u);

  char cmd[MAX_PATH];
  GetSystemDirectoryA(cmd, MAX_PATH);
  EXPECT_GT(starter.Start(std::string(cmd) + "\\cmd.exe /c exit", 0), 31u);

  // An unquoted "C:\zeph-bad folder\app.exe" is tried as "C:\zeph-bad.exe" first.
  CreateDirectoryA("C:\\zeph-bad folder", nullptr);
  const std::string spaced = "C:\\zeph-bad folder\\app.exe";
  EXPECT_EQ(starter.Start(spaced, 5), 11u);
  EXPECT_EQ(starter.Start(QuoteProgramPath(spaced, true), 5), 2u);
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
  ButtonReader reader(ports, sleeper);
  EXPECT_EQ(reader.ProbeVariant(), ChipsetVariant::kExtendedBank);
  EXPECT_EQ(reader.ReadCode(timer), 0);
  EXPECT_EQ(timer.calls, 0);
}

TEST(WindowFinderTest, FindsHiddenTopLevelWindowsByTitleAndClass) {
  Win32WindowFinder finder;
  EXPECT_FALSE(finder.TitleExists(kPropertiesTitle));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ZephFinderProbe";
  ASSERT_NE(RegisterClassA(&wc), 0);
  EXPECT_FALSE(finder.ClassExists("ZephFinderProbe"));
  HWND hwnd = CreateWindowExA(0, "ZephFinderProbe", kPropertiesTitle, WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                              nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_TRUE(finder.TitleExists(kPropertiesTitle));
  EXPECT_TRUE(finder.ClassExists("ZephFinderProbe"));
  DestroyWindow(hwnd);
  EXPECT_FALSE(finder.TitleExists(kPropertiesTitle));
}

}  // namespace
}  // namespace zeph
