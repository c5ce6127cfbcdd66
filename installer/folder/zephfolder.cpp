// zephfolder.exe: the setup's judge of the folder it installs in, run from the
// setup's own temporary folder before it changes anything.
//   zephfolder judge FOLDER   the folder and every folder above it pass the rule
//   zephfolder new FOLDER [OURS...]
//                             so, and the folder is missing or holds nothing but
//                             OURS, the full paths of the files a setup installs
//                             (a first install after an uninstall whose held files
//                             wait for the restart)
//   zephfolder make FOLDER    so, and the missing folders are made, each created
//                             with its permissions in the same call
// Exit code: 0 when it passes (and is made); a refusal below; else the Windows
// error of the folder that could not be made.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "installer/folder/folder_rule.h"

namespace {

// Windows keeps bit 29 of an error code for programs' own codes.
enum Refusal : DWORD {
  kLinkFound = 0x20000001,  // the folder or one above it is a link
  kNotAdminOwned,           // owned by someone who is not an administrator
  kUsersMayChange,          // ordinary users may change it, or take one above it
  kNotEmpty,                // a first install's folder holds something not ours
  kNotLocalFolder,          // not a folder on a local drive (a file, a share)
};

// Owned by the administrators; they and the system may change it, users read and
// run what is in it; nothing inherited from the folder above, and all of it passed on.
const char kFolderSddl[] = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

bool IsWellKnown(PSID sid, std::initializer_list<WELL_KNOWN_SID_TYPE> types) {
  for (WELL_KNOWN_SID_TYPE type : types) {
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    if (CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known)) return true;
  }
  return false;
}

zeph::Trustee Classify(PSID sid) {
  // The account running the setup is an administrator: the setup refuses to run otherwise.
  BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  HANDLE token = nullptr;
  bool self = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
              GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
              EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
  if (token) CloseHandle(token);
  PSID installer = nullptr;  // Windows' installer service, which owns Program Files
  if (ConvertStringSidToSidA("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", &installer)) {
    self = self || EqualSid(sid, installer);
    LocalFree(installer);
  }
  if (self || IsWellKnown(sid, {WinBuiltinAdministratorsSid, WinLocalSystemSid})) return zeph::Trustee::kAdmin;
  if (IsWellKnown(sid, {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid, WinInteractiveSid})) {
    return zeph::Trustee::kOrdinary;
  }
  return zeph::Trustee::kOther;
}

bool ReadFacts(const std::string& folder, DWORD attributes, zeph::FolderFacts& facts) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS) {
    return false;
  }
  facts.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  facts.owner = owner ? Classify(owner) : zeph::Trustee::kOther;
  facts.hasDacl = dacl != nullptr;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    const bool allow = ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE;
    facts.entries.push_back({allow, (ace->Header.AceFlags & INHERIT_ONLY_ACE) != 0,
                             allow ? Classify(&ace->SidStart) : zeph::Trustee::kOther, ace->Mask});
  }
  LocalFree(sd);
  return true;
}

DWORD Refusal(zeph::FolderVerdict verdict) {
  switch (verdict) {
    case zeph::FolderVerdict::kSafe: return 0;
    case zeph::FolderVerdict::kLink: return kLinkFound;
    case zeph::FolderVerdict::kOwner: return kNotAdminOwned;
    default: return kUsersMayChange;
  }
}

// Whether the folder holds only files named in ours, and folders on their way;
// a link is never ours, whatever its name.
bool OnlyOurs(const std::string& folder, const std::vector<std::string>& ours) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  bool only = true;
  for (BOOL more = find != INVALID_HANDLE_VALUE; more && only; more = FindNextFileA(find, &found)) {
    if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
    const std::string path = folder + "\\" + found.cFileName;
    only = false;
    for (const std::string& our : ours) {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) break;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        only = !lstrcmpiA(our.substr(0, path.size() + 1).c_str(), (path + "\\").c_str());
      } else {
        only = !lstrcmpiA(our.c_str(), path.c_str());
      }
      if (only) break;
    }
    if (only && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) only = OnlyOurs(path, ours);
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  return only;
}

DWORD Run(const std::string& mode, std::string folder, const std::vector<std::string>& ours) {
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  if (folder.size() < 3 || folder[1] != ':' || folder[2] != '\\' ||
      GetDriveTypeA(folder.substr(0, 3).c_str()) != DRIVE_FIXED) {
    return kNotLocalFolder;
  }
  // The drive's root, then each folder on the way down; the missing ones last.
  std::vector<std::string> path{folder.substr(0, 3)}, missing;
  for (size_t at = folder.find('\\', 3); at != std::string::npos; at = folder.find('\\', at + 1)) {
    path.push_back(folder.substr(0, at));
  }
  if (path.back() != folder) path.push_back(folder);
  std::vector<zeph::FolderFacts> facts;
  for (const std::string& f : path) {
    const DWORD attributes = GetFileAttributesA(f.c_str());
    if (!missing.empty() || attributes == INVALID_FILE_ATTRIBUTES) {
      missing.push_back(f);
      continue;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return kNotLocalFolder;
    facts.emplace_back();
    if (!ReadFacts(f, attributes, facts.back())) return GetLastError();
  }
  if (const DWORD refused = Refusal(zeph::JudgeFolders(facts, missing.empty()))) return refused;
  if (mode == "new" && missing.empty() && !OnlyOurs(folder, ours)) return kNotEmpty;
  if (mode != "make") return 0;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kFolderSddl, SDDL_REVISION_1, &sa.lpSecurityDescriptor,
                                                            nullptr)) {
    return GetLastError();
  }
  DWORD error = 0;
  // One that appeared since it was judged fails here (already exists): someone else made it.
  for (const std::string& f : missing) {
    if (!error && !CreateDirectoryA(f.c_str(), &sa)) error = GetLastError();
  }
  LocalFree(sa.lpSecurityDescriptor);
  return error;
}

}  // namespace

// A window program, so that the setup shows no console while it runs.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return ERROR_BAD_ARGUMENTS;
  return static_cast<int>(Run(__argv[1], __argv[2], std::vector<std::string>(__argv + 3, __argv + __argc)));
}
