// Who may change the folders and files the setup makes. Wine keeps Unix mode
// bits rather than access lists, so what is checked is what the code hands to
// the system: the list each creation and each change of a list is given, and
// every failure that must end in a plain folder, an unchanged one, or false.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "TestSupport.h"
#include "AccessListSystem.h"

namespace {

std::string gBase;                // the row's folder; calls name paths below it
std::vector<std::string> gCalls;  // what the system was asked, in order

std::string Relative(const char* path) { return std::string(path).substr(gBase.size() + 1); }

// A list as "P" (protected) or "U", then its entries as "group:mask:flags", sorted.
std::string ListText(PACL acl, bool isProtected) {
  static const std::map<std::string, std::string> kGroups = {
      {"S-1-1-0", "WD"}, {"S-1-5-18", "SY"}, {"S-1-5-32-544", "BA"}, {"S-1-5-32-545", "BU"}};
  std::vector<std::string> aces;
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    void* raw = nullptr;
    char* sid = nullptr;
    if (!GetAce(acl, i, &raw) || !ConvertSidToStringSidA(&static_cast<ACCESS_ALLOWED_ACE*>(raw)->SidStart, &sid))
      continue;
    const auto group = kGroups.find(sid);
    char text[64];
    snprintf(text, sizeof text, ":%lx:%u", static_cast<unsigned long>(static_cast<ACCESS_ALLOWED_ACE*>(raw)->Mask),
             static_cast<ACCESS_ALLOWED_ACE*>(raw)->Header.AceFlags);
    aces.push_back((group == kGroups.end() ? std::string(sid) : group->second) + text);
    LocalFree(sid);
  }
  std::sort(aces.begin(), aces.end());
  std::string list = isProtected ? "P" : "U";
  for (const std::string& ace : aces) list += " " + ace;
  return list;
}
std::string ListText(LPSECURITY_ATTRIBUTES attributes) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!attributes || !GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted) ||
      !present || !GetSecurityDescriptorControl(attributes->lpSecurityDescriptor, &control, &revision))
    return "-";
  return ListText(dacl, (control & SE_DACL_PROTECTED) != 0);
}

// The system's functions, recording; a path with "Refused" in it is refused.
bool Refused(const char* path) { return std::string(path).find("Refused") != std::string::npos; }
BOOL WINAPI RecordingCreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
  gCalls.push_back("dir " + Relative(path) + " " + ListText(attributes));
  if (!Refused(path)) return CreateDirectoryA(path, attributes);
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
HANDLE WINAPI RecordingCreateFile(LPCSTR path, DWORD access, DWORD sharing, LPSECURITY_ATTRIBUTES attributes,
                                  DWORD disposition, DWORD flags, HANDLE model) {
  gCalls.push_back("file " + Relative(path) + " " + ListText(attributes));
  return CreateFileA(path, access, sharing, attributes, disposition, flags, model);
}
// A list set without saying whether it inherits is shown as "?".
DWORD WINAPI RecordingSetNamedSecurityInfo(LPSTR path, SE_OBJECT_TYPE, SECURITY_INFORMATION what, PSID, PSID,
                                           PACL dacl, PACL) {
  const std::string list = ListText(dacl, (what & PROTECTED_DACL_SECURITY_INFORMATION) != 0);
  gCalls.push_back("set " + Relative(path) + " " +
                   (what & (PROTECTED_DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION) ? list : "?"));
  return Refused(path) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}
// Every list read is the same of the test's own: SYSTEM may do anything (also
// below), Everyone read. The setup frees it. A path with "Unreadable" in it
// has none to read.
DWORD WINAPI ListOfOurOwn(LPSTR path, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL* dacl, PACL*,
                          PSECURITY_DESCRIPTOR* descriptor) {
  gCalls.push_back("get " + (std::string(path) == gBase ? std::string(".") : Relative(path)));
  BOOL present = FALSE, defaulted = FALSE;
  if (std::string(path).find("Unreadable") != std::string::npos ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;SY)(A;;FR;;;WD)", SDDL_REVISION_1,
                                                            descriptor, nullptr) ||
      !GetSecurityDescriptorDacl(*descriptor, &present, dacl, &defaulted))
    return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}
DWORD WINAPI FailingSetEntriesInAcl(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL* newAcl) {
  *newAcl = nullptr;
  return ERROR_NOT_ENOUGH_MEMORY;
}

OSVERSIONINFOA Version(DWORD platform, DWORD major, DWORD minor) {
  return {sizeof(OSVERSIONINFOA), major, minor, 0, platform, ""};
}

TEST(AccessLists, EachFolderAndFileGetsItsListOrFallsBackToAPlainOne) {
  twxtest::TempFolder temp;
  HMODULE advapi32 = nullptr;
  TUserSid machineUser;
  const TSharedFolderSystem machine = MachineSharedFolderSystem(&advapi32, &machineUser);
  EXPECT_EQ(machine.installingUser, nullptr) << "Wine's user is an administrator";
  TSecurityFunctions all = machine.security;
  ASSERT_TRUE(all.getNamedSecurityInfo && all.setEntriesInAcl && all.setNamedSecurityInfo &&
              all.initializeSecurityDescriptor && all.setSecurityDescriptorControl)
      << "Wine reports the NT family, 6.1, and has them all";
  all.getNamedSecurityInfo = ListOfOurOwn;
  all.setNamedSecurityInfo = RecordingSetNamedSecurityInfo;
  TSecurityFunctions noMerge = all, noControl = all, noRead = all, none = {};
  noMerge.setEntriesInAcl = FailingSetEntriesInAcl;
  noControl.setSecurityDescriptorControl = nullptr;
  noRead.getNamedSecurityInfo = nullptr;
  const OSVERSIONINFOA xp = Version(VER_PLATFORM_WIN32_NT, 5, 1), win2000 = Version(VER_PLATFORM_WIN32_NT, 5, 0),
                       nt4 = Version(VER_PLATFORM_WIN32_NT, 4, 0), win98 = Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10),
                       unknown = OSVERSIONINFOA();
  // Lists as the setup hands them over: what every user may do with data, a
  // file users write, a program folder of the system's and administrators'.
  const std::string kData = "WD:101ff:3", kOwn = "SY:1f01ff:3", kWritten = "WD:19f:0",
                    kProgram = "P BA:1f01ff:3 BU:1200a9:3 SY:1f01ff:3";
  // A user who is not an administrator and installs for themselves.
  PSID user = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-21-1-2-3-1004", &user));
  const std::string kUsersProgram = "P BA:1f01ff:3 BU:1200a9:3 S-1-5-21-1-2-3-1004:1f01ff:3 SY:1f01ff:3";
  enum TBefore { kNothing, kFolder, kFile, kFolderAbove, kFileAbove };
  std::string tooLong = "Long";
  while (tooLong.size() < 300) tooLong += "\\abcdefghij";
  const struct {
    const char* name;
    TAccessKind kind;
    const char* path;
    TBefore before;  // at path, or just above it
    OSVERSIONINFOA version;
    TSecurityFunctions functions;
    bool result;
    std::vector<std::string> calls;
    PSID installingUser = nullptr;
  } rows[] = {
      // Parents plainly; the folder with its parent's list, Everyone's read replaced.
      {"data folder", kSharedFolderAccess, "A\\B\\C", kNothing, xp, all, true,
       {"dir A\\ -", "dir A\\B\\ -", "get A\\B", "dir A\\B\\C U " + kOwn + " " + kData}},
      {"data folder on 2000", kSharedFolderAccess, "A", kNothing, win2000, all, true, {"get .", "dir A U " + kOwn + " " + kData}},
      {"existing data folder", kSharedFolderAccess, "A", kFolder, xp, all, true, {"get A", "set A U " + kOwn + " " + kData}},
      {"program folder", kProgramFolderAccess, "A\\B", kNothing, xp, all, true, {"dir A\\ -", "dir A\\B " + kProgram}},
      {"existing program folder", kProgramFolderAccess, "A", kFolder, xp, all, true, {"set A " + kProgram}},
      {"a user's program folder", kProgramFolderAccess, "A", kNothing, xp, all, true, {"dir A " + kUsersProgram}, user},
      {"a user's existing program folder", kProgramFolderAccess, "A", kFolder, xp, all, true, {"set A " + kUsersProgram},
       user},
      {"a user's data folder", kSharedFolderAccess, "A", kNothing, xp, all, true, {"get .", "dir A U " + kOwn + " " + kData},
       user},
      {"file users write", kSharedFileAccess, "A\\f.ini", kFolderAbove, xp, all, true, {"file A\\f.ini U " + kWritten}},
      {"existing file users write", kSharedFileAccess, "f.ini", kFile, xp, all, true, {"get f.ini", "set f.ini U " + kOwn + " " + kWritten}},
      // Whatever else has the name is left as it is.
      {"file where a folder goes", kProgramFolderAccess, "f", kFile, xp, all, true, {}},
      {"file where a data folder goes", kSharedFolderAccess, "f", kFile, xp, all, true, {}},
      {"folder where a file goes", kSharedFileAccess, "A", kFolder, xp, all, true, {}},
      // Every way back to a plain folder, or to one left as it was.
      {"data: functions missing", kSharedFolderAccess, "A", kNothing, xp, none, true, {"dir A -"}},
      {"data: no list reader", kSharedFolderAccess, "A", kNothing, xp, noRead, true, {"dir A -"}},
      {"data: parent unreadable", kSharedFolderAccess, "Unreadable\\A", kFolderAbove, xp, all, true,
       {"get Unreadable", "dir Unreadable\\A -"}},
      {"data: merge fails", kSharedFolderAccess, "A", kNothing, xp, noMerge, true, {"get .", "dir A -"}},
      {"data: Windows NT 4", kSharedFolderAccess, "A", kNothing, nt4, all, true, {"dir A -"}},
      {"data: Windows 98", kSharedFolderAccess, "A", kNothing, win98, all, true, {"dir A -"}},
      {"data: version unknown", kSharedFolderAccess, "A", kNothing, unknown, all, true, {"dir A -"}},
      {"existing data: unreadable", kSharedFolderAccess, "Unreadable", kFolder, xp, all, true, {"get Unreadable"}},
      {"existing data: Windows 98", kSharedFolderAccess, "A", kFolder, win98, all, true, {}},
      {"program: no protection", kProgramFolderAccess, "A", kNothing, xp, noControl, true, {"dir A -"}},
      {"program: merge fails", kProgramFolderAccess, "A", kNothing, xp, noMerge, true, {"dir A -"}},
      {"program: Windows 98", kProgramFolderAccess, "A", kNothing, win98, all, true, {"dir A -"}},
      {"existing program: refused", kProgramFolderAccess, "Refused", kFolder, xp, all, true, {"set Refused " + kProgram}},
      {"existing program: merge fails", kProgramFolderAccess, "A", kFolder, xp, noMerge, true, {}},
      {"existing program: Windows 98", kProgramFolderAccess, "A", kFolder, win98, all, true, {}},
      {"file: functions missing", kSharedFileAccess, "f.ini", kNothing, xp, none, true, {"file f.ini -"}},
      {"file: Windows 98", kSharedFileAccess, "f.ini", kNothing, win98, all, false, {}},
      {"file: no folder", kSharedFileAccess, "A\\f.ini", kNothing, xp, all, false, {}},
      // A file where a parent goes; a parent refused (those before it stay).
      {"file above", kSharedFolderAccess, "f\\A", kFileAbove, xp, all, false, {"dir f\\ -"}},
      {"parent refused", kProgramFolderAccess, "A\\Refused\\B", kNothing, xp, all, false, {"dir A\\ -", "dir A\\Refused\\ -"}},
      // Too long for the system's buffers: nothing at all is asked for.
      {"data: too long", kSharedFolderAccess, tooLong.c_str(), kNothing, xp, all, false, {}},
      {"program: too long", kProgramFolderAccess, tooLong.c_str(), kNothing, xp, all, false, {}},
      {"file: too long", kSharedFileAccess, tooLong.c_str(), kNothing, xp, all, false, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    gBase = temp.Join(std::to_string(&row - rows));
    ASSERT_TRUE(CreateDirectoryA(gBase.c_str(), nullptr));
    const std::string path = gBase + "\\" + row.path;
    const std::string at = row.before == kFolderAbove || row.before == kFileAbove ? ParentPart(path) : path;
    ASSERT_TRUE((row.before != kFolder && row.before != kFolderAbove) || CreateDirectoryA(at.c_str(), nullptr));
    ASSERT_TRUE((row.before != kFile && row.before != kFileAbove) || twxtest::WriteWholeFile(at, "x"));
    gCalls.clear();
    EXPECT_EQ(CreateWithAccessUsing(path, row.kind, {row.version, row.functions, RecordingCreateDirectory,
                                                     RecordingCreateFile, row.installingUser}), row.result);
    EXPECT_EQ(gCalls, row.calls);
    EXPECT_EQ(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES, row.result);
    EXPECT_TRUE(row.before != kFile || twxtest::ReadWholeFileOr(path, "") == "x") << "left as it was";
  }
  LocalFree(user);
  if (advapi32) FreeLibrary(advapi32);
}

}  // namespace
