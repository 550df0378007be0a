// Folders with an access list for everyone. Wine keeps Unix mode bits rather
// than access lists, so the tests look at the list handed to the folder
// creation, and at every failure that must end in a plain folder or in false.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <set>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "TestSupport.h"
#include "WinNTFuncts.h"

namespace {

// Each entry of a list as "sid type flags mask".
std::multiset<std::string> AcesOf(PACL acl) {
  std::multiset<std::string> aces;
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    void* raw = nullptr;
    char* sid = nullptr;
    if (!GetAce(acl, i, &raw) || !ConvertSidToStringSidA(&static_cast<ACCESS_ALLOWED_ACE*>(raw)->SidStart, &sid))
      continue;
    const ACE_HEADER& header = static_cast<ACCESS_ALLOWED_ACE*>(raw)->Header;
    aces.insert(std::string(sid) + " " + std::to_string(header.AceType) + " " + std::to_string(header.AceFlags) +
                " " + std::to_string(static_cast<ACCESS_ALLOWED_ACE*>(raw)->Mask));
    LocalFree(sid);
  }
  return aces;
}

// A folder creation as the system does it, recording what it was handed;
// a path with "\Refused" in it is refused.
struct TCreation {
  std::string path;
  bool withList;
  std::multiset<std::string> aces;
};
std::vector<TCreation> gCreations;
BOOL WINAPI RecordingCreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  const bool withList = attributes &&
                        GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted) &&
                        present;
  gCreations.push_back({path, withList, AcesOf(dacl)});
  if (std::string(path).find("\\Refused") == std::string::npos) return CreateDirectoryA(path, attributes);
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
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

OSVERSIONINFOA Version(DWORD platform, DWORD major, DWORD minor) {
  return {sizeof(OSVERSIONINFOA), major, minor, 0, platform, ""};
}

class SharedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    gCreations.clear();
    machine_ = MachineSharedFolderSystem(&advapi32_);
    ASSERT_NE(machine_.security.getNamedSecurityInfo, nullptr) << "Wine reports the NT family, 6.1";
    ASSERT_NE(machine_.security.setEntriesInAcl, nullptr);
    machine_.createDirectory = RecordingCreateDirectory;
  }
  void TearDown() override {
    if (advapi32_) FreeLibrary(advapi32_);
  }
  twxtest::TempFolder temp_;
  HMODULE advapi32_ = nullptr;
  TSharedFolderSystem machine_ = {};
};

TEST_F(SharedFolder, ParentsArePlainTheFolderGetsItsParentsListWithEveryonesEntryReplaced) {
  const std::string path = temp_.Join("A\\B\\C");
  ASSERT_TRUE(CreateSharedFolderUsing(path, machine_));
  EXPECT_TRUE(IsExistingFolder(path));
  ASSERT_EQ(gCreations.size(), 3u);
  EXPECT_FALSE(gCreations[0].withList || gCreations[1].withList);
  ASSERT_TRUE(gCreations[2].withList);
  EXPECT_EQ(gCreations[2].path, path);
  EXPECT_EQ(gCreations[2].aces.count("S-1-1-0 0 3 " + std::to_string(0x000101FF)), 1u);

  // A parent list of our own: SYSTEM full, Everyone read only.
  BYTE buffer[512];
  PACL parent = reinterpret_cast<PACL>(buffer);
  PSID system = nullptr, everyone = nullptr;
  ASSERT_TRUE(InitializeAcl(parent, sizeof buffer, ACL_REVISION));
  ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-18", &system) && ConvertStringSidToSidA("S-1-1-0", &everyone));
  ASSERT_TRUE(AddAccessAllowedAceEx(parent, ACL_REVISION, OBJECT_INHERIT_ACE, GENERIC_ALL, system));
  ASSERT_TRUE(AddAccessAllowedAceEx(parent, ACL_REVISION, 0, FILE_GENERIC_READ, everyone));
  for (PACL from : {parent, static_cast<PACL>(nullptr)}) {
    PACL built = nullptr;
    ASSERT_EQ(BuildSharedFolderAcl(machine_.security.setEntriesInAcl, from, &built), 0u);
    // Inherited by files and folders: everyone may change the folder's contents.
    std::multiset<std::string> expected = {"S-1-1-0 0 3 " + std::to_string(0x000101FF)};
    for (const std::string& kept : AcesOf(from))
      if (kept.compare(0, 8, "S-1-1-0 ") != 0) expected.insert(kept);
    EXPECT_EQ(AcesOf(built), expected);
    LocalFree(built);
  }
  LocalFree(system);
  LocalFree(everyone);
}

TEST_F(SharedFolder, EveryFailureOfTheSecurityStepsFallsBackToAPlainFolder) {
  const TSecurityFunctions real = machine_.security, noList = {FailingGetNamedSecurityInfo, real.setEntriesInAcl},
                           noMerge = {real.getNamedSecurityInfo, FailingSetEntriesInAcl};
  const struct {
    const char* name;
    OSVERSIONINFOA version;
    TSecurityFunctions security;
    int securityCalls;
  } rows[] = {
      {"functions missing", Version(VER_PLATFORM_WIN32_NT, 5, 1), {}, 0},
      {"one function missing", Version(VER_PLATFORM_WIN32_NT, 5, 1), {real.getNamedSecurityInfo, nullptr}, 0},
      {"parent unreadable", Version(VER_PLATFORM_WIN32_NT, 5, 1), noList, 1},
      {"merge fails", Version(VER_PLATFORM_WIN32_NT, 5, 1), noMerge, 1},
      {"Windows NT 4", Version(VER_PLATFORM_WIN32_NT, 4, 0), noList, 0},
      {"Windows 98", Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10), noList, 0},
      {"version unknown", OSVERSIONINFOA(), noList, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    gCreations.clear();
    gSecurityCalls = 0;
    const std::string path = temp_.Join(std::string(row.name) + "\\Folder");
    EXPECT_TRUE(CreateSharedFolderUsing(path, {row.version, row.security, RecordingCreateDirectory}));
    EXPECT_TRUE(IsExistingFolder(path));
    ASSERT_EQ(gCreations.size(), 2u);
    EXPECT_FALSE(gCreations[0].withList || gCreations[1].withList);
    EXPECT_EQ(gSecurityCalls, row.securityCalls);
  }
}

TEST_F(SharedFolder, WhatExistsStaysAndWhatCannotBeCreatedEndsWithFalse) {
  ASSERT_TRUE(twxtest::WriteWholeFile(temp_.Join("taken"), "data"));
  EXPECT_TRUE(CreateSharedFolderUsing(temp_.Join("taken"), machine_));
  EXPECT_TRUE(gCreations.empty());
  EXPECT_EQ(twxtest::ReadWholeFileOr(temp_.Join("taken"), ""), "data");
  // A file where a parent should be; a parent refused: those made before it stay.
  EXPECT_FALSE(CreateSharedFolderUsing(temp_.Join("taken\\Q"), machine_));
  EXPECT_FALSE(CreateSharedFolderUsing(temp_.Join("P\\Refused\\Q"), machine_));
  EXPECT_TRUE(IsExistingFolder(temp_.Join("P")));
  EXPECT_FALSE(IsExistingFolder(temp_.Join("P\\Refused")));
  // Too long for the system's buffers: nothing at all is created.
  std::string path = temp_.Join("Long");
  while (path.size() < 300) path += "\\abcdefghij";
  gCreations.clear();
  EXPECT_FALSE(CreateSharedFolderUsing(path, machine_));
  EXPECT_TRUE(gCreations.empty());
}

}  // namespace
