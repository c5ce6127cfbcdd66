#include "installer/folder/folder_rule.h"

#include "gtest/gtest.h"

namespace zeph {
namespace {

constexpr Trustee kAdmin = Trustee::kAdmin, kUsers = Trustee::kOrdinary, kOther = Trustee::kOther;
constexpr uint32_t kRead = 0x1200a9, kAddSubfolder = 0x4, kDeleteChild = 0x40, kDelete = 0x10000,
                   kWriteDac = 0x40000, kModify = 0x1301bf, kGenericAll = 0x10000000, kGenericWrite = 0x40000000;
// A folder as Program Files is: the administrators' own, users may read.
const FolderFacts kSound = {false, kAdmin, true, {{true, false, kAdmin, 0x1f01ff}, {true, false, kUsers, kRead}}};

FolderFacts With(AccessEntry e, Trustee owner = kAdmin, bool link = false) {
  FolderFacts f = kSound;
  f.entries.push_back(e);
  f.owner = owner;
  f.link = link;
  return f;
}

TEST(FolderRule, JudgesTheFolderAndEveryFolderAbove) {
  const struct { const char* what; FolderFacts above, program; bool withProgram; FolderVerdict verdict; } rows[] = {
      {"sound, the program's folder there", kSound, kSound, true, FolderVerdict::kSafe},
      {"sound, the program's folder to be made", kSound, kSound, false, FolderVerdict::kSafe},
      {"users may add folders above it (a drive's root)", With({true, false, kUsers, kAddSubfolder}), kSound, true,
       FolderVerdict::kSafe},
      {"...but not in it", kSound, With({true, false, kUsers, kAddSubfolder}), true, FolderVerdict::kUsersMayChange},
      {"...while where it is to be made they may (a folder of theirs there fails the making)", kSound,
       With({true, false, kUsers, kAddSubfolder}), false, FolderVerdict::kSafe},
      {"users may delete what a folder above holds", With({true, false, kUsers, kDeleteChild}), kSound, true,
       FolderVerdict::kUsersMayChange},
      {"the authenticated users may modify one above", With({true, false, kUsers, kModify}), kSound, true,
       FolderVerdict::kUsersMayChange},
      {"everyone may re-permit one above", With({true, false, kUsers, kWriteDac}), kSound, true,
       FolderVerdict::kUsersMayChange},
      {"users may delete one above itself", With({true, false, kUsers, kDelete}), kSound, true,
       FolderVerdict::kUsersMayChange},
      {"above it, passed on only to what it holds", With({true, true, kUsers, kModify}), kSound, true,
       FolderVerdict::kSafe},
      {"in it, passed on to the files written", kSound, With({true, true, kUsers, kGenericAll}), true,
       FolderVerdict::kUsersMayChange},
      {"in it, generic write", kSound, With({true, false, kUsers, kGenericWrite}), true, FolderVerdict::kUsersMayChange},
      {"a deny, not an allow", kSound, With({false, false, kUsers, kModify}), true, FolderVerdict::kSafe},
      {"another trustee (power users, a service)", kSound, With({true, false, kOther, kModify}), true,
       FolderVerdict::kSafe},
      {"no DACL at all", kSound, {false, kAdmin, false, {}}, true, FolderVerdict::kUsersMayChange},
      {"owned by a user", kSound, With({true, false, kAdmin, kRead}, kUsers), true, FolderVerdict::kOwner},
      {"owned by another account above it", With({true, false, kAdmin, kRead}, kOther), kSound, false,
       FolderVerdict::kOwner},
      {"a link above it", With({true, false, kAdmin, kRead}, kAdmin, true), kSound, true, FolderVerdict::kLink},
      {"the folder a link", kSound, With({true, false, kAdmin, kRead}, kAdmin, true), true, FolderVerdict::kLink},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(JudgeFolders({kSound, r.above, r.program}, r.withProgram), r.verdict) << r.what;
  }
}

}  // namespace
}  // namespace zeph
