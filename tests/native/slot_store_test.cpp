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

const std::vector<std::string> kAll = {"S1", "S2", "S3", "S4"};

class SlotStoreTest : public ::testing::Test, protected fake::Program {
 protected:
  bool firstRun = true;

  // Stored as the program always stores: REG_SZ, exactly 256 bytes, zero filler.
  void ExpectNormalised(const std::vector<std::string>& texts) {
    for (int n = 1; n <= 4; ++n) {
      const RegValue* v = reg.Value(kSlotKeyPath, slots.Name(n));
      EXPECT_TRUE(v && v->type == kRegSz && v->data == Padded(texts[n - 1])) << n;
    }
  }
};

// What another program may have left under our value names.
TEST(SlotValueCodec, StoredBytesDecodeSafely) {
  const std::pair<RegValue, std::string> cases[] = {
      // The end-to-end suite stores an embedded NUL and a number.
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

TEST_F(SlotStoreTest, ReadAndWriteSlotTouchOnlyWhatTheyName) {
  slots.SetCurrent(1, "c:\\a.exe");
  slots.WriteSlot("S1");
  EXPECT_FALSE(reg.HasKey(kSlotKeyPath));  // writing does not create the key
  EXPECT_EQ(slots.ReadSlot(1), "");
  slots.EnsureKey();
  for (const char* name : {"S1", "S9", "s2"}) slots.WriteSlot(name);  // names match exactly
  EXPECT_EQ(reg.setLog, std::vector<std::string>{"S1"});
  slots.SetCurrent(1, "");
  reg.calls = 0;
  EXPECT_EQ(slots.ReadSlot(0) + slots.ReadSlot(5), "");
  EXPECT_EQ(reg.calls, 0);
  EXPECT_EQ(slots.ReadSlot(1), "c:\\a.exe");
  EXPECT_EQ(slots.Current(1) + slots.Pending(1), "");  // reading changes neither copy
}

TEST_F(SlotStoreTest, FirstTickWritesDefaultsToCurrentAndRegistryOnly) {
  reg.PutString(kSlotKeyPath, "S3", "news.example.org");
  slots.Refresh(firstRun);
  EXPECT_FALSE(firstRun);
  const std::vector<std::string> current = {kDefaultBrowser, kDefaultAddress, "news.example.org", kDefaultMailer};
  ExpectNormalised(current);  // a short value comes back as 256 bytes
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(slots.Current(n), current[n - 1]) << n;
    EXPECT_EQ(slots.Pending(n), n == 3 ? current[2] : "") << n;
  }
  // Later ticks reload current only.
  slots.SetPending(3, "edited");
  reg.PutString(kSlotKeyPath, "S3", "other.example");
  slots.Refresh(firstRun);
  EXPECT_EQ(slots.Pending(3) + "|" + slots.Current(3), "edited|other.example");
}

TEST_F(SlotStoreTest, WhilePropertiesIsOpenATickKeepsCurrentButStillWritesIt) {
  slots.Refresh(firstRun);
  slots.SetCurrent(2, "typed.example.com");
  windows.titles.insert(kPropertiesTitle);
  reg.PutString(kSlotKeyPath, "S1", "c:\\changed.exe");
  slots.Refresh(firstRun);
  EXPECT_EQ(slots.Current(1), kDefaultBrowser);
  ExpectNormalised({kDefaultBrowser, "typed.example.com", "", kDefaultMailer});
  // The first-run load happens even while the dialog is open.
  SlotStore fresh(reg, windows);
  firstRun = true;
  fresh.Refresh(firstRun);
  EXPECT_EQ(fresh.Pending(2) + "|" + fresh.Current(2), "typed.example.com|typed.example.com");
}

TEST_F(SlotStoreTest, IdleTicksRewriteOnlyValuesThatAreNotNormalised) {
  // Without and with a registry that tells of changes.
  for (bool watchable : {false, true}) {
    reg.watchable = watchable;
    slots.Refresh(firstRun);
    slots.Refresh(firstRun);
    reg.setLog.clear();
    const int before = reg.calls;
    slots.Refresh(firstRun);
    EXPECT_TRUE(reg.setLog.empty());
    EXPECT_EQ(reg.calls - before, watchable ? 1 : 6);  // watched: only asks whether anything changed

    auto odd = Padded(kDefaultBrowser);
    odd[255] = 'X';  // other filler
    reg.Put(kSlotKeyPath, "S1", kRegSz, odd);
    reg.Put(kSlotKeyPath, "S2", kRegExpandSz, Padded(kDefaultAddress));
    reg.Put(kSlotKeyPath, "S3", kRegSz, std::vector<uint8_t>(400, 'p'));
    reg.Put(kSlotKeyPath, "S4", kRegDword, {7, 0, 0, 0});
    slots.Refresh(firstRun);
    EXPECT_EQ(reg.setLog, kAll) << watchable;
    ExpectNormalised({kDefaultBrowser, kDefaultAddress, std::string(255, 'p'), kDefaultMailer});
    reg.Put(kSlotKeyPath, "S3", kRegSz, Padded(""));
    slots.Refresh(firstRun);
  }
}

TEST_F(SlotStoreTest, SaveAllCommitsPendingInSlotOrder) {
  slots.EnsureKey();
  const std::string pending[] = {"p1", "", "p3", std::string(256, 'm')};
  for (int n = 1; n <= 4; ++n) {
    slots.SetCurrent(n, "was current");
    slots.SetPending(n, pending[n - 1]);
  }
  slots.SaveAll();
  EXPECT_EQ(reg.setLog, kAll);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(slots.Current(n), pending[n - 1]) << n;  // kept whole in memory
  ExpectNormalised({"p1", "", "p3", std::string(255, 'm')});                     // stored cut to 255
}

TEST_F(SlotStoreTest, RegistryFailuresLeaveStoredValuesAndStillApplyDefaults) {
  reg.PutString(kSlotKeyPath, "S1", "c:\\kept.exe");
  reg.failWrites = true;
  slots.Refresh(firstRun);
  EXPECT_EQ(reg.Value(kSlotKeyPath, "S1")->data.size(), 12u);
  EXPECT_EQ(reg.Value(kSlotKeyPath, "S2"), nullptr);
  EXPECT_EQ(slots.Current(2), kDefaultAddress);
}

}  // namespace
}  // namespace zeph
