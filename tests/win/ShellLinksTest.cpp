// Shortcut files written through the shell-link object, read back through it,
// and the group and desktop operations over the located shell folders.
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "ShellLinks.h"
#include "LinkReader.h"
#include "TestSupport.h"

namespace {

using twxtest::ReadLink;
using twxtest::TLinkInfo;

const WORD kCtrlAltF4 = (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | VK_F4;

// The hot-key word as stored in the file (offset 0x40 of the header).
int StoredHotKey(const std::string& file) {
  std::string bytes;
  if (!twxtest::ReadWholeFile(file, &bytes) || bytes.size() < 0x42) return -1;
  return static_cast<unsigned char>(bytes[0x40]) | static_cast<unsigned char>(bytes[0x41]) << 8;
}

int CountFiles(const std::string& pattern) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

// The shell folders are process-wide; each test sets its own and puts them back.
class ShellFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPrograms_ = ProgramsFolder;
    savedDesktop_ = DesktopFolder;
    ProgramsFolder = temp_.Join("Programs");
    DesktopFolder = temp_.Join("Desktop");
    ASSERT_TRUE(CreateDirectoryA(ProgramsFolder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(DesktopFolder.c_str(), nullptr));
    target_ = temp_.Join("App\\Trawlix.exe");
    ASSERT_TRUE(CreateDirectoryA(temp_.Join("App").c_str(), nullptr));
    ASSERT_TRUE(twxtest::WriteWholeFile(target_, "MZ"));
  }
  void TearDown() override {
    ProgramsFolder = savedPrograms_;
    DesktopFolder = savedDesktop_;
  }
  twxtest::TempFolder temp_;
  std::string target_;

 private:
  std::string savedPrograms_, savedDesktop_;
};

TEST_F(ShellFolders, ShortcutReadsBackWithTargetWorkingFolderNameAndHotKeyAndIsReplacedWhole) {
  ASSERT_TRUE(CreateShellShortcut(target_, DesktopFolder, "Trawlix", false, kCtrlAltF4));
  const std::string file = DesktopFolder + "\\Trawlix.lnk";
  TLinkInfo info = ReadLink(file);
  ASSERT_TRUE(info.loaded);
  EXPECT_EQ(UpperAscii(info.target), UpperAscii(target_));
  EXPECT_EQ(UpperAscii(info.workingFolder), UpperAscii(temp_.Join("App")));
  EXPECT_EQ(info.description, "Trawlix");
  EXPECT_EQ(info.hotKey, 0x0673);
  EXPECT_EQ(StoredHotKey(file), 0x0673);
  // Hot-key 0 leaves none, and a second call replaces the first.
  ASSERT_TRUE(CreateShellShortcut(target_, DesktopFolder, "Trawlix", true, 0));
  EXPECT_EQ(CountFiles(DesktopFolder + "\\*.lnk"), 1);
  EXPECT_EQ(ReadLink(file).hotKey, 0);
  EXPECT_EQ(StoredHotKey(file), 0);
}

TEST_F(ShellFolders, AMissingFolderIsNotCreatedAndGivesFalse) {
  const std::string folder = temp_.Join("NoSuchGroup");
  EXPECT_FALSE(CreateShellShortcut(target_, folder, "Trawlix", true, 0));
  EXPECT_FALSE(IsExistingFolder(folder));
}

TEST_F(ShellFolders, GroupAndDesktopShortcutsGoIntoTheLocatedFolders) {
  EXPECT_TRUE(CreateGroupFolder("Trawlmark"));
  // A second creation reports false; the shortcuts are still written into it.
  EXPECT_FALSE(CreateGroupFolder("Trawlmark"));
  EXPECT_TRUE(AddGroupShortcut("Trawlmark", "Trawlix", target_, kCtrlAltF4));
  EXPECT_TRUE(AddGroupShortcut("", "Top", target_, 0));
  EXPECT_TRUE(AddDesktopShortcut("Trawlmark", target_, kCtrlAltF4));
  EXPECT_EQ(ReadLink(ProgramsFolder + "\\Trawlmark\\Trawlix.lnk").hotKey, 0x0673);
  EXPECT_TRUE(ReadLink(ProgramsFolder + "\\Top.lnk").loaded);
  EXPECT_EQ(ReadLink(DesktopFolder + "\\Trawlmark.lnk").description, "Trawlmark");
}

TEST_F(ShellFolders, UnknownFoldersMakeEveryOperationFailQuietly) {
  ProgramsFolder.clear();
  DesktopFolder.clear();
  EXPECT_FALSE(CreateGroupFolder("Trawlmark"));
  EXPECT_FALSE(AddGroupShortcut("Trawlmark", "Trawlix", target_, 0));
  EXPECT_FALSE(AddGroupShortcut("", "Trawlix", target_, 0));
  EXPECT_FALSE(AddDesktopShortcut("Trawlmark", target_, 0));
  ClearGroupShortcuts("Trawlmark");
  // Nothing landed in the current folder or the drive root instead.
  EXPECT_FALSE(IsExistingFile("\\Trawlmark\\Trawlix.lnk"));
  EXPECT_FALSE(IsExistingFile("\\Trawlmark.lnk"));
  EXPECT_FALSE(IsExistingFile("Trawlmark.lnk"));
}

TEST(LocateShellFolders, AdministratorsOfTheNtFamilyGetTheAllUsersGroup) {
  EXPECT_EQ(ProgramsFolderIdFor(VER_PLATFORM_WIN32_NT, true), CSIDL_COMMON_PROGRAMS);
  EXPECT_EQ(ProgramsFolderIdFor(VER_PLATFORM_WIN32_NT, false), CSIDL_PROGRAMS);
  EXPECT_EQ(ProgramsFolderIdFor(VER_PLATFORM_WIN32_WINDOWS, true), CSIDL_PROGRAMS);
  const std::string savedPrograms = ProgramsFolder, savedDesktop = DesktopFolder;
  LocateShellFolders();
  // The Wine user is an administrator.
  EXPECT_EQ(ProgramsFolderId, IsAdministrator() ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
  EXPECT_TRUE(IsExistingFolder(ProgramsFolder)) << ProgramsFolder;
  EXPECT_TRUE(IsExistingFolder(DesktopFolder)) << DesktopFolder;
  EXPECT_NE(ProgramsFolder.back(), '\\');
  EXPECT_NE(DesktopFolder.back(), '\\');
  EXPECT_NE(ProgramsFolder, DesktopFolder);
  ProgramsFolder = savedPrograms;
  DesktopFolder = savedDesktop;
}

}  // namespace
