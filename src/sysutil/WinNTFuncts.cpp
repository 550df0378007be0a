#include "WinNTFuncts.h"

#include "AccessListSystem.h"
#include "FileUtils.h"
#include "Global.h"
#include "ShellLinks.h"
#include "SystemLibrary.h"

namespace {

// The security attributes for a new folder or file and what they point into.
struct TSharedFolderSecurity {
  PSECURITY_DESCRIPTOR parentDescriptor;  // from GetNamedSecurityInfoA
  void* absoluteParts;                    // DACL, SACL, owner, group of the absolute form
  PACL newAcl;                            // from SetEntriesInAclA
  SECURITY_DESCRIPTOR absolute;
  SECURITY_ATTRIBUTES attributes;
  bool ready;  // attributes may be handed to the creation
};

void ReleaseSharedFolderSecurity(TSharedFolderSecurity* security) {
  if (security->newAcl) LocalFree(security->newAcl);
  if (security->parentDescriptor) LocalFree(security->parentDescriptor);
  if (security->absoluteParts) LocalFree(security->absoluteParts);
  *security = TSharedFolderSecurity();
}

// DELETE and the nine file-specific rights: read, write, append, extended
// attributes, execute, delete children, attributes. Not READ_CONTROL,
// WRITE_DAC, WRITE_OWNER or SYNCHRONIZE: Everyone may change the folder's
// contents, never its access list or its owner.
const DWORD kEveryoneRights = DELETE | FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_EA |
                              FILE_WRITE_EA | FILE_EXECUTE | FILE_DELETE_CHILD | FILE_READ_ATTRIBUTES |
                              FILE_WRITE_ATTRIBUTES;
static_assert(kEveryoneRights == 0x000101FF, "rights of the Everyone entry");
// A single file in a program folder: its contents and attributes, but no
// DELETE: a user who deleted it could not make it again there, nor anyone else.
const DWORD kEveryoneFileRights = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_EA |
                                  FILE_WRITE_EA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

struct TAccessEntry {
  SID_IDENTIFIER_AUTHORITY authority;
  BYTE subAuthorityCount;
  DWORD subAuthorities[2];
  DWORD rights;
  DWORD inheritance;
};
const TAccessEntry kSharedFolderEntries[] = {{SECURITY_WORLD_SID_AUTHORITY, 1, {SECURITY_WORLD_RID, 0}, kEveryoneRights,
                                              SUB_CONTAINERS_AND_OBJECTS_INHERIT}};
const TAccessEntry kSharedFileEntries[] = {
    {SECURITY_WORLD_SID_AUTHORITY, 1, {SECURITY_WORLD_RID, 0}, kEveryoneFileRights, NO_INHERITANCE}};
// The system and administrators may do anything, users read and run.
const TAccessEntry kProgramFolderEntries[] = {
    {SECURITY_NT_AUTHORITY, 1, {SECURITY_LOCAL_SYSTEM_RID, 0}, FILE_ALL_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT},
    {SECURITY_NT_AUTHORITY, 2, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}, FILE_ALL_ACCESS,
     SUB_CONTAINERS_AND_OBJECTS_INHERIT},
    {SECURITY_NT_AUTHORITY, 2, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS},
     FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, SUB_CONTAINERS_AND_OBJECTS_INHERIT}};
const int kProgramFolderEntryCount = 3;
// One more for the user who installs without being an administrator.
const int kMaxEntries = kProgramFolderEntryCount + 1;

struct TAccessEntries {
  const TAccessEntry* entries;
  ULONG count;
};
TAccessEntries EntriesOf(TAccessKind kind) {
  switch (kind) {
    case kSharedFolderAccess: return {kSharedFolderEntries, 1};
    case kSharedFileAccess: return {kSharedFileEntries, 1};
    case kProgramFolderAccess: break;
  }
  return {kProgramFolderEntries, kProgramFolderEntryCount};
}

bool UsesAccessList(const OSVERSIONINFOA& version) {
  return version.dwPlatformId >= VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

DWORD RoundUp4(DWORD size) { return (size + 3) & ~3u; }

// The parent's descriptor comes back self-relative; only an absolute one can
// take a new DACL.
bool MakeAbsolute(TSharedFolderSecurity* security) {
  DWORD absoluteSize = sizeof security->absolute, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
  if (MakeAbsoluteSD(security->parentDescriptor, &security->absolute, &absoluteSize, nullptr, &daclSize, nullptr,
                     &saclSize, nullptr, &ownerSize, nullptr, &groupSize))
    return false;  // it cannot have fitted into no buffers at all
  daclSize = RoundUp4(daclSize);
  saclSize = RoundUp4(saclSize);
  ownerSize = RoundUp4(ownerSize);
  groupSize = RoundUp4(groupSize);
  const DWORD total = daclSize + saclSize + ownerSize + groupSize;
  char* parts = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, total > 0 ? total : 4));
  if (!parts) return false;
  security->absoluteParts = parts;
  absoluteSize = sizeof security->absolute;
  return MakeAbsoluteSD(security->parentDescriptor, &security->absolute, &absoluteSize,
                        reinterpret_cast<PACL>(parts), &daclSize, reinterpret_cast<PACL>(parts + daclSize),
                        &saclSize, reinterpret_cast<PSID>(parts + daclSize + saclSize), &ownerSize,
                        reinterpret_cast<PSID>(parts + daclSize + saclSize + ownerSize), &groupSize) != 0;
}

void SetTrustee(EXPLICIT_ACCESS_A* entry, PSID sid, DWORD rights, DWORD inheritance) {
  entry->grfAccessPermissions = rights;
  entry->grfAccessMode = SET_ACCESS;
  entry->grfInheritance = inheritance;
  entry->Trustee.pMultipleTrustee = nullptr;
  entry->Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
  entry->Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry->Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
  entry->Trustee.ptstrName = static_cast<LPSTR>(sid);
}

// The kind's entries set into oldAcl (null: a list of their own); any earlier
// entry for the same group is replaced. A program folder also lets
// installingUser (when there is one) do anything below it: a user who may
// install only for themselves must be able to write and later upgrade their
// own installation. ERROR_SUCCESS, with *newAcl to be freed with LocalFree.
DWORD BuildAccessList(TAccessKind kind, PSID installingUser, PSetEntriesInAclA setEntriesInAcl, PACL oldAcl,
                      PACL* newAcl) {
  *newAcl = nullptr;
  const TAccessEntries wanted = EntriesOf(kind);
  EXPLICIT_ACCESS_A entries[kMaxEntries] = {};
  PSID sids[kMaxEntries] = {};
  DWORD result = ERROR_SUCCESS;
  for (ULONG i = 0; i < wanted.count && result == ERROR_SUCCESS; ++i) {
    TAccessEntry entry = wanted.entries[i];
    if (!AllocateAndInitializeSid(&entry.authority, entry.subAuthorityCount, entry.subAuthorities[0],
                                  entry.subAuthorities[1], 0, 0, 0, 0, 0, 0, &sids[i])) {
      result = GetLastError() != 0 ? GetLastError() : ERROR_INVALID_SID;
      break;
    }
    SetTrustee(&entries[i], sids[i], entry.rights, entry.inheritance);
  }
  ULONG count = wanted.count;
  if (kind == kProgramFolderAccess && installingUser)
    SetTrustee(&entries[count++], installingUser, FILE_ALL_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  if (result == ERROR_SUCCESS) result = setEntriesInAcl(count, entries, oldAcl, newAcl);
  for (PSID sid : sids)
    if (sid) FreeSid(sid);
  if (result != ERROR_SUCCESS) *newAcl = nullptr;
  return result;
}

// Reads the parent's access list and prepares attributes carrying the merged
// list. False (security->ready false) when any step failed.
bool PrepareSharedFolderSecurity(const std::string& parent, const TSecurityFunctions& functions,
                                 TSharedFolderSecurity* security) {
  if (!functions.getNamedSecurityInfo || !functions.setEntriesInAcl) return false;
  PACL parentDacl = nullptr;
  std::string name = parent;
  if (functions.getNamedSecurityInfo(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     &parentDacl, nullptr, &security->parentDescriptor) != ERROR_SUCCESS) {
    security->parentDescriptor = nullptr;
    return false;
  }
  const bool absolute = MakeAbsolute(security);
  if (BuildAccessList(kSharedFolderAccess, nullptr, functions.setEntriesInAcl, parentDacl, &security->newAcl) !=
      ERROR_SUCCESS)
    return false;
  // Without the absolute form the self-relative one is tried; the system refuses
  // a DACL there, and the folder is then created plainly.
  PSECURITY_DESCRIPTOR descriptor = absolute ? &security->absolute : security->parentDescriptor;
  if (!SetSecurityDescriptorDacl(descriptor, TRUE, security->newAcl, FALSE)) return false;
  security->attributes.lpSecurityDescriptor = descriptor;
  return true;
}

// A descriptor that carries only the kind's own list; a program folder's
// inherits nothing from its parent, so that whatever the parent lets users do
// below it (a drive's root lets them modify what they create) does not reach
// the programs.
bool PrepareOwnSecurity(TAccessKind kind, PSID installingUser, const TSecurityFunctions& functions,
                        TSharedFolderSecurity* security) {
  if (!functions.setEntriesInAcl || !functions.initializeSecurityDescriptor ||
      (kind == kProgramFolderAccess && !functions.setSecurityDescriptorControl))
    return false;
  if (BuildAccessList(kind, installingUser, functions.setEntriesInAcl, nullptr, &security->newAcl) != ERROR_SUCCESS ||
      !functions.initializeSecurityDescriptor(&security->absolute, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&security->absolute, TRUE, security->newAcl, FALSE))
    return false;
  if (kind == kProgramFolderAccess &&
      !functions.setSecurityDescriptorControl(&security->absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
    return false;
  security->attributes.lpSecurityDescriptor = &security->absolute;
  return true;
}

bool PrepareSecurity(TAccessKind kind, const std::string& parent, const TSharedFolderSystem& system,
                     TSharedFolderSecurity* security) {
  *security = TSharedFolderSecurity();
  if (!(kind == kSharedFolderAccess ? PrepareSharedFolderSecurity(parent, system.security, security)
                                    : PrepareOwnSecurity(kind, system.installingUser, system.security, security)))
    return false;
  security->attributes.nLength = sizeof security->attributes;
  security->attributes.bInheritHandle = FALSE;
  security->ready = true;
  return true;
}

// An existing object of the installation: a program folder's list replaced,
// the entry set into the list of anything else. What the object inherits is
// worked out again by the system, for it and for everything below it. Silent.
void SetExistingAccess(const std::string& path, TAccessKind kind, const TSharedFolderSystem& system) {
  const TSecurityFunctions& functions = system.security;
  if (!functions.setEntriesInAcl || !functions.setNamedSecurityInfo) return;
  std::string name = path;
  PACL own = nullptr;
  PSECURITY_DESCRIPTOR ownDescriptor = nullptr;
  if (kind != kProgramFolderAccess &&
      (!functions.getNamedSecurityInfo ||
       functions.getNamedSecurityInfo(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &own,
                                      nullptr, &ownDescriptor) != ERROR_SUCCESS))
    return;
  PACL list = nullptr;
  if (BuildAccessList(kind, system.installingUser, functions.setEntriesInAcl, own, &list) == ERROR_SUCCESS) {
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        (kind == kProgramFolderAccess ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    functions.setNamedSecurityInfo(&name[0], SE_FILE_OBJECT, what, nullptr, nullptr, list, nullptr);
    LocalFree(list);
  }
  if (ownDescriptor) LocalFree(ownDescriptor);
}

}  // namespace

bool CreateWithAccessUsing(const std::string& path, TAccessKind kind, const TSharedFolderSystem& system) {
  // Too long for the system's path buffers: refused before anything is created.
  TSharedFolderPlan plan;
  if (!PlanSharedFolder(path, &plan)) return false;
  const bool lists = UsesAccessList(system.version);
  const DWORD existing = GetFileAttributesA(path.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES) {
    // Something of another kind under that name is left as it is.
    const bool folder = (existing & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (lists && folder == (kind != kSharedFileAccess)) SetExistingAccess(path, kind, system);
    return true;
  }
  if (kind == kSharedFileAccess) {
    // Nothing to let users do before Windows 2000, and nothing made there.
    if (!lists || GetFileAttributesA(plan.parent.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  } else {
    // Parents are created plainly and inherit their own parent's rights.
    for (const std::string& prefix : plan.prefixes) {
      if (GetFileAttributesA(prefix.c_str()) == INVALID_FILE_ATTRIBUTES &&
          !system.createDirectory(prefix.c_str(), nullptr))
        return false;
    }
  }
  TSharedFolderSecurity security = TSharedFolderSecurity();
  if (lists) PrepareSecurity(kind, plan.parent, system, &security);
  LPSECURITY_ATTRIBUTES attributes = security.ready ? &security.attributes : nullptr;
  bool created;
  if (kind == kSharedFileAccess) {
    HANDLE file = system.createFile(path.c_str(), GENERIC_WRITE, 0, attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    created = file != INVALID_HANDLE_VALUE;
    if (created) CloseHandle(file);
  } else {
    created = system.createDirectory(path.c_str(), attributes) != 0;
  }
  ReleaseSharedFolderSecurity(&security);
  return created;
}

namespace {

// The user the setup runs as, when that user is not an administrator: an
// administrator's installation needs no entry of its own, and a user's own
// program folder would otherwise be closed to them.
PSID NonAdministratorUser(HMODULE advapi32, TUserSid* userSid) {
  typedef BOOL(WINAPI * POpenProcessToken)(HANDLE, DWORD, PHANDLE);
  typedef BOOL(WINAPI * PGetTokenInformation)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
  typedef BOOL(WINAPI * PCopySid)(DWORD, PSID, PSID);
  const POpenProcessToken openToken = LibraryFunction<POpenProcessToken>(advapi32, "OpenProcessToken");
  const PGetTokenInformation tokenInformation = LibraryFunction<PGetTokenInformation>(advapi32, "GetTokenInformation");
  const PCopySid copySid = LibraryFunction<PCopySid>(advapi32, "CopySid");
  if (!openToken || !tokenInformation || !copySid || IsAdministrator()) return nullptr;
  HANDLE token = nullptr;
  if (!openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } information;
  DWORD size = 0;
  const bool known = tokenInformation(token, TokenUser, &information, sizeof information, &size) &&
                     copySid(sizeof userSid->bytes, userSid->bytes, information.user.User.Sid);
  CloseHandle(token);
  return known ? userSid->bytes : nullptr;
}

}  // namespace

TSharedFolderSystem MachineSharedFolderSystem(HMODULE* advapi32, TUserSid* userSid) {
  TSharedFolderSystem system = {};
  system.version = QueryWindowsVersion();
  system.createDirectory = CreateDirectoryA;
  system.createFile = CreateFileA;
  *advapi32 = UsesAccessList(system.version) ? LoadSystemLibrary("advapi32.dll") : nullptr;
  TSecurityFunctions& functions = system.security;
  functions.getNamedSecurityInfo = LibraryFunction<PGetNamedSecurityInfoA>(*advapi32, "GetNamedSecurityInfoA");
  functions.setEntriesInAcl = LibraryFunction<PSetEntriesInAclA>(*advapi32, "SetEntriesInAclA");
  functions.setNamedSecurityInfo = LibraryFunction<PSetNamedSecurityInfoA>(*advapi32, "SetNamedSecurityInfoA");
  functions.initializeSecurityDescriptor =
      LibraryFunction<PInitializeSecurityDescriptor>(*advapi32, "InitializeSecurityDescriptor");
  functions.setSecurityDescriptorControl =
      LibraryFunction<PSetSecurityDescriptorControl>(*advapi32, "SetSecurityDescriptorControl");
  system.installingUser = *advapi32 ? NonAdministratorUser(*advapi32, userSid) : nullptr;
  return system;
}

namespace {

bool CreateWithAccess(const std::string& path, TAccessKind kind) {
  HMODULE advapi32 = nullptr;
  TUserSid user;
  const bool done = CreateWithAccessUsing(path, kind, MachineSharedFolderSystem(&advapi32, &user));
  if (advapi32) FreeLibrary(advapi32);
  return done;
}

}  // namespace

bool CreateSharedFolder(const std::string& path) { return CreateWithAccess(path, kSharedFolderAccess); }
bool CreateProgramFolder(const std::string& path) { return CreateWithAccess(path, kProgramFolderAccess); }
bool CreateSharedFile(const std::string& path) { return CreateWithAccess(path, kSharedFileAccess); }
