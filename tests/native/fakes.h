#pragma once
// Recording fakes of the platform interfaces for the window-free code.
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "monitor/launch_dispatch.h"
#include "platform/desktop.h"
#include "platform/poll_timer.h"
#include "platform/program_starter.h"
#include "platform/registry.h"
#include "portio/chipset_sim.h"

namespace zeph::fake {

// An in-memory HKEY_CURRENT_USER that counts what is asked of it.
class Registry : public IRegistry {
 public:
  std::map<std::string, std::map<std::string, RegValue>> keys;
  bool failWrites = false, watchable = false;  // watchable: can tell of changes to a watched key
  int changes = 0, calls = 0, watched = 0;  // values put so far (and when the watch was armed); every call
  std::vector<std::string> setLog;  // the values written, in order

  bool HasKey(const std::string& path) const { return keys.count(path) != 0; }
  const RegValue* Value(const std::string& path, const std::string& name) const {
    return HasKey(path) && keys.at(path).count(name) ? &keys.at(path).at(name) : nullptr;
  }
  void Put(const std::string& path, const std::string& name, uint32_t type, std::vector<uint8_t> data) {
    keys[path][name] = RegValue{type, std::move(data)};
    ++changes;
  }
  void PutString(const std::string& path, const std::string& name, const std::string& text) {
    Put(path, name, kRegSz, std::vector<uint8_t>(text.c_str(), text.c_str() + text.size() + 1));
  }
  std::unique_ptr<IRegistryKey> Create(const std::string& path) override { return keys[path], Open(path); }
  std::unique_ptr<IRegistryKey> Open(const std::string& path) override {
    ++calls;
    return HasKey(path) ? std::make_unique<Key>(*this, path) : nullptr;
  }
  bool Watch(const std::string&) override { return ++calls, watched = changes, watchable; }
  bool Changed() override { return ++calls, watchable && watched != changes; }

 private:
  struct Key : IRegistryKey {
    Key(Registry& r, std::string p) : reg(r), path(std::move(p)) {}
    ~Key() override { ++reg.calls; }
    std::optional<RegValue> Query(const char* name) override {
      const RegValue* v = (++reg.calls, reg.Value(path, name));
      return v ? std::optional<RegValue>(*v) : std::nullopt;
    }
    bool Set(const char* name, uint32_t type, const uint8_t* data, uint32_t size) override {
      if (++reg.calls, reg.failWrites) return false;
      reg.setLog.push_back(name);
      reg.Put(path, name, type, std::vector<uint8_t>(data, data + size));
      return true;
    }
    Registry& reg;
    std::string path;
  };
};

struct Windows : IWindowFinder {
  std::set<std::string> titles;
  bool TitleExists(const char* title) override { return titles.count(title) != 0; }
  bool ClassExists(const char*) override { return false; }
};
struct MessageBoxes : IMessageBox {
  size_t shown = 0;
  int Show(const char*, const char*, unsigned) override { return ++shown, 1; }
};
struct Starter : IProgramStarter {
  std::vector<std::string> started;  // each command line and its show mode
  uint32_t result = 33;
  uint32_t Start(const std::string& commandLine, int show) override {
    started.push_back(commandLine + "|" + std::to_string(show));
    return result;
  }
  bool IsFile(const std::string&) override { return false; }
};

struct Timer : IPollTimer {
  std::vector<unsigned> periods;
  void SetPeriod(unsigned ms) override { periods.push_back(ms); }
};
struct Session : IConsoleSession {
  bool console = true;
  bool IsConsole() override { return console; }
};
struct Sleeper : ISleeper {
  std::vector<unsigned> sleeps;
  void Sleep(unsigned ms) override { sleeps.push_back(ms); }
};

// The window-free program on these fakes and a simulated chipset: what a poll
// tick runs.
struct Program {
  explicit Program(uint16_t vendor = ChipsetSim::kSisVendor) : chip(vendor) {}
  Registry reg;
  Windows windows;
  MessageBoxes boxes;
  Starter starter;
  Timer timer;
  Sleeper sleeper;
  Session session;
  ChipsetSim chip;
  SlotStore slots{reg, windows};
  ButtonReader reader{chip, sleeper};
  LaunchDispatch dispatch{slots, reader, starter, windows, boxes, session};
};

}  // namespace zeph::fake
