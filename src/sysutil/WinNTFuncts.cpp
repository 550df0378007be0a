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

}  // namespace

DWORD BuildSharedFolderAcl(PSetEntriesInAclA setEntriesInAcl, PACL parentDacl, PACL* newAcl) {
  *newAcl = nullptr;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
    return GetLastError() != 0 ? GetLastError() : ERROR_INVALID_SID;
  EXPLICIT_ACCESS_A entry = {};
  entry.grfAccessPermissions = kEveryoneRights;
  entry.grfAccessMode = SET_ACCESS;
  entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  entry.Trustee.pMultipleTrustee = nullptr;
  entry.Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
  entry.Trustee.ptstrName = static_cast<LPSTR>(everyone);
  const DWORD result = setEntriesInAcl(1, &entry, parentDacl, newAcl);
  FreeSid(everyone);
  if (result != ERROR_SUCCESS) *newAcl = nullptr;
  return result;
}

bool PrepareSharedFolderSecurity(const std::string& parent, const TSecurityFunctions& functions,
                                 TSharedFolderSecurity* security) {
  *security = TSharedFolderSecurity();
  if (!functions.getNamedSecurityInfo || !functions.setEntriesInAcl) return false;
  PACL parentDacl = nullptr;
  std::string name = parent;
  if (functions.getNamedSecurityInfo(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     &parentDacl, nullptr, &security->parentDescriptor) != ERROR_SUCCESS) {
    security->parentDescriptor = nullptr;
    return false;
  }
  const bool absolute = MakeAbsolute(security);
  if (BuildSharedFolderAcl(functions.setEntriesInAcl, parentDacl, &security->newAcl) != ERROR_SUCCESS) return false;
  // Without the absolute form the self-relative one is tried; the system refuses
  // a DACL there, and the folder is then created plainly.
  PSECURITY_DESCRIPTOR descriptor = absolute ? &security->absolute : security->parentDescriptor;
  if (!SetSecurityDescriptorDacl(descriptor, TRUE, security->newAcl, FALSE)) return false;
  security->attributes.nLength = sizeof security->attributes;
  security->attributes.lpSecurityDescriptor = descriptor;
  security->attributes.bInheritHandle = FALSE;
  security->ready = true;
  return true;
}

void ReleaseSharedFolderSecurity(TSharedFolderSecurity* security) {
  if (security->newAcl) LocalFree(security->newAcl);
  if (security->parentDescriptor) LocalFree(security->parentDescriptor);
  if (security->absoluteParts) LocalFree(security->absoluteParts);
  *security = TSharedFolderSecurity();
}

bool CreateSharedFolderUsing(const std::string& path, const TSharedFolderSystem& system) {
  // Too long for the system's path buffers: refused before anything is created.
  TSharedFolderPlan plan;
  if (!PlanSharedFolder(path, &plan)) return false;
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  // Parents are created plainly and inherit their own parent's rights.
  for (const std::string& prefix : plan.prefixes) {
    if (GetFileAttributesA(prefix.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !system.createDirectory(prefix.c_str(), nullptr))
      return false;
  }
  TSharedFolderSecurity security = TSharedFolderSecurity();
  if (UsesAccessList(system.version)) PrepareSharedFolderSecurity(plan.parent, system.security, &security);
  const bool created = system.createDirectory(path.c_str(), security.ready ? &security.attributes : nullptr) != 0;
  ReleaseSharedFolderSecurity(&security);
  return created;
}

TSharedFolderSystem MachineSharedFolderSystem(HMODULE* advapi32) {
  TSharedFolderSystem system = {};
  system.version.dwOSVersionInfoSize = sizeof system.version;
  if (!GetVersionExA(&system.version)) system.version = OSVERSIONINFOA();
  system.createDirectory = CreateDirectoryA;
  *advapi32 = UsesAccessList(system.version) ? LoadSystemLibrary("advapi32.dll") : nullptr;
  system.security.getNamedSecurityInfo = LibraryFunction<PGetNamedSecurityInfoA>(*advapi32, "GetNamedSecurityInfoA");
  system.security.setEntriesInAcl = LibraryFunction<PSetEntriesInAclA>(*advapi32, "SetEntriesInAclA");
  return system;
}

bool CreateSharedFolder(const std::string& path) {
  HMODULE advapi32 = nullptr;
  const bool created = CreateSharedFolderUsing(path, MachineSharedFolderSystem(&advapi32));
  if (advapi32) FreeLibrary(advapi32);
  return created;
}
