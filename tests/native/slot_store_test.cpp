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

class SlotStoreTest : public ::testing::Test {
 protected:
  fake::Registry reg;
  fake::Windows windows;
  SlotStore store{reg, windows};

  std::string StoredText(const char* name) {
    const RegValue* v = reg.Value(kSlotKeyPath, name);
    return v ? DecodeSlotValue(*v) : "<missing>";
  }
  void ExpectNormalised(const char* name, const std::string& text) {
    const RegValue* v = reg.Value(kSlotKeyPath, name);
    ASSERT_NE(v, nullptr) << name;
    EXPECT_EQ(v->type, kRegSz) << name;
    EXPECT_EQ(v->data, Padded(text)) << name;
  }
};

TEST(SlotValueCodec, CutsAt255AndNeverReadsPastTheData) {
  const std::string t255(255, 'a');
  auto bytes = EncodeSlotValue(t255 + "bcd");
  EXPECT_EQ(bytes[254], 'a');
  EXPECT_EQ(bytes[255], 0);
  EXPECT_EQ(DecodeSlotValue({kRegSz, {bytes.begin(), bytes.end()}}), t255);

  // Written by another program: short, unterminated, oversized, odd types.
  EXPECT_EQ(DecodeSlotValue({kRegSz, {'a', 'b', 0}}), "ab");
  EXPECT_EQ(DecodeSlotValue({kRegSz, {'x', 'y'}}), "xy");
  EXPECT_EQ(DecodeSlotValue({kRegSz, std::vector<uint8_t>(300, 'q')}), std::string(255, 'q'));
  EXPECT_EQ(DecodeSlotValue({kRegExpandSz, {'%', 'A', '%', 0, 'z'}}), "%A%");
  EXPECT_EQ(DecodeSlotValue({kRegMultiSz, {'o', 'n', 'e', 0, 't', 0, 0}}), "one");
  EXPECT_EQ(DecodeSlotValue({kRegDword, {1, 0, 0, 0}}), "");
  EXPECT_EQ(DecodeSlotValue({kRegBinary, {'h', 'i', 0}}), "");
  EXPECT_EQ(DecodeSlotValue({kRegSz, {}}), "");
}

TEST_F(SlotStoreTest, ReadSlotOutsideOneToFourTouchesNothing) {
  reg.PutString(kSlotKeyPath, "S1", "x");
  EXPECT_EQ(store.ReadSlot(0), "");
  EXPECT_EQ(store.ReadSlot(5), "");
  EXPECT_EQ(reg.calls, 0);
  EXPECT_EQ(store.ReadSlot(1), "x");
  EXPECT_EQ(store.Current(1), "");  // reading changes neither copy
  EXPECT_EQ(store.Pending(1), "");
}

TEST_F(SlotStoreTest, MissingKeyOrValueReadsEmptyAndWriteSlotDoesNotCreateTheKey) {
  EXPECT_EQ(store.ReadSlot(2), "");
  store.SetCurrent(1, "c:\\a.exe");
  store.WriteSlot("S1");
  EXPECT_FALSE(reg.HasKey(kSlotKeyPath));
  store.EnsureKey();
  EXPECT_TRUE(reg.HasKey(kSlotKeyPath));
  EXPECT_EQ(store.ReadSlot(2), "");
  store.WriteSlot("S1");
  ExpectNormalised("S1", "c:\\a.exe");
  store.WriteSlot("S9");
  store.WriteSlot("s2");  // names match exactly
  EXPECT_EQ(reg.writes, 1);
}

TEST_F(SlotStoreTest, FirstTickOnAFreshMachineWritesDefaultsAs256ByteValues) {
  bool firstRun = true;
  store.Refresh(firstRun);
  EXPECT_FALSE(firstRun);
  ExpectNormalised("S1", kDefaultBrowser);
  ExpectNormalised("S2", kDefaultAddress);
  ExpectNormalised("S3", "");
  ExpectNormalised("S4", kDefaultMailer);
  EXPECT_EQ(store.Current(1), kDefaultBrowser);
  EXPECT_EQ(store.Current(3), "");
  // Defaults go to current only: pending stays as the registry had it.
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(store.Pending(n), "") << n;
}

TEST_F(SlotStoreTest, FirstRunLoadsPendingOnceAndLaterTicksLeaveItAlone) {
  reg.PutString(kSlotKeyPath, "S1", "c:\\b.exe");
  reg.PutString(kSlotKeyPath, "S3", "news.example.org");
  bool firstRun = true;
  store.Refresh(firstRun);
  EXPECT_EQ(store.Pending(1), "c:\\b.exe");
  EXPECT_EQ(store.Pending(3), "news.example.org");
  store.SetPending(1, "edited");
  reg.PutString(kSlotKeyPath, "S1", "c:\\other.exe");
  store.Refresh(firstRun);
  EXPECT_EQ(store.Pending(1), "edited");
  EXPECT_EQ(store.Current(1), "c:\\other.exe");
  ExpectNormalised("S1", "c:\\other.exe");  // short value rewritten as 256 bytes
}

TEST_F(SlotStoreTest, WhilePropertiesIsOpenATickKeepsCurrentButStillWritesIt) {
  bool firstRun = false;
  store.Refresh(firstRun);
  store.SetCurrent(2, "typed.example.com");
  windows.titles.insert(kPropertiesTitle);
  reg.PutString(kSlotKeyPath, "S1", "c:\\changed.exe");
  store.Refresh(firstRun);
  EXPECT_EQ(store.Current(2), "typed.example.com");
  EXPECT_EQ(store.Current(1), kDefaultBrowser);
  ExpectNormalised("S2", "typed.example.com");
  ExpectNormalised("S1", kDefaultBrowser);

  // The first-run load happens even while the dialog is open.
  SlotStore fresh(reg, windows);
  firstRun = true;
  fresh.Refresh(firstRun);
  EXPECT_EQ(fresh.Current(2), "typed.example.com");
  EXPECT_EQ(fresh.Pending(2), "typed.example.com");
}

TEST_F(SlotStoreTest, IdleTicksWriteNothingOnceValuesAreNormalised) {
  bool firstRun = true;
  store.Refresh(firstRun);
  EXPECT_EQ(reg.writes, 4);
  reg.writes = 0;
  reg.setLog.clear();
  store.Refresh(firstRun);
  store.Refresh(firstRun);
  EXPECT_EQ(reg.writes, 0);

  // Anything that differs from the full rewrite's bytes is rewritten: other
  // filler, another type, a short value.
  auto odd = Padded(kDefaultBrowser);
  odd[255] = 'X';
  reg.Put(kSlotKeyPath, "S1", kRegSz, odd);
  reg.Put(kSlotKeyPath, "S2", kRegExpandSz, Padded(kDefaultAddress));
  reg.PutString(kSlotKeyPath, "S4", kDefaultMailer);
  store.Refresh(firstRun);
  EXPECT_EQ(reg.setLog, (std::vector<std::string>{"S1", "S2", "S4"}));
  ExpectNormalised("S1", kDefaultBrowser);
  ExpectNormalised("S2", kDefaultAddress);
  ExpectNormalised("S4", kDefaultMailer);
}

TEST_F(SlotStoreTest, OddStoredValuesAreReadSafelyAndRewrittenProperly) {
  reg.Put(kSlotKeyPath, "S1", kRegSz, std::vector<uint8_t>(400, 'p'));   // oversized, no NUL
  reg.Put(kSlotKeyPath, "S2", kRegDword, {7, 0, 0, 0});                  // not a string
  reg.Put(kSlotKeyPath, "S3", kRegSz, {'a', 'b', 'c'});                  // unterminated
  bool firstRun = true;
  store.Refresh(firstRun);
  EXPECT_EQ(store.Current(1), std::string(255, 'p'));
  EXPECT_EQ(store.Current(2), kDefaultAddress);
  EXPECT_EQ(store.Current(3), "abc");
  ExpectNormalised("S1", std::string(255, 'p'));
  ExpectNormalised("S2", kDefaultAddress);
  ExpectNormalised("S3", "abc");
}

TEST_F(SlotStoreTest, SaveAllCommitsPendingInSlotOrder) {
  store.EnsureKey();
  store.SetPending(1, "p1");
  store.SetPending(2, "");
  store.SetPending(3, "p3");
  store.SetPending(4, std::string(256, 'm'));
  store.SetCurrent(2, "was current");
  store.SaveAll();
  EXPECT_EQ(reg.setLog, (std::vector<std::string>{"S1", "S2", "S3", "S4"}));
  EXPECT_EQ(store.Current(2), "");
  EXPECT_EQ(store.Current(4), std::string(256, 'm'));  // kept whole in memory
  ExpectNormalised("S4", std::string(255, 'm'));       // stored as its first 255
  EXPECT_EQ(store.ReadSlot(4), std::string(255, 'm'));
}

TEST_F(SlotStoreTest, RegistryFailuresLeaveStoredValuesAndStillApplyDefaults) {
  reg.PutString(kSlotKeyPath, "S1", "c:\\kept.exe");
  reg.failWrites = true;
  bool firstRun = true;
  store.Refresh(firstRun);
  EXPECT_EQ(StoredText("S1"), "c:\\kept.exe");
  EXPECT_EQ(StoredText("S2"), "<missing>");
  EXPECT_EQ(store.Current(2), kDefaultAddress);

  fake::Registry broken;
  broken.failCreate = true;
  SlotStore orphan(broken, windows);
  firstRun = true;
  orphan.Refresh(firstRun);
  EXPECT_EQ(orphan.Current(1), kDefaultBrowser);
  EXPECT_EQ(orphan.Current(4), kDefaultMailer);
  EXPECT_FALSE(firstRun);
}

}  // namespace
}  // namespace zeph
