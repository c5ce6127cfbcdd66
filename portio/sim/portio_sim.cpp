// The simulator build of PortIO.dll. The simulated chipset lives in a small file
// in the user's local application data, mapped by every process that loads the
// library, so a press made with the pad while the program is not running waits
// for it, as a press left in CMOS would.
#include <windows.h>

#include <new>
#include <type_traits>

#include "portio/chipset_sim.h"
#include "portio/sim/sim_controls.h"

namespace {

using zeph::ChipsetSim;
using zeph::ChipsetState;

// Changes whenever ChipsetState's layout does; a file of another version is reset.
constexpr uint32_t kFileVersion = 0x5A500001;

struct SharedFile {
  uint32_t version;
  // The process id of the access in progress, 0 when free. A named mutex would
  // cost two wineserver round trips per port access under Wine (the program
  // makes four a second); an interlocked word in the shared page costs none.
  volatile LONG lock;
  ChipsetState chip;
};

// One access at a time across every process of the user. The guarded code is a
// handful of plain memory operations, so a holder that keeps it for seconds was
// killed inside it: the waiter takes the lock over.
class SharedLock {
 public:
  explicit SharedLock(volatile LONG& word) : m_word(word) {
    const LONG me = static_cast<LONG>(GetCurrentProcessId());
    DWORD waitingSince = 0;
    for (unsigned spins = 0;; ++spins) {
      const LONG owner = InterlockedCompareExchange(&m_word, me, 0);
      if (owner == 0) return;
      if (spins < 64) continue;
      Sleep(spins < 1000 ? 0 : 1);
      if (!waitingSince) {
        waitingSince = GetTickCount() | 1;
      } else if (GetTickCount() - waitingSince > 2000 && InterlockedCompareExchange(&m_word, me, owner) == owner) {
        return;
      }
    }
  }
  ~SharedLock() { InterlockedExchange(&m_word, 0); }
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;

 private:
  volatile LONG& m_word;
};

char g_path[MAX_PATH];
SharedFile g_private;  // when no file can be mapped: this process's own chipset

// Neither the environment nor the temporary folder costs a registry read.
// LOCALAPPDATA is set from Vista on; before, the temporary folder is the user's
// local one too.
bool MakeStatePath() {
  DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", g_path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) n = GetTempPathA(MAX_PATH, g_path);
  const char kName[] = "\\ZephraSimChipset.dat";
  if (n == 0 || n + sizeof kName > MAX_PATH) return false;
  if (g_path[n - 1] == '\\') --n;
  lstrcpyA(g_path + n, kName);
  return true;
}

SharedFile* MapStateFile() {
  if (!MakeStatePath()) return nullptr;
  HANDLE file = CreateFileA(g_path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // File-backed, so the state outlives the last process; the mapping grows a new
  // file to the size with zeros.
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, sizeof(SharedFile), nullptr);
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(SharedFile)) : nullptr;
  if (mapping) CloseHandle(mapping);  // the view keeps the section alive
  CloseHandle(file);
  return static_cast<SharedFile*>(view);
}

// Mapped once per process, on the first call, and kept until the library goes.
struct Session {
  SharedFile& file;
  ChipsetSim chip;

  explicit Session(SharedFile* mapped) : file(mapped ? *mapped : g_private), chip(file.chip) {
    if (!mapped) g_path[0] = '\0';
    SharedLock lock(file.lock);
    if (file.version != kFileVersion) {
      ChipsetSim::Reset(file.chip, ChipsetSim::kSisVendor, ChipsetSim::kSisDevice);
      file.version = kFileVersion;
    }
  }
  ~Session() {
    if (&file != &g_private) UnmapViewOfFile(&file);
  }
};

// Made by hand rather than as a function's static: the compiler guards such a
// static with the C++ runtime's locks and exceptions, which would make up most
// of the library.
alignas(Session) unsigned char g_sessionSpace[sizeof(Session)];
constexpr LONG kNoSession = 0, kMakingSession = 1, kSessionReady = 2;
volatile LONG g_sessionState = kNoSession;

Session& Shared() {
  if (g_sessionState != kSessionReady) {
    if (InterlockedCompareExchange(&g_sessionState, kMakingSession, kNoSession) == kNoSession) {
      new (g_sessionSpace) Session(MapStateFile());
      InterlockedExchange(&g_sessionState, kSessionReady);
    } else {
      while (g_sessionState != kSessionReady) Sleep(0);  // another thread is mapping it
    }
  }
  return *reinterpret_cast<Session*>(g_sessionSpace);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH && g_sessionState == kSessionReady) {
    reinterpret_cast<Session*>(g_sessionSpace)->~Session();
  }
  return TRUE;
}

uint32_t PORTIO_CALL ReadIOPort(uint16_t port, int width) {
  Session& s = Shared();
  SharedLock lock(s.file.lock);
  return s.chip.Read(port, static_cast<zeph::PortWidth>(width));
}

void PORTIO_CALL WriteIOPort(uint16_t port, uint32_t value, int width) {
  Session& s = Shared();
  SharedLock lock(s.file.lock);
  s.chip.Write(port, value, static_cast<zeph::PortWidth>(width));
}

int PORTIO_CALL ZephSimPress(int button) {
  if (button < 1 || button > 4) return 0;
  Session& s = Shared();
  SharedLock lock(s.file.lock);
  s.chip.PressButton(button);
  return 1;
}

int PORTIO_CALL ZephSimSetButtonByte(int value) {
  if (value < 0 || value > 255) return 0;
  Session& s = Shared();
  SharedLock lock(s.file.lock);
  s.chip.SetButtonByte(static_cast<uint8_t>(value));
  return 1;
}

int PORTIO_CALL ZephSimSetChipset(int sis) {
  Session& s = Shared();
  SharedLock lock(s.file.lock);
  if (sis) {
    s.chip.SetVendor(ChipsetSim::kSisVendor, ChipsetSim::kSisDevice);
  } else {
    s.chip.SetVendor(ChipsetSim::kOtherVendor, ChipsetSim::kOtherDevice);
  }
  return 1;
}

int PORTIO_CALL ZephSimStateFile(char* path, int size) {
  Shared();
  const int length = lstrlenA(g_path);
  if (!path || size <= length) return length;
  lstrcpyA(path, g_path);
  return length;
}

}  // extern "C"

// The exports must match the types their callers look them up with.
static_assert(std::is_same<decltype(&ReadIOPort), ReadIOPortFn>::value, "ReadIOPort");
static_assert(std::is_same<decltype(&WriteIOPort), WriteIOPortFn>::value, "WriteIOPort");
static_assert(std::is_same<decltype(&ZephSimPress), ZephSimPressFn>::value, "ZephSimPress");
static_assert(std::is_same<decltype(&ZephSimSetButtonByte), ZephSimSetButtonByteFn>::value, "ZephSimSetButtonByte");
static_assert(std::is_same<decltype(&ZephSimSetChipset), ZephSimSetChipsetFn>::value, "ZephSimSetChipset");
static_assert(std::is_same<decltype(&ZephSimStateFile), ZephSimStateFileFn>::value, "ZephSimStateFile");
