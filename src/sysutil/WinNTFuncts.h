// Who may change the installation. On Windows 2000 and later:
// - the product's program folders (the destination folder and the shared
//   helper folder) may be changed by administrators and the system only;
//   users may read and run what they hold. A program or library there that any
//   user could replace would run with the rights of the next user who starts
//   it, or of the next setup;
// - the folders the product keeps its data in may be written by every user:
//   their access list gets an entry that lets Everyone read, write, create and
//   delete below them;
// - single files in a program folder that the product writes at run time (its
//   settings, the helper's instance file) may be written by every user, but
//   neither deleted nor replaced.
// Elsewhere, or when anything of that fails, folders and files are created
// plainly and inherit their parent's rights; existing ones stay as they are.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <aclapi.h>

#include <string>

// A data folder. A missing one gets its parent's access list plus the Everyone
// entry; an existing folder gets the entry set into its own list (an upgrade
// has just taken away what it inherited from the destination folder). True
// when the folder exists afterwards, or anything of that name existed before
// (a file is left unchanged). False when a missing parent or the folder itself
// could not be created, and for a path longer than 259 characters.
bool CreateSharedFolder(const std::string& path);

// A program folder: a missing one is created with an access list of its own
// that inherits nothing from its parent; an existing one (an earlier setup made
// it writable for everyone) gets that list in place of its own. A user who is
// not an administrator and installs for themselves keeps the right to change
// their own installation (no other user gets it). Results as for
// CreateSharedFolder.
bool CreateProgramFolder(const std::string& path);

// A file every user writes in a program folder: created empty when missing,
// otherwise its list gets the entry. Its folder is never created, and before
// Windows 2000 nothing is. True when the file exists afterwards.
bool CreateSharedFile(const std::string& path);

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

// The security attributes for a new folder or file and what they point into.
struct TSharedFolderSecurity {
  PSECURITY_DESCRIPTOR parentDescriptor;  // from GetNamedSecurityInfoA
  void* absoluteParts;                    // DACL, SACL, owner, group of the absolute form
  PACL newAcl;                            // from SetEntriesInAclA
  SECURITY_DESCRIPTOR absolute;
  SECURITY_ATTRIBUTES attributes;
  bool ready;  // attributes may be handed to the creation
};
void ReleaseSharedFolderSecurity(TSharedFolderSecurity* security);

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
bool CreateWithAccessUsing(const std::string& path, TAccessKind kind, const TSharedFolderSystem& system);
// What this machine offers; the security functions only on Windows 2000 and
// later. *advapi32 receives the library they come from (null when not loaded),
// to be freed after the creation; installingUser points into *userSid.
struct TUserSid {
  BYTE bytes[SECURITY_MAX_SID_SIZE];
};
TSharedFolderSystem MachineSharedFolderSystem(HMODULE* advapi32, TUserSid* userSid);

#endif
