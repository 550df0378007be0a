// Folders with an access list for everyone. This system does not store access
// lists (Wine keeps Unix mode bits), so the tests look at the list that is built
// and handed to the folder creation, and at every way back to a plain creation.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <set>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "SystemLibrary.h"
#include "TestSupport.h"
#include "WinNTFuncts.h"

namespace {

// Each entry of a list as "sid type flags mask".
std::multiset<std::string> AcesOf(PACL acl) {
  std::multiset<std::string> aces;
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(acl, i, &raw)) break;
    ACCESS_ALLOWED_ACE* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
    char* sid = nullptr;
    if (!ConvertSidToStringSidA(&ace->SidStart, &sid)) continue;
    aces.insert(std::string(sid) + " " + std::to_string(ace->Header.AceType) + " " +
                std::to_string(ace->Header.AceFlags) + " " + std::to_string(ace->Mask));
    LocalFree(sid);
  }
  return aces;
}

const BYTE kBothInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// The parent's entries are kept, any entry for Everyone is replaced by the one
// that lets everyone change the folder's contents, and nothing else is added.
void ExpectParentPlusEveryone(const std::multiset<std::string>& parent, const std::multiset<std::string>& built) {
  std::multiset<std::string> expected = {"S-1-1-0 0 3 " + std::to_string(0x000101FF)};
  for (const std::string& ace : parent)
    if (ace.compare(0, 8, "S-1-1-0 ") != 0) expected.insert(ace);
  EXPECT_EQ(built, expected);
}

// A folder creation as the system does it, recording what it was handed.
struct TCreation {
  std::string path;
  bool withAttributes;
  bool daclPresent;
  std::multiset<std::string> aces;
};
std::vector<TCreation> gCreations;

BOOL WINAPI RecordingCreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
  TCreation creation = {path, attributes != nullptr, false, {}};
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (attributes && GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted)) {
    creation.daclPresent = present != FALSE;
    creation.aces = AcesOf(dacl);
  }
  gCreations.push_back(creation);
  return CreateDirectoryA(path, attributes);
}

int gSecurityCalls = 0;
DWORD WINAPI FailingGetNamedSecurityInfo(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
                                         PSECURITY_DESCRIPTOR*) {
  ++gSecurityCalls;
  return ERROR_ACCESS_DENIED;
}
DWORD WINAPI FailingSetEntriesInAcl(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL* newAcl) {
  ++gSecurityCalls;
  *newAcl = nullptr;
  return ERROR_NOT_ENOUGH_MEMORY;
}

std::string gAskedParent;
DWORD WINAPI RecordingGetNamedSecurityInfo(LPSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner,
                                           PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
  gAskedParent = name;
  return GetNamedSecurityInfoA(name, type, what, owner, group, dacl, sacl, descriptor);
}

OSVERSIONINFOA Version(DWORD platform, DWORD major, DWORD minor) {
  return {sizeof(OSVERSIONINFOA), major, minor, 0, platform, ""};
}

class SharedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    gCreations.clear();
    gSecurityCalls = 0;
    gAskedParent.clear();
    advapi32_ = LoadSystemLibrary("advapi32.dll");
    ASSERT_NE(advapi32_, nullptr);
    real_.getNamedSecurityInfo = LibraryFunction<PGetNamedSecurityInfoA>(advapi32_, "GetNamedSecurityInfoA");
    real_.setEntriesInAcl = LibraryFunction<PSetEntriesInAclA>(advapi32_, "SetEntriesInAclA");
    ASSERT_NE(real_.getNamedSecurityInfo, nullptr);
    ASSERT_NE(real_.setEntriesInAcl, nullptr);
  }
  void TearDown() override { FreeLibrary(advapi32_); }

  TSharedFolderSystem System(const OSVERSIONINFOA& version, const TSecurityFunctions& security) {
    TSharedFolderSystem system = {};
    system.version = version;
    system.security = security;
    system.createDirectory = RecordingCreateDirectory;
    return system;
  }
  std::multiset<std::string> ParentAces(const std::string& parent) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::string name = parent;
    EXPECT_EQ(GetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &descriptor), 0u);
    const std::multiset<std::string> aces = AcesOf(dacl);
    LocalFree(descriptor);
    return aces;
  }

  twxtest::TempFolder temp_;
  HMODULE advapi32_ = nullptr;
  TSecurityFunctions real_ = {};
  const TSecurityFunctions missing_ = {};
};

TEST_F(SharedFolder, TheBuiltListKeepsOtherEntriesAndReplacesEveryones) {
  // A parent list of our own: SYSTEM full, Users read, Everyone read only.
  BYTE buffer[1024];
  PACL parent = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(parent, sizeof buffer, ACL_REVISION));
  PSID system = nullptr, users = nullptr, everyone = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-18", &system));
  ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-32-545", &users));
  ASSERT_TRUE(ConvertStringSidToSidA("S-1-1-0", &everyone));
  ASSERT_TRUE(AddAccessAllowedAceEx(parent, ACL_REVISION, kBothInherit, GENERIC_ALL, system));
  ASSERT_TRUE(AddAccessAllowedAceEx(parent, ACL_REVISION, CONTAINER_INHERIT_ACE, FILE_GENERIC_READ, users));
  ASSERT_TRUE(AddAccessAllowedAceEx(parent, ACL_REVISION, 0, FILE_GENERIC_READ, everyone));
  PACL built = nullptr;
  ASSERT_EQ(BuildSharedFolderAcl(real_.setEntriesInAcl, parent, &built), 0u);
  ASSERT_NE(built, nullptr);
  ExpectParentPlusEveryone(AcesOf(parent), AcesOf(built));
  for (void* p : {static_cast<void*>(built), system, users, everyone}) LocalFree(p);

  // Without a parent list, Everyone's entry is the only one.
  ASSERT_EQ(BuildSharedFolderAcl(real_.setEntriesInAcl, nullptr, &built), 0u);
  ExpectParentPlusEveryone({}, AcesOf(built));
  LocalFree(built);
}

// This machine (Wine reports the NT family, 6.1) offers everything the list
// needs: parents are created plainly, outermost first, the folder with the list.
TEST_F(SharedFolder, TheFolderGetsTheListParentsArePlain) {
  HMODULE advapi32 = nullptr;
  TSharedFolderSystem machine = MachineSharedFolderSystem(&advapi32);
  ASSERT_NE(machine.security.getNamedSecurityInfo, nullptr);
  ASSERT_NE(machine.security.setEntriesInAcl, nullptr);
  machine.security.getNamedSecurityInfo = RecordingGetNamedSecurityInfo;
  machine.createDirectory = RecordingCreateDirectory;
  const std::string path = temp_.Join("A\\B\\C");
  ASSERT_TRUE(CreateSharedFolderUsing(path, machine));
  if (advapi32) FreeLibrary(advapi32);
  EXPECT_TRUE(IsExistingFolder(path));
  EXPECT_EQ(gAskedParent, temp_.Join("A\\B")) << "asked for without its backslash";
  ASSERT_EQ(gCreations.size(), 3u);
  EXPECT_EQ(gCreations[0].path, temp_.Join("A\\"));
  EXPECT_EQ(gCreations[1].path, temp_.Join("A\\B\\"));
  EXPECT_FALSE(gCreations[0].withAttributes || gCreations[1].withAttributes);
  EXPECT_EQ(gCreations[2].path, path);
  ASSERT_TRUE(gCreations[2].withAttributes && gCreations[2].daclPresent);
  ExpectParentPlusEveryone(ParentAces(temp_.Join("A\\B")), gCreations[2].aces);

  EXPECT_TRUE(CreateSharedFolder(temp_.Join("Shared")));
  EXPECT_TRUE(IsExistingFolder(temp_.Join("Shared")));
  // Directly below a drive root the parent is the drive alone (asked here
  // without creating anything in the root).
  TSharedFolderSecurity security;
  ASSERT_TRUE(PrepareSharedFolderSecurity("C:", {RecordingGetNamedSecurityInfo, real_.setEntriesInAcl}, &security));
  EXPECT_EQ(gAskedParent, "C:");
  EXPECT_TRUE(security.ready);
  ReleaseSharedFolderSecurity(&security);
}

TEST_F(SharedFolder, EveryFailureOfTheSecurityStepsFallsBackToAPlainFolder) {
  struct TCase {
    const char* name;
    OSVERSIONINFOA version;
    TSecurityFunctions security;
    int securityCalls;
  };
  const TSecurityFunctions noList = {FailingGetNamedSecurityInfo, real_.setEntriesInAcl};
  const TSecurityFunctions noMerge = {real_.getNamedSecurityInfo, FailingSetEntriesInAcl};
  const TSecurityFunctions onlyOne = {real_.getNamedSecurityInfo, nullptr};
  const TCase cases[] = {
      {"functions missing", Version(VER_PLATFORM_WIN32_NT, 5, 1), missing_, 0},
      {"one function missing", Version(VER_PLATFORM_WIN32_NT, 5, 1), onlyOne, 0},
      {"parent unreadable", Version(VER_PLATFORM_WIN32_NT, 5, 1), noList, 1},
      {"merge fails", Version(VER_PLATFORM_WIN32_NT, 5, 1), noMerge, 1},
      {"Windows NT 4", Version(VER_PLATFORM_WIN32_NT, 4, 0), noList, 0},
      {"Windows 98", Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10), noList, 0},
      {"version unknown", OSVERSIONINFOA(), noList, 0},
  };
  int n = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    gCreations.clear();
    gSecurityCalls = 0;
    const std::string path = temp_.Join("Case" + std::to_string(++n) + "\\Folder");
    EXPECT_TRUE(CreateSharedFolderUsing(path, System(c.version, c.security)));
    EXPECT_TRUE(IsExistingFolder(path));
    ASSERT_EQ(gCreations.size(), 2u);
    EXPECT_FALSE(gCreations[0].withAttributes);
    EXPECT_FALSE(gCreations[1].withAttributes);
    EXPECT_EQ(gSecurityCalls, c.securityCalls);
  }
}

BOOL WINAPI RefusingCreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
  if (std::string(path).find("\\Refused") == std::string::npos) return RecordingCreateDirectory(path, attributes);
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST_F(SharedFolder, WhatExistsStaysAndWhatCannotBeCreatedEndsWithFalse) {
  const TSharedFolderSystem xp = System(Version(VER_PLATFORM_WIN32_NT, 5, 1), real_);
  ASSERT_TRUE(twxtest::WriteWholeFile(temp_.Join("taken"), "data"));
  EXPECT_TRUE(CreateSharedFolderUsing(temp_.Join("taken"), xp));
  EXPECT_TRUE(CreateSharedFolderUsing(temp_.Path(), xp));
  EXPECT_TRUE(gCreations.empty());
  EXPECT_EQ(twxtest::ReadWholeFileOr(temp_.Join("taken"), ""), "data");

  // A file where a parent should be; a parent refused: those made before it stay.
  EXPECT_FALSE(CreateSharedFolderUsing(temp_.Join("taken\\Q"), xp));
  TSharedFolderSystem refusing = xp;
  refusing.createDirectory = RefusingCreateDirectory;
  gCreations.clear();
  EXPECT_FALSE(CreateSharedFolderUsing(temp_.Join("P\\Refused\\Q"), refusing));
  EXPECT_TRUE(IsExistingFolder(temp_.Join("P")));
  EXPECT_FALSE(IsExistingFolder(temp_.Join("P\\Refused")));
  EXPECT_EQ(gCreations.size(), 1u);

  // A network path's first prefix "\\" can be neither found nor created.
  EXPECT_FALSE(CreateSharedFolder("\\\\twx-no-such-server\\share\\Trawlix"));
  // Too long for the system's buffers: nothing at all is created.
  std::string path = temp_.Join("Long");
  while (path.size() < 300) path += "\\abcdefghij";
  gCreations.clear();
  EXPECT_FALSE(CreateSharedFolder(path));
  EXPECT_FALSE(CreateSharedFolderUsing(path, xp));
  EXPECT_TRUE(gCreations.empty());
  EXPECT_FALSE(IsExistingFolder(temp_.Join("Long")));
}

}  // namespace
