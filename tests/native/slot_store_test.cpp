#include "settings/slot_store.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace zeph {
namespace {

std::vector<uint8_t> Padded(const std::string& text) {
  std::vector<uint8_t> bytes(256, 0);
  std::copy(text.begin(), text.end(), bytes.begin());
  return bytes;
}

// What another program may have left under our value names.
TEST(SlotValueCodec, StoredBytesDecodeSafely) {
  const std::pair<RegValue, std::string> cases[] = {
      {{kRegSz, {'x', 'y'}}, "xy"},  // unterminated
      {{kRegSz, std::vector<uint8_t>(300, 'q')}, std::string(255, 'q')},
      {{kRegExpandSz, {'%', 'A', '%', 0}}, "%A%"},
      {{kRegMultiSz, {'o', 'n', 'e', 0, 't', 0, 0}}, "one"},
      {{kRegBinary, {'h', 'i', 0}}, ""},
      {{kRegSz, {}}, ""},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(DecodeSlotValue(value), text) << text;
  const auto bytes = EncodeSlotValue(std::string(255, 'a') + "bcd");
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), Padded(std::string(255, 'a')));
}

// The program's slots on a fresh registry, ticked as the poll timer does.
struct Ticked : fake::Program {
  bool firstRun = true;
  int tickCalls = 0;  // registry calls of the last tick
  void Tick() { tickCalls = reg.calls, slots.Refresh(firstRun), tickCalls = reg.calls - tickCalls; }
  void Settle() { Tick(), Tick(), reg.setLog.clear(); }  // the first tick, and the one its writes wake
};

const std::string B = kDefaultBrowser, A = kDefaultAddress, M = kDefaultMailer;

TEST(SlotStoreTicks, LeaveTheSlotsAndTheRegistryAsTheyShould) {
  const struct {
    const char* name;
    void (*act)(Ticked&);
    std::array<std::string, 4> current, pending;  // the values stored as current, 256 bytes each
    std::vector<std::string> written;
    int tickCalls = -1;  // of the last tick, when it matters
  } rows[] = {
      {"first tick: defaults to current only, short values stored long",
       [](Ticked& r) { r.reg.PutString(kSlotKeyPath, "S3", "news.example.org"), r.Tick(); },
       {B, A, "news.example.org", M}, {"", "", "news.example.org", ""}, {"S1", "S2", "S3", "S4"}},
      {"later ticks reload current, not pending",
       [](Ticked& r) { r.Settle(), r.slots.SetPending(3, "ed"), r.reg.PutString(kSlotKeyPath, "S3", "new"), r.Tick(); },
       {B, A, "new", M}, {"", "", "ed", ""}, {"S3"}},
      {"an idle tick asks only whether anything changed", [](Ticked& r) { r.Settle(), r.Tick(); },
       {B, A, "", M}, {}, {}, 1},
      {"no watch (Windows 98): every tick reads",
       [](Ticked& r) { r.reg.watchable = false, r.Settle(), r.reg.PutString(kSlotKeyPath, "S2", "w.org"), r.Tick(); },
       {B, "w.org", "", M}, {}, {"S2"}},
      {"edits in Properties survive ticks, which still store them",
       [](Ticked& r) {
         r.Settle(), r.slots.SetCurrent(2, "typed.org"), r.windows.titles.insert(kPropertiesTitle);
         r.reg.PutString(kSlotKeyPath, "S1", "c:\\other.exe"), r.Tick();
       },
       {B, "typed.org", "", M}, {}, {"S1", "S2"}},
      {"an edit alone is stored by the next tick",
       [](Ticked& r) { r.Settle(), r.slots.SetCurrent(2, "typed.org"), r.windows.titles.insert(kPropertiesTitle), r.Tick(); },
       {B, "typed.org", "", M}, {}, {"S2"}},
      {"hostile stored values are stored again normalised",
       [](Ticked& r) {
         auto odd = Padded(B);
         odd[255] = 'X';  // other filler
         r.Settle(), r.reg.Put(kSlotKeyPath, "S1", kRegSz, odd), r.reg.Put(kSlotKeyPath, "S2", kRegExpandSz, Padded(A));
         r.reg.Put(kSlotKeyPath, "S3", kRegSz, std::vector<uint8_t>(400, 'p'));
         r.reg.Put(kSlotKeyPath, "S4", kRegDword, {7, 0, 0, 0}), r.Tick();
       },
       {B, A, std::string(255, 'p'), M}, {}, {"S1", "S2", "S3", "S4"}},
      // Unseen by the watch yet: a press reloads its slot before the next tick.
      {"a deleted key is back before a press",
       [](Ticked& r) { r.Settle(), r.reg.keys.erase(kSlotKeyPath), r.slots.Reload(1); },
       {B, A, "", M}, {B, "", "", ""}, {"S1", "S2", "S3", "S4"}},
      {"a deleted value is back before a press",
       [](Ticked& r) { r.Settle(), r.reg.keys[kSlotKeyPath].erase("S4"), r.slots.Reload(4); },
       {B, A, "", M}, {"", "", "", M}, {"S4"}},
  };
  for (const auto& row : rows) {
    Ticked r;
    r.reg.watchable = true;
    row.act(r);
    EXPECT_FALSE(r.firstRun) << row.name;
    EXPECT_EQ(r.reg.setLog, row.written) << row.name;
    EXPECT_TRUE(row.tickCalls < 0 || r.tickCalls == row.tickCalls) << row.name << ": " << r.tickCalls;
    for (int n = 1; n <= 4; ++n) {
      const RegValue* v = r.reg.Value(kSlotKeyPath, r.slots.Name(n));
      EXPECT_TRUE(v && v->type == kRegSz && v->data == Padded(row.current[n - 1])) << row.name << " S" << n;
      EXPECT_EQ(r.slots.Current(n) + "|" + r.slots.Pending(n), row.current[n - 1] + "|" + row.pending[n - 1])
          << row.name << " S" << n;
    }
  }
}

}  // namespace
}  // namespace zeph
