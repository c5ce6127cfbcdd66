#include "installer/folder/folder_rule.h"

namespace zeph {
namespace {

// The access bits, as Windows numbers them (this file includes no Windows header).
constexpr uint32_t kAddFile = 0x2, kAddSubfolder = 0x4, kDeleteChild = 0x40, kDelete = 0x10000,
                   kWriteDac = 0x40000, kWriteOwner = 0x80000, kGenericAll = 0x10000000,
                   kGenericWrite = 0x40000000;
// Above the program's folder: renaming, deleting or re-permitting a folder on the
// path would let a user put their own in its place. Adding a folder beside it
// (which Windows lets users do at the drive's root) does not.
constexpr uint32_t kReplace = kDeleteChild | kDelete | kWriteDac | kWriteOwner | kGenericAll;
constexpr uint32_t kChange = kReplace | kAddFile | kAddSubfolder | kGenericWrite;

}  // namespace

FolderVerdict JudgeFolders(const std::vector<FolderFacts>& folders, bool withProgramFolder) {
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const FolderFacts& f = folders[i];
    const bool last = withProgramFolder && i + 1 == folders.size();
    if (f.link) return FolderVerdict::kLink;
    if (f.owner != Trustee::kAdmin) return FolderVerdict::kOwner;
    if (!f.hasDacl) return FolderVerdict::kUsersMayChange;
    for (const AccessEntry& e : f.entries) {
      // The last folder passes its inheritable entries on to the files written into it.
      if (e.allow && e.trustee == Trustee::kOrdinary && (last || !e.inheritOnly) &&
          (e.mask & (last ? kChange : kReplace))) {
        return FolderVerdict::kUsersMayChange;
      }
    }
  }
  return FolderVerdict::kSafe;
}

}  // namespace zeph
