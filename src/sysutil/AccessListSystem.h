// What the creation of folders and files with access lists (WinNTFuncts)
// takes from the system, as a record, so that its tests can hand in failing
// functions and older versions and see every list the creations are given.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <aclapi.h>

#include <string>

// The security functions are looked up at run time: advapi32 of older systems
// lacks them, and the setup must still start there.
typedef DWORD(WINAPI* PGetNamedSecurityInfoA)(LPSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION what,
                                              PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                                              PSECURITY_DESCRIPTOR* descriptor);
typedef DWORD(WINAPI* PSetEntriesInAclA)(ULONG count, PEXPLICIT_ACCESS_A entries, PACL oldAcl, PACL* newAcl);
typedef DWORD(WINAPI* PSetNamedSecurityInfoA)(LPSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION what,
                                              PSID owner, PSID group, PACL dacl, PACL sacl);
typedef BOOL(WINAPI* PInitializeSecurityDescriptor)(PSECURITY_DESCRIPTOR descriptor, DWORD revision);
typedef BOOL(WINAPI* PSetSecurityDescriptorControl)(PSECURITY_DESCRIPTOR descriptor,
                                                     SECURITY_DESCRIPTOR_CONTROL mask,
                                                     SECURITY_DESCRIPTOR_CONTROL bits);

struct TSecurityFunctions {  // each null when missing
  PGetNamedSecurityInfoA getNamedSecurityInfo;
  PSetEntriesInAclA setEntriesInAcl;
  PSetNamedSecurityInfoA setNamedSecurityInfo;
  PInitializeSecurityDescriptor initializeSecurityDescriptor;
  PSetSecurityDescriptorControl setSecurityDescriptorControl;
};

// What the operations take from the system, so that the fall-backs can be
// exercised: the version (all 0 when unknown), the security functions, the
// creation of folders and files, and the user who runs the setup when that
// user is not an administrator (null otherwise, or when it cannot be told).
struct TSharedFolderSystem {
  OSVERSIONINFOA version;
  TSecurityFunctions security;
  BOOL(WINAPI* createDirectory)(LPCSTR path, LPSECURITY_ATTRIBUTES attributes);
  HANDLE(WINAPI* createFile)(LPCSTR path, DWORD access, DWORD sharing, LPSECURITY_ATTRIBUTES attributes,
                             DWORD disposition, DWORD flags, HANDLE model);
  PSID installingUser;
};
enum TAccessKind { kSharedFolderAccess, kProgramFolderAccess, kSharedFileAccess };
// CreateSharedFolder, CreateProgramFolder or CreateSharedFile (by kind) on system.
bool CreateWithAccessUsing(const std::string& path, TAccessKind kind, const TSharedFolderSystem& system);
// What this machine offers; the security functions only on Windows 2000 and
// later. *advapi32 receives the library they come from (null when not loaded),
// to be freed after the creation; installingUser points into *userSid.
struct TUserSid {
  BYTE bytes[SECURITY_MAX_SID_SIZE];
};
TSharedFolderSystem MachineSharedFolderSystem(HMODULE* advapi32, TUserSid* userSid);

#endif
