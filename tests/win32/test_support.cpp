#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zeph::test {

bool WaitGone(HWND hwnd, const std::string& what) { return WaitUntil([&] { return !IsWindow(hwnd); }, what); }

HWND WaitForWindow(const char* title) {
  HWND found = nullptr;
  return WaitUntil([&] { return IsWindowVisible(found = FindWindowA(nullptr, title)); }, title) ? found : nullptr;
}

namespace {
struct WindowQuery {
  const char *cls, *title;
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK MatchWindow(HWND w, LPARAM lp) {
  auto& q = *reinterpret_cast<WindowQuery*>(lp);
  char text[256] = "", name[256] = "";
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (q.title) GetWindowTextA(w, text, sizeof text);  // no message for another process's window
  if (q.cls) GetClassNameA(w, name, sizeof name);
  if ((!q.pid || owner == q.pid) && (!q.title || !lstrcmpiA(text, q.title)) && (!q.cls || !lstrcmpiA(name, q.cls)))
    q.found.push_back(w);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopLevel(const char* cls, const char* title, DWORD pid) {
  // One snapshot of the windows: walking them one FindWindowEx at a time while
  // other processes raise new ones can meet a window twice and miss another.
  WindowQuery q{cls, title, pid, {}};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

Process::Process(std::string commandLine, DWORD flags, bool pipes, const char* dir) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  HANDLE theirIn = nullptr, theirOut = nullptr;
  if (pipes) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    CreatePipe(&theirIn, &m_in, &inherit, 0);
    CreatePipe(&m_out, &theirOut, &inherit, 0);
    for (HANDLE ours : {m_in, m_out}) SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = theirIn;
    si.hStdOutput = si.hStdError = theirOut;
  }
  CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, pipes, flags, nullptr, dir, &si, &m_pi);
  // Only the child holds its ends now: its exit closes our output.
  for (HANDLE theirs : {theirIn, theirOut}) CloseHandle(theirs);
}

Process::~Process() {
  if (Exit(false) == STILL_ACTIVE) TerminateProcess(m_pi.hProcess, 99);
  WaitForSingleObject(m_pi.hProcess, INFINITE);
  for (HANDLE h : {m_in, m_out, m_pi.hProcess, m_pi.hThread}) CloseHandle(h);
}

DWORD Process::Exit(bool wait) const {
  DWORD code = STILL_ACTIVE;
  return WaitForSingleObject(m_pi.hProcess, wait ? WaitLimitMs() : 0) == WAIT_OBJECT_0 &&
         GetExitCodeProcess(m_pi.hProcess, &code) ? code : STILL_ACTIVE;
}

void Process::Type(const std::string& text) const {
  DWORD n = 0;
  WriteFile(m_in, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
}

std::string Process::Read(bool toEnd) {
  const auto drain = [&] {
    char buf[512];
    DWORD n = 0;
    while (PeekNamedPipe(m_out, nullptr, 0, nullptr, &n, nullptr) && n && ReadFile(m_out, buf, sizeof buf, &n, nullptr))
      m_output.append(buf, n);
    return Exit(false) != STILL_ACTIVE;
  };
  // Read as it comes, so a full pipe cannot keep the program from ending.
  if (toEnd && !WaitUntil(drain, "a program to end")) TerminateProcess(m_pi.hProcess, 99);
  drain();
  return m_output;
}

std::string SimDir() {
  char path[MAX_PATH] = "";
  std::string dir(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  dir.resize(dir.find_last_of('\\'));
  return dir.substr(0, dir.find_last_of('\\') + 1) + "sim\\";
}

std::string Pad(const std::string& args) {
  Process pad("\"" + SimDir() + "zephpad.exe\" " + args, 0, true);
  const std::string out = pad.Read(true);
  pad.Exit();  // done with the simulated chipset too
  return out;
}

void Key(UINT vk, UINT modifier) {
  if (modifier) keybd_event(static_cast<BYTE>(modifier), 0, 0, 0);
  keybd_event(static_cast<BYTE>(vk), 0, 0, 0);
  keybd_event(static_cast<BYTE>(vk), 0, KEYEVENTF_KEYUP, 0);
  if (modifier) keybd_event(static_cast<BYTE>(modifier), 0, KEYEVENTF_KEYUP, 0);
}

void Type(const std::string& text) {
  for (char ch : text) Key(LOBYTE(VkKeyScanA(ch)), (HIBYTE(VkKeyScanA(ch)) & 1) ? VK_SHIFT : 0);
}

namespace {
// The left button's event at a point on screen, given as the fraction of the
// screen that the system turns back into that pixel however it rounds.
void Mouse(POINT at, DWORD button) {
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button, MulDiv(at.x, 65536, cx) + 16384 / cx,
              MulDiv(at.y, 65536, cy) + 16384 / cy, 0, 0);
}

GUITHREADINFO Foreground() {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(0, &info);
  return info;
}
}  // namespace

void Drag(POINT down, POINT up, HWND held) {
  Mouse(down, MOUSEEVENTF_LEFTDOWN);
  if (held) WaitUntil([&] { return Foreground().hwndCapture == held; }, "the press to reach its window");
  Mouse(up, MOUSEEVENTF_LEFTUP);
}

POINT PointIn(HWND w, int inset) {
  RECT rc = {};
  GetWindowRect(w, &rc);
  return {inset < 0 ? (rc.left + rc.right) / 2 : rc.left + inset, (rc.top + rc.bottom) / 2};
}

HWND Focused() { return Foreground().hwndFocus; }

bool TrayIcon(HWND owner, UINT id, DWORD message) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = owner;
  icon.uID = id;
  return Shell_NotifyIconA(message, &icon) != FALSE;
}

Win32Platform& Platform() {
  static Win32Platform platform;
  return platform;
}
SlotStore& Slots() {
  static SlotStore slots(Platform().registry, Platform().windows);
  return slots;
}

void ResetSlots() {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSlotKeyPath);
  for (int n = 1; n <= 4; ++n) {
    Slots().SetCurrent(n, "");
    Slots().SetPending(n, "");
  }
}

std::string StoredSlot(const char* name) {
  auto key = Platform().registry.Open(kSlotKeyPath);
  auto value = key ? key->Query(name) : std::nullopt;
  if (!value) return "<missing>";
  const std::string text = DecodeSlotValue(*value);
  const bool zeroFilled = std::all_of(value->data.begin() + text.size(), value->data.end(), [](uint8_t b) { return !b; });
  return value->type == kRegSz && value->data.size() == 256 && zeroFilled ? text : "<bad>";
}

void PutSlot(const char* name, const std::string& text) {
  auto key = Platform().registry.Create(kSlotKeyPath);
  key->Set(name, kRegSz, reinterpret_cast<const uint8_t*>(text.c_str()), static_cast<uint32_t>(text.size() + 1));
}

bool InstallMarker(const std::string& path) {
  for (size_t sep = path.find('\\', 3); sep != std::string::npos; sep = path.find('\\', sep + 1))
    CreateDirectoryA(path.substr(0, sep).c_str(), nullptr);
  ClearMarkerLog();
  return CopyFileA((SimDir() + "..\\bin\\zeph_marker.exe").c_str(), path.c_str(), FALSE) != FALSE;
}

// The last started program may not have closed the log yet, though its line is there.
bool ClearMarkerLog() {
  return WaitUntil([] { return DeleteFileA(kMarkerLog) || GetLastError() == ERROR_FILE_NOT_FOUND; },
                   "the started program to let go of its log");
}

std::string MarkerLog() {
  std::ifstream in(kMarkerLog);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zeph::test
