#pragma once
// Whether a folder is safe to install Zephra Button in. Start at logon runs the
// program from it for everyone, administrators included, so whoever may change
// the folder, or any folder above it, may run their own code with an
// administrator's rights. The setup reads each folder's owner, entries and
// link attribute (folder_facts.cpp) and asks this rule before it changes anything.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zeph {

// Who an owner or an entry names, as far as the rule cares.
enum class Trustee {
  kAdmin,     // the administrators, the system, Windows' installer service, the installing account
  kOrdinary,  // everyone, the users, the authenticated users, the interactive user
  kOther,     // anyone else (power users, a service, a named account in an entry)
};

struct AccessEntry {
  bool allow;        // else a deny, or a kind the rule does not read
  bool inheritOnly;  // passed on to what the folder holds, not the folder's own
  Trustee trustee;
  uint32_t mask;
};

struct FolderFacts {
  bool link;  // a junction, a symbolic link or any other reparse point
  Trustee owner;
  bool hasDacl;  // no DACL at all lets anyone do anything
  std::vector<AccessEntry> entries;
};

enum class FolderVerdict { kSafe, kLink, kOwner, kUsersMayChange };

// folders: from the drive's root down, the program's folder last when it exists
// (withProgramFolder). Its rights also reach the files the setup writes into it,
// so ordinary users may not add to it; above it they may only not take or
// replace a folder on the way, as the setup makes the missing ones itself.
FolderVerdict JudgeFolders(const std::vector<FolderFacts>& folders, bool withProgramFolder);

}  // namespace zeph
