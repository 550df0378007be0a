// Folders that every user may write into: the destination folder (the product
// keeps its settings there) and the shared helper folder. On Windows 2000 and
// later the new folder gets its parent's access list plus an entry that lets
// Everyone read, write, create and delete below it; elsewhere, or when anything
// of that fails, it is created plainly and inherits its parent's rights.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <aclapi.h>

#include <string>

// True when the folder exists afterwards, or anything of that name existed
// before (left unchanged). False when a missing parent or the folder itself
// could not be created, and for a path longer than 259 characters.
bool CreateSharedFolder(const std::string& path);

// The two security functions are looked up at run time: advapi32 of older
// systems lacks them, and the setup must still start there.
typedef DWORD(WINAPI* PGetNamedSecurityInfoA)(LPSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION what,
                                              PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                                              PSECURITY_DESCRIPTOR* descriptor);
typedef DWORD(WINAPI* PSetEntriesInAclA)(ULONG count, PEXPLICIT_ACCESS_A entries, PACL oldAcl, PACL* newAcl);

struct TSecurityFunctions {
  PGetNamedSecurityInfoA getNamedSecurityInfo;  // null when missing
  PSetEntriesInAclA setEntriesInAcl;            // null when missing
};

// The parent's list with the Everyone entry set into it (any earlier entry for
// Everyone replaced). ERROR_SUCCESS, with *newAcl to be freed with LocalFree.
DWORD BuildSharedFolderAcl(PSetEntriesInAclA setEntriesInAcl, PACL parentDacl, PACL* newAcl);

// The security attributes for the new folder and what they point into.
struct TSharedFolderSecurity {
  PSECURITY_DESCRIPTOR parentDescriptor;  // from GetNamedSecurityInfoA
  void* absoluteParts;                    // DACL, SACL, owner, group of the absolute form
  PACL newAcl;                            // from SetEntriesInAclA
  SECURITY_DESCRIPTOR absolute;
  SECURITY_ATTRIBUTES attributes;
  bool ready;  // attributes may be handed to the creation
};
// Reads the parent's access list and prepares attributes carrying the merged
// list. False (security->ready false) when any step failed.
bool PrepareSharedFolderSecurity(const std::string& parent, const TSecurityFunctions& functions,
                                 TSharedFolderSecurity* security);
void ReleaseSharedFolderSecurity(TSharedFolderSecurity* security);

// What CreateSharedFolder takes from the system, so that the fall-backs can be
// exercised: the version (all 0 when unknown), the security functions and the
// folder creation.
struct TSharedFolderSystem {
  OSVERSIONINFOA version;
  TSecurityFunctions security;
  BOOL(WINAPI* createDirectory)(LPCSTR path, LPSECURITY_ATTRIBUTES attributes);
};
bool CreateSharedFolderUsing(const std::string& path, const TSharedFolderSystem& system);
// What this machine offers; the security functions only on Windows 2000 and
// later. *advapi32 receives the library they come from (null when not loaded),
// to be freed after the creation.
TSharedFolderSystem MachineSharedFolderSystem(HMODULE* advapi32);

#endif
