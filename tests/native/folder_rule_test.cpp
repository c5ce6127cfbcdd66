#include "installer/folder/folder_rule.h"

#include "gtest/gtest.h"

namespace zeph {
namespace {

constexpr Trustee kAdmin = Trustee::kAdmin, kUsers = Trustee::kOrdinary, kOther = Trustee::kOther;
constexpr FolderVerdict kSafe = FolderVerdict::kSafe, kLink = FolderVerdict::kLink, kOwner = FolderVerdict::kOwner,
                        kChange = FolderVerdict::kUsersMayChange;
constexpr uint32_t kRead = 0x1200a9, kAddSubfolder = 0x4, kDeleteChild = 0x40, kDelete = 0x10000, kWriteDac = 0x40000,
                   kModify = 0x1301bf, kGenericAll = 0x10000000, kGenericWrite = 0x40000000;
// A folder as Program Files is: the administrators' own, users may read.
const FolderFacts kSound = {false, kAdmin, true, {{true, false, kAdmin, 0x1f01ff}, {true, false, kUsers, kRead}}};

FolderFacts With(AccessEntry e, Trustee owner = kAdmin, bool link = false) {
  FolderFacts f = {link, owner, true, kSound.entries};
  f.entries.push_back(e);
  return f;
}

TEST(FolderRule, JudgesTheFolderAndEveryFolderAbove) {
  const struct { const char* what; FolderFacts above, program; bool withProgram; FolderVerdict verdict; } rows[] = {
      {"sound, the program's folder there", kSound, kSound, true, kSafe},
      {"sound, the program's folder to be made", kSound, kSound, false, kSafe},
      {"users may add folders above it (a drive's root)", With({true, false, kUsers, kAddSubfolder}), kSound, true, kSafe},
      {"...but not in it", kSound, With({true, false, kUsers, kAddSubfolder}), true, kChange},
      {"...nor where it is to be made, but its making fails on theirs", kSound,
       With({true, false, kUsers, kAddSubfolder}), false, kSafe},
      {"users may delete what one above holds", With({true, false, kUsers, kDeleteChild}), kSound, true, kChange},
      {"users may modify one above", With({true, false, kUsers, kModify}), kSound, true, kChange},
      {"users may re-permit one above", With({true, false, kUsers, kWriteDac}), kSound, true, kChange},
      {"users may delete one above", With({true, false, kUsers, kDelete}), kSound, true, kChange},
      {"above it, passed on only to what it holds", With({true, true, kUsers, kModify}), kSound, true, kSafe},
      {"in it, passed on to the files written", kSound, With({true, true, kUsers, kGenericAll}), true, kChange},
      {"in it, generic write", kSound, With({true, false, kUsers, kGenericWrite}), true, kChange},
      {"a deny, not an allow", kSound, With({false, false, kUsers, kModify}), true, kSafe},
      {"another trustee (power users, a service)", kSound, With({true, false, kOther, kModify}), true, kSafe},
      {"no DACL at all", kSound, {false, kAdmin, false, {}}, true, kChange},
      {"owned by a user", kSound, With({true, false, kAdmin, kRead}, kUsers), true, kOwner},
      {"owned by another account, above it", With({true, false, kAdmin, kRead}, kOther), kSound, false, kOwner},
      {"a link above it", With({true, false, kAdmin, kRead}, kAdmin, true), kSound, true, kLink},
      {"the folder a link", kSound, With({true, false, kAdmin, kRead}, kAdmin, true), true, kLink},
  };
  for (const auto& r : rows) EXPECT_EQ(JudgeFolders({kSound, r.above, r.program}, r.withProgram), r.verdict) << r.what;
}

}  // namespace
}  // namespace zeph
