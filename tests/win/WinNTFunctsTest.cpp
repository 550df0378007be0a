// Folders with an access list for everyone. This system does not store access
// lists (Wine keeps Unix mode bits), so the tests look at the list that is built
// and handed to the folder creation, and at every way back to a plain creation.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "SystemLibrary.h"
#include "TestSupport.h"
#include "WinNTFuncts.h"

namespace {

struct TAce {
  BYTE type;
  BYTE flags;
  DWORD mask;
  std::string sid;
};

std::vector<TAce> AcesOf(PACL acl) {
  std::vector<TAce> aces;
  if (!acl) return aces;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(acl, i, &raw)) break;
    ACCESS_ALLOWED_ACE* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
    char* sid = nullptr;
    std::string text;
    if (ConvertSidToStringSidA(&ace->SidStart, &sid)) {
      text = sid;
      LocalFree(sid);
    }
    aces.push_back({ace->Header.AceType, ace->Header.AceFlags, ace->Mask, text});
  }
  return aces;
}

const char kEveryone[] = "S-1-1-0";
const DWORD kEveryoneRights = 0x000101FF;
const BYTE kBothInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// A folder creation as the system does it, recording what it was handed.
struct TCreation {
  std::string path;
  bool withAttributes;
  bool daclPresent;
  std::vector<TAce> aces;
};
std::vector<TCreation> gCreations;

BOOL WINAPI RecordingCreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
  TCreation creation = {path, attributes != nullptr, false, {}};
  if (attributes) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted)) {
      creation.daclPresent = present != FALSE;
      creation.aces = AcesOf(dacl);
    }
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
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  version.dwPlatformId = platform;
  version.dwMajorVersion = major;
  version.dwMinorVersion = minor;
  return version;
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
  std::vector<TAce> ParentAces(const std::string& parent) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::string name = parent;
    EXPECT_EQ(GetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    std::vector<TAce> aces = AcesOf(dacl);
    LocalFree(descriptor);
    return aces;
  }

  twxtest::TempFolder temp_;
  HMODULE advapi32_ = nullptr;
  TSecurityFunctions real_ = {};
  const TSecurityFunctions missing_ = {};
};

// The parent's entries are kept, any entry for Everyone is replaced by the one
// that lets everyone change the folder's contents, and nothing else is added.
void ExpectParentPlusEveryone(const std::vector<TAce>& parent, const std::vector<TAce>& built) {
  std::vector<TAce> expected;
  for (const TAce& ace : parent)
    if (ace.sid != kEveryone) expected.push_back(ace);
  int everyone = 0;
  for (const TAce& ace : built) {
    if (ace.sid == kEveryone) {
      ++everyone;
      EXPECT_EQ(ace.type, ACCESS_ALLOWED_ACE_TYPE);
      EXPECT_EQ(ace.mask, kEveryoneRights);
      EXPECT_EQ(ace.flags, kBothInherit);
    }
  }
  EXPECT_EQ(everyone, 1);
  ASSERT_EQ(built.size(), expected.size() + 1);
  for (const TAce& want : expected) {
    bool found = false;
    for (const TAce& ace : built)
      found = found || (ace.sid == want.sid && ace.mask == want.mask && ace.flags == want.flags &&
                        ace.type == want.type);
    EXPECT_TRUE(found) << "lost the parent's entry for " << want.sid;
  }
}

TEST_F(SharedFolder, TheBuiltListKeepsOtherEntriesAndReplacesEveryones) {
  // A parent list of our own: SYSTEM full, Users read, Everyone read only.
  BYTE buffer[1024];
  PACL parent = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(parent, sizeof buffer, ACL_REVISION));
  PSID system = nullptr, users = nullptr, everyone = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-18", &system));
  ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-32-545", &users));
  ASSERT_TRUE(ConvertStringSidToSidA(kEveryone, &everyone));
  ASSERT_TRUE(AddAccessAllowedAceEx(parent, ACL_REVISION, kBothInherit, GENERIC_ALL, system));
  ASSERT_TRUE(AddAccessAllowedAceEx(parent, ACL_REVISION, CONTAINER_INHERIT_ACE, FILE_GENERIC_READ, users));
  ASSERT_TRUE(AddAccessAllowedAceEx(parent, ACL_REVISION, 0, FILE_GENERIC_READ, everyone));
  const std::vector<TAce> parentAces = AcesOf(parent);

  PACL built = nullptr;
  ASSERT_EQ(BuildSharedFolderAcl(real_.setEntriesInAcl, parent, &built), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(built, nullptr);
  ExpectParentPlusEveryone(parentAces, AcesOf(built));
  LocalFree(built);
  LocalFree(system);
  LocalFree(users);
  LocalFree(everyone);

  // Without a parent list, Everyone's entry is the only one.
  ASSERT_EQ(BuildSharedFolderAcl(real_.setEntriesInAcl, nullptr, &built), static_cast<DWORD>(ERROR_SUCCESS));
  ExpectParentPlusEveryone({}, AcesOf(built));
  LocalFree(built);
}

TEST_F(SharedFolder, TheFolderGetsTheListParentsArePlain) {
  const std::string path = temp_.Join("A\\B\\C");
  const std::vector<TAce> parentAces = ParentAces(temp_.Path());
  ASSERT_TRUE(CreateSharedFolderUsing(path, System(Version(VER_PLATFORM_WIN32_NT, 5, 0), real_)));
  EXPECT_TRUE(IsExistingFolder(path));
  // A and B are created outermost first, without attributes; C with the list.
  ASSERT_EQ(gCreations.size(), 3u);
  EXPECT_EQ(gCreations[0].path, temp_.Join("A\\"));
  EXPECT_FALSE(gCreations[0].withAttributes);
  EXPECT_EQ(gCreations[1].path, temp_.Join("A\\B\\"));
  EXPECT_FALSE(gCreations[1].withAttributes);
  EXPECT_EQ(gCreations[2].path, path);
  ASSERT_TRUE(gCreations[2].withAttributes);
  EXPECT_TRUE(gCreations[2].daclPresent);
  ExpectParentPlusEveryone(ParentAces(temp_.Join("A\\B")), gCreations[2].aces);
  EXPECT_FALSE(parentAces.empty());
}

TEST_F(SharedFolder, ThisMachineOffersEverythingTheListNeeds) {
  // Wine reports the NT family, version 6.1: the list is built and handed over.
  HMODULE advapi32 = nullptr;
  TSharedFolderSystem machine = MachineSharedFolderSystem(&advapi32);
  EXPECT_EQ(machine.version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_GE(machine.version.dwMajorVersion, 5u);
  EXPECT_NE(advapi32, nullptr);
  EXPECT_NE(machine.security.getNamedSecurityInfo, nullptr);
  EXPECT_NE(machine.security.setEntriesInAcl, nullptr);
  machine.createDirectory = RecordingCreateDirectory;
  EXPECT_TRUE(CreateSharedFolderUsing(temp_.Join("Machine"), machine));
  ASSERT_EQ(gCreations.size(), 1u);
  ExpectParentPlusEveryone(ParentAces(temp_.Path()), gCreations[0].aces);
  if (advapi32) FreeLibrary(advapi32);

  const std::string path = temp_.Join("Shared");
  EXPECT_TRUE(CreateSharedFolder(path));
  EXPECT_TRUE(IsExistingFolder(path));
  EXPECT_TRUE(CreateSharedFolder(path));  // exists: true, untouched
}

TEST_F(SharedFolder, TheParentIsAskedForWithoutItsBackslash) {
  TSecurityFunctions recording = real_;
  recording.getNamedSecurityInfo = RecordingGetNamedSecurityInfo;
  ASSERT_TRUE(CreateSharedFolderUsing(temp_.Join("X\\Y"), System(Version(VER_PLATFORM_WIN32_NT, 6, 1), recording)));
  EXPECT_EQ(gAskedParent, temp_.Join("X"));
  ASSERT_FALSE(gCreations.empty());
  EXPECT_TRUE(gCreations.back().withAttributes);

  // Directly below a drive root the parent is the drive alone (asked here
  // without creating anything in the root).
  TSharedFolderSecurity security;
  ASSERT_TRUE(PrepareSharedFolderSecurity("C:", recording, &security));
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

TEST_F(SharedFolder, WhateverExistsIsLeftAsItIs) {
  const std::string file = temp_.Join("taken");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "data"));
  EXPECT_TRUE(CreateSharedFolderUsing(file, System(Version(VER_PLATFORM_WIN32_NT, 5, 1), real_)));
  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_EQ(twxtest::ReadWholeFileOr(file, ""), "data");
  EXPECT_TRUE(CreateSharedFolderUsing(temp_.Path(), System(Version(VER_PLATFORM_WIN32_NT, 5, 1), real_)));
  EXPECT_TRUE(gCreations.empty());
}

BOOL WINAPI RefusingCreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
  if (std::string(path).find("\\Refused") != std::string::npos) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return RecordingCreateDirectory(path, attributes);
}

TEST_F(SharedFolder, AParentThatCannotBeCreatedEndsWithFalse) {
  // A file stands where a parent folder should be.
  ASSERT_TRUE(twxtest::WriteWholeFile(temp_.Join("file"), "x"));
  EXPECT_FALSE(CreateSharedFolderUsing(temp_.Join("file\\Q"), System(Version(VER_PLATFORM_WIN32_NT, 5, 1), real_)));
  EXPECT_TRUE(IsExistingFile(temp_.Join("file")));

  // The parents made before the failure stay.
  TSharedFolderSystem refusing = System(Version(VER_PLATFORM_WIN32_NT, 5, 1), real_);
  refusing.createDirectory = RefusingCreateDirectory;
  gCreations.clear();
  EXPECT_FALSE(CreateSharedFolderUsing(temp_.Join("P\\Refused\\Q"), refusing));
  EXPECT_TRUE(IsExistingFolder(temp_.Join("P")));
  EXPECT_FALSE(IsExistingFolder(temp_.Join("P\\Refused")));
  ASSERT_EQ(gCreations.size(), 1u);

  // A network path's first prefix "\\" can be neither found nor created.
  EXPECT_FALSE(CreateSharedFolder("\\\\twx-no-such-server\\share\\Trawlix"));
}

TEST_F(SharedFolder, APathLongerThan259CharactersCreatesNothing) {
  std::string path = temp_.Join("Long");
  while (path.size() < 300) path += "\\abcdefghij";
  EXPECT_FALSE(CreateSharedFolder(path));
  EXPECT_FALSE(CreateSharedFolderUsing(path, System(Version(VER_PLATFORM_WIN32_NT, 5, 1), real_)));
  EXPECT_TRUE(gCreations.empty());
  EXPECT_FALSE(IsExistingFolder(temp_.Join("Long")));
}

}  // namespace
