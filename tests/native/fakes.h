#pragma once
// Recording fakes of the platform interfaces for the window-free code.
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/poll_timer.h"
#include "platform/program_starter.h"
#include "platform/registry.h"

namespace zeph::fake {

// An in-memory HKEY_CURRENT_USER that counts what is asked of it.
class Registry : public IRegistry {
 public:
  std::map<std::string, std::map<std::string, RegValue>> keys;
  bool failWrites = false;
  bool watchable = false;  // keys can tell of changes to their values
  int changes = 0;         // values put so far
  int calls = 0;   // create, open, query, set and close alike
  int writes = 0;  // successful sets
  std::vector<std::string> setLog;  // value names, in the order they were written

  bool HasKey(const std::string& path) const { return keys.count(path) != 0; }
  const RegValue* Value(const std::string& path, const std::string& name) const {
    auto k = keys.find(path);
    auto v = k == keys.end() ? std::map<std::string, RegValue>::const_iterator() : k->second.find(name);
    return k == keys.end() || v == k->second.end() ? nullptr : &v->second;
  }
  void Put(const std::string& path, const std::string& name, uint32_t type, std::vector<uint8_t> data) {
    keys[path][name] = RegValue{type, std::move(data)};
    ++changes;
  }
  void PutString(const std::string& path, const std::string& name, const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    Put(path, name, kRegSz, std::move(data));
  }

  std::unique_ptr<IRegistryKey> Create(const std::string& path) override {
    ++calls;
    keys[path];
    return std::make_unique<Key>(*this, path);
  }
  std::unique_ptr<IRegistryKey> Open(const std::string& path) override {
    ++calls;
    return HasKey(path) ? std::make_unique<Key>(*this, path) : nullptr;
  }

 private:
  class Key : public IRegistryKey {
   public:
    Key(Registry& reg, std::string path) : m_reg(reg), m_path(std::move(path)) {}
    ~Key() override { ++m_reg.calls; }
    std::optional<RegValue> Query(const char* name) override {
      ++m_reg.calls;
      const RegValue* v = m_reg.Value(m_path, name);
      return v ? std::optional<RegValue>(*v) : std::nullopt;
    }
    bool Set(const char* name, uint32_t type, const uint8_t* data, uint32_t size) override {
      ++m_reg.calls;
      if (m_reg.failWrites) return false;
      ++m_reg.writes;
      m_reg.setLog.push_back(name);
      m_reg.Put(m_path, name, type, std::vector<uint8_t>(data, data + size));
      return true;
    }
    bool WatchChanges() override {
      m_seen = m_reg.changes;
      return m_reg.watchable;
    }
    bool Changed() override {
      ++m_reg.calls;
      return std::exchange(m_seen, m_reg.changes) != m_reg.changes;
    }

   private:
    Registry& m_reg;
    std::string m_path;
    int m_seen = 0;
  };
};

class Windows : public IWindowFinder {
 public:
  std::set<std::string> titles;
  bool TitleExists(const char* title) override { return titles.count(title) != 0; }
  bool ClassExists(const char*) override { return false; }
};

struct Box {
  std::string text, caption;
  unsigned flags;
};

class MessageBoxes : public IMessageBox {
 public:
  std::vector<Box> shown;
  int Show(const char* text, const char* caption, unsigned flags) override {
    shown.push_back({text, caption, flags});
    return 1;
  }
};

class Starter : public IProgramStarter {
 public:
  std::vector<std::string> started;
  std::vector<int> shows;
  uint32_t result = 33;
  uint32_t Start(const std::string& commandLine, int show) override {
    started.push_back(commandLine);
    shows.push_back(show);
    return result;
  }
  bool IsFile(const std::string&) override { return false; }
};

class Timer : public IPollTimer {
 public:
  std::vector<unsigned> periods;
  void SetPeriod(unsigned ms) override { periods.push_back(ms); }
};

class Sleeper : public ISleeper {
 public:
  std::vector<unsigned> sleeps;
  void Sleep(unsigned ms) override { sleeps.push_back(ms); }
};

}  // namespace zeph::fake
