#include "WinNTFuncts.h"

#include "SysUtilLogic.h"
#include "SystemLibrary.h"

namespace {

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
const int kMaxEntries = 3;

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
  return {kProgramFolderEntries, kMaxEntries};
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

// The kind's entries set into oldAcl (null: a list of their own); any earlier
// entry for the same group is replaced. ERROR_SUCCESS, with *newAcl to be freed
// with LocalFree.
DWORD BuildAccessList(TAccessKind kind, PSetEntriesInAclA setEntriesInAcl, PACL oldAcl, PACL* newAcl) {
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
    entries[i].grfAccessPermissions = entry.rights;
    entries[i].grfAccessMode = SET_ACCESS;
    entries[i].grfInheritance = entry.inheritance;
    entries[i].Trustee.pMultipleTrustee = nullptr;
    entries[i].Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entries[i].Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
    entries[i].Trustee.ptstrName = static_cast<LPSTR>(sids[i]);
  }
  if (result == ERROR_SUCCESS) result = setEntriesInAcl(wanted.count, entries, oldAcl, newAcl);
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
  if (BuildAccessList(kSharedFolderAccess, functions.setEntriesInAcl, parentDacl, &security->newAcl) !=
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
bool PrepareOwnSecurity(TAccessKind kind, const TSecurityFunctions& functions, TSharedFolderSecurity* security) {
  if (!functions.setEntriesInAcl || !functions.initializeSecurityDescriptor ||
      (kind == kProgramFolderAccess && !functions.setSecurityDescriptorControl))
    return false;
  if (BuildAccessList(kind, functions.setEntriesInAcl, nullptr, &security->newAcl) != ERROR_SUCCESS ||
      !functions.initializeSecurityDescriptor(&security->absolute, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&security->absolute, TRUE, security->newAcl, FALSE))
    return false;
  if (kind == kProgramFolderAccess &&
      !functions.setSecurityDescriptorControl(&security->absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
    return false;
  security->attributes.lpSecurityDescriptor = &security->absolute;
  return true;
}

bool PrepareSecurity(TAccessKind kind, const std::string& parent, const TSecurityFunctions& functions,
                     TSharedFolderSecurity* security) {
  *security = TSharedFolderSecurity();
  if (!(kind == kSharedFolderAccess ? PrepareSharedFolderSecurity(parent, functions, security)
                                    : PrepareOwnSecurity(kind, functions, security)))
    return false;
  security->attributes.nLength = sizeof security->attributes;
  security->attributes.bInheritHandle = FALSE;
  security->ready = true;
  return true;
}

// An existing object of the installation: a program folder's list replaced,
// the entry set into the list of anything else. What the object inherits is
// worked out again by the system, for it and for everything below it. Silent.
void SetExistingAccess(const std::string& path, TAccessKind kind, const TSecurityFunctions& functions) {
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
  if (BuildAccessList(kind, functions.setEntriesInAcl, own, &list) == ERROR_SUCCESS) {
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        (kind == kProgramFolderAccess ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    functions.setNamedSecurityInfo(&name[0], SE_FILE_OBJECT, what, nullptr, nullptr, list, nullptr);
    LocalFree(list);
  }
  if (ownDescriptor) LocalFree(ownDescriptor);
}

}  // namespace

void ReleaseSharedFolderSecurity(TSharedFolderSecurity* security) {
  if (security->newAcl) LocalFree(security->newAcl);
  if (security->parentDescriptor) LocalFree(security->parentDescriptor);
  if (security->absoluteParts) LocalFree(security->absoluteParts);
  *security = TSharedFolderSecurity();
}

bool CreateWithAccessUsing(const std::string& path, TAccessKind kind, const TSharedFolderSystem& system) {
  // Too long for the system's path buffers: refused before anything is created.
  TSharedFolderPlan plan;
  if (!PlanSharedFolder(path, &plan)) return false;
  const bool lists = UsesAccessList(system.version);
  const DWORD existing = GetFileAttributesA(path.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES) {
    // Something of another kind under that name is left as it is.
    const bool folder = (existing & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (lists && folder == (kind != kSharedFileAccess)) SetExistingAccess(path, kind, system.security);
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
  if (lists) PrepareSecurity(kind, plan.parent, system.security, &security);
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

TSharedFolderSystem MachineSharedFolderSystem(HMODULE* advapi32) {
  TSharedFolderSystem system = {};
  system.version.dwOSVersionInfoSize = sizeof system.version;
  if (!GetVersionExA(&system.version)) system.version = OSVERSIONINFOA();
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
  return system;
}

namespace {

bool CreateWithAccess(const std::string& path, TAccessKind kind) {
  HMODULE advapi32 = nullptr;
  const bool done = CreateWithAccessUsing(path, kind, MachineSharedFolderSystem(&advapi32));
  if (advapi32) FreeLibrary(advapi32);
  return done;
}

}  // namespace

bool CreateSharedFolder(const std::string& path) { return CreateWithAccess(path, kSharedFolderAccess); }
bool CreateProgramFolder(const std::string& path) { return CreateWithAccess(path, kProgramFolderAccess); }
bool CreateSharedFile(const std::string& path) { return CreateWithAccess(path, kSharedFileAccess); }
