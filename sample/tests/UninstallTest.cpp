// The uninstaller removes what a setup put on the machine and nothing else.
// Its steps run in-process against a redirected registry and scratch folders;
// uninst.exe itself runs against the prefix's real registry (it is a process
// of its own, which no redirection reaches) and the test removes what it planted.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "FileUtils.h"
#include "RegistrySandbox.h"
#include "Robot.h"
#include "SampleTestSupport.h"
#include "TestSupport.h"
#include "Uninstall.h"

namespace {

using twxtest::ReadRegString;
using twxtest::RegKeyExists;
using twxtest::WriteRegString;

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Trawlmark";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kExtensionKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{5A3C9E10-7B42-4D1E-9F0A-3C61B2D84E77}";

// What the setup's registry steps write for an installation in folder.
void PlantRegistry(const std::string& folder) {
  WriteRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Trawlmark");
  WriteRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"" + folder + "\\uninst.exe\"");
  WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, "VTQBox", "C:\\Program Files\\Common Files\\VarnTech\\QBox.exe");
  WriteRegString(HKEY_LOCAL_MACHINE, kExtensionKey, "ButtonText", "Trawlix");
  WriteRegString(HKEY_LOCAL_MACHINE, kExtensionKey, "Exec", folder + "\\Trawlix.exe");
  WriteRegString(HKEY_CLASSES_ROOT, ".twx", "", "trawlix_query_folder");
  WriteRegString(HKEY_CLASSES_ROOT, "trawlix_query_folder", "", "Trawlix Query Folder");
  WriteRegString(HKEY_CLASSES_ROOT, "trawlix_query_folder\\DefaultIcon", "", folder + "\\Trawlix.exe,-204");
  WriteRegString(HKEY_CLASSES_ROOT, "trawlix_query_folder\\shell\\open\\command", "",
                 "\"" + folder + "\\Trawlix.exe\" \"%1\"");
}

bool Exists(const std::string& path) { return IsExistingFile(path) || IsExistingFolder(path); }

bool AnyProductRegistryLeft() {
  return RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) || RegKeyExists(HKEY_LOCAL_MACHINE, kExtensionKey) ||
         !ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, "VTQBox").empty() ||
         RegKeyExists(HKEY_CLASSES_ROOT, ".twx") || RegKeyExists(HKEY_CLASSES_ROOT, "trawlix_query_folder");
}

// An installation as the setup leaves it: the payload with the patched
// programs, the settings file, the report library, a read-only licence.
void PlantInstallation(const std::string& folder) {
  ASSERT_TRUE(sampletest::MakeInstalledProduct(folder));
  ASSERT_TRUE(twxtest::WriteWholeFile(folder + "\\Trawlix.ini", "[Queries]\r\nLanguage=English\r\n"));
  ASSERT_TRUE(CreateDirectoryA((folder + "\\Library").c_str(), nullptr));
  ASSERT_TRUE(twxtest::WriteWholeFile(folder + "\\Library\\report 1.txt", "kept by the user"));
  SetFileAttributesA((folder + "\\License.txt").c_str(), FILE_ATTRIBUTE_READONLY);
}

void PlantGroup(const std::string& programs) {
  ASSERT_TRUE(CreateDirectoryA((programs + "\\Trawlmark").c_str(), nullptr));
  for (const char* name : {"Trawlix", "Trawlix Help", "Trawlix Report Library", "Trawlix License Agreement"})
    ASSERT_TRUE(twxtest::WriteWholeFile(programs + "\\Trawlmark\\" + name + ".lnk", "L"));
}

class Uninstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Active());
    places_.destination = folder_.Join("Trawlmark 5.3");
    places_.commonPrograms = folder_.Join("Common Programs");
    places_.userPrograms = folder_.Join("Programs");
    places_.desktop = folder_.Join("Desktop");
    places_.helperFolder = folder_.Join("VarnTech");
    for (const std::string* path : {&places_.commonPrograms, &places_.userPrograms, &places_.desktop,
                                    &places_.helperFolder})
      ASSERT_TRUE(CreateDirectoryA(path->c_str(), nullptr));
    PlantInstallation(places_.destination);
    PlantRegistry(places_.destination);
  }
  twxtest::RegistrySandbox sandbox_;
  twxtest::TempFolder folder_;
  twx::TUninstallPlaces places_;
};

TEST_F(Uninstaller, RemovesTheInstallationTheGroupsTheHelperAndTheRegistryEntries) {
  PlantGroup(places_.commonPrograms);
  PlantGroup(places_.userPrograms);
  ASSERT_TRUE(twxtest::WriteWholeFile(places_.desktop + "\\Trawlmark.lnk", "L"));
  ASSERT_TRUE(twxtest::WriteWholeFile(places_.desktop + "\\Other.lnk", "L"));
  WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, "OtherTool", "C:\\other.exe");
  WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other",
                 "DisplayName", "Other");
  // A running helper in the shared folder, as the setup leaves it.
  const std::string helperExe = places_.helperFolder + "\\QBox.exe";
  ASSERT_TRUE(CopyFileA(sampletest::PayloadPath("QBox.exe").c_str(), helperExe.c_str(), FALSE));
  sampletest::TProgram helper;
  ASSERT_TRUE(helper.Start(helperExe));
  // Claimed its instance file: it waits in its message loop (the file alone
  // exists a moment before the helper has written and holds it).
  ASSERT_TRUE(helper.WaitUntilIdle(twxtest::kUntilDone));
  // Idle may come before the claim (making the window can wait for messages):
  // the file holds the window's four bytes once the uninstaller can use it.
  ASSERT_TRUE(sampletest::WaitForFileSize(places_.helperFolder + "\\QBox.tmp", 4, twxtest::kUntilDone));

  EXPECT_TRUE(twx::Uninstall(places_));

  EXPECT_FALSE(Exists(places_.destination));
  EXPECT_FALSE(AnyProductRegistryLeft());
  EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, "OtherTool"), "C:\\other.exe");
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other"));
  EXPECT_FALSE(Exists(places_.commonPrograms + "\\Trawlmark"));
  EXPECT_FALSE(Exists(places_.userPrograms + "\\Trawlmark"));
  EXPECT_FALSE(Exists(places_.desktop + "\\Trawlmark.lnk"));
  EXPECT_TRUE(Exists(places_.desktop + "\\Other.lnk"));
  EXPECT_EQ(helper.WaitForExit(twxtest::kUntilDone), 0u);
  EXPECT_FALSE(Exists(places_.helperFolder));
}

TEST_F(Uninstaller, LeavesWhatOthersKeptInTheFolderAndTheGroup) {
  PlantGroup(places_.userPrograms);
  ASSERT_TRUE(twxtest::WriteWholeFile(places_.userPrograms + "\\Trawlmark\\notes.txt", "mine"));
  ASSERT_TRUE(twxtest::WriteWholeFile(places_.destination + "\\My notes.txt", "mine"));
  ASSERT_TRUE(twxtest::WriteWholeFile(places_.helperFolder + "\\other.dll", "another product of the maker"));

  EXPECT_FALSE(twx::Uninstall(places_));

  EXPECT_EQ(twxtest::ReadWholeFileOr(places_.destination + "\\My notes.txt", ""), "mine");
  EXPECT_FALSE(Exists(places_.destination + "\\Trawlix.exe"));
  EXPECT_FALSE(Exists(places_.destination + "\\uninst.exe"));
  EXPECT_FALSE(Exists(places_.destination + "\\Filters"));
  EXPECT_FALSE(Exists(places_.userPrograms + "\\Trawlmark\\Trawlix.lnk"));
  EXPECT_TRUE(Exists(places_.userPrograms + "\\Trawlmark\\notes.txt"));
  EXPECT_TRUE(Exists(places_.helperFolder + "\\other.dll"));
}

TEST_F(Uninstaller, LeavesAQueryFileTypeThatAnotherProgramTookOver) {
  WriteRegString(HKEY_CLASSES_ROOT, ".twx", "", "otherapp.document");
  twx::RemoveRegistryEntries();
  EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, ".twx", ""), "otherapp.document");
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "trawlix_query_folder"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(Uninstaller, AnOlderCopyLeavesTheEntriesOfTheRegisteredInstallation) {
  // The entries name another folder that still holds the product.
  const std::string current = folder_.Join("Current");
  PlantInstallation(current);
  PlantRegistry(current);
  PlantGroup(places_.userPrograms);
  EXPECT_FALSE(twx::OwnsMachineEntries(places_.destination));
  EXPECT_TRUE(twx::Uninstall(places_));
  EXPECT_FALSE(Exists(places_.destination));
  EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + current + "\\uninst.exe\"");
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "trawlix_query_folder\\shell\\open\\command"));
  EXPECT_TRUE(Exists(places_.userPrograms + "\\Trawlmark\\Trawlix.lnk"));
  // Once that folder no longer holds the product, its entries are stale and go.
  ASSERT_TRUE(DeleteFileA((current + "\\Trawlix.exe").c_str()));
  EXPECT_TRUE(twx::OwnsMachineEntries(places_.destination));
}

TEST_F(Uninstaller, ClearsOnlyFoldersThatHoldTheProduct) {
  EXPECT_TRUE(twx::IsInstallationFolder(places_.destination));
  EXPECT_EQ(twx::RegisteredInstallationFolder(), places_.destination);
  // Registered but without its main program (a damaged installation): still the product's.
  ASSERT_TRUE(DeleteFileA((places_.destination + "\\Trawlix.exe").c_str()));
  EXPECT_TRUE(twx::IsInstallationFolder(places_.destination));
  EXPECT_TRUE(twx::IsInstallationFolder(places_.destination + "\\"));
  // Anywhere else a copy of uninst.exe must not clear folders such as "Help".
  const std::string elsewhere = folder_.Join("Downloads");
  ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
  EXPECT_FALSE(twx::IsInstallationFolder(elsewhere));
  EXPECT_FALSE(twx::IsInstallationFolder(folder_.Join("missing")));
  EXPECT_FALSE(twx::IsInstallationFolder(""));
  ASSERT_TRUE(twxtest::WriteWholeFile(elsewhere + "\\Trawlix.exe", "MZ"));
  EXPECT_TRUE(twx::IsInstallationFolder(elsewhere));
  EXPECT_FALSE(twx::IsInstallationFolder("C:\\"));
  EXPECT_FALSE(twx::IsInstallationFolder("C:"));
}

// uninst.exe as a process of its own, on an installation registered in the
// prefix's real registry; whatever the program leaves there is removed after.
class UninstallerProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    destination_ = folder_.Join("Trawlmark 5.3");
    PlantInstallation(destination_);
    PlantRegistry(destination_);
  }
  void TearDown() override {
    for (const char* key : {kUninstallKey, kExtensionKey}) RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
    for (const char* key : {".twx", "trawlix_query_folder"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "VTQBox");
  }
  // The uninstaller's message box, once it shows the text.
  HWND WaitForBox(const std::string& text) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < twxtest::kUntilDone) {
      HWND box = robot::WaitForWindow("#32770", "Trawlmark 5.3 Uninstall", 500);
      if (box)
        for (const robot::TChild& child : robot::Children(box))
          if (child.text.find(text) != std::string::npos) return box;
    }
    return nullptr;
  }
  twxtest::TempFolder folder_;
  std::string destination_;
};

TEST_F(UninstallerProgram, RemovesItsOwnInstallationFolderSilently) {
  sampletest::TProgram uninstaller;
  ASSERT_TRUE(uninstaller.Start(destination_ + "\\uninst.exe", "/S"));
  EXPECT_EQ(uninstaller.WaitForExit(twxtest::kUntilDone), 0u);
  // The copy in the temporary folder finishes the work after the first process ended.
  EXPECT_TRUE(sampletest::WaitForFile(destination_, false, twxtest::kUntilDone));
  EXPECT_FALSE(AnyProductRegistryLeft());
}

TEST_F(UninstallerProgram, AsksFirstAndRemovesOnlyAfterYes) {
  {
    sampletest::TProgram uninstaller;
    ASSERT_TRUE(uninstaller.Start(destination_ + "\\uninst.exe"));
    HWND question = WaitForBox("Remove Trawlmark 5.3 from " + destination_ + "?");
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(robot::ClickButton(question, IDNO));
    EXPECT_EQ(uninstaller.WaitForExit(twxtest::kUntilDone), 0u);
    EXPECT_TRUE(Exists(destination_ + "\\Trawlix.exe"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  }
  sampletest::TProgram uninstaller;
  ASSERT_TRUE(uninstaller.Start(destination_ + "\\uninst.exe"));
  HWND question = WaitForBox("Remove Trawlmark 5.3 from ");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(robot::ClickButton(question, IDYES));
  EXPECT_EQ(uninstaller.WaitForExit(twxtest::kUntilDone), 0u);
  // The copy says when it is done; by then the folder is gone.
  HWND done = WaitForBox("Trawlmark 5.3 was removed from your computer.");
  ASSERT_NE(done, nullptr);
  EXPECT_FALSE(Exists(destination_));
  EXPECT_FALSE(AnyProductRegistryLeft());
  ASSERT_TRUE(robot::ClickButton(done, IDOK));
  EXPECT_TRUE(robot::WaitForWindowGone(done, twxtest::kUntilDone));
}

TEST_F(UninstallerProgram, RefusesAFolderWithoutTheProduct) {
  // A copy started elsewhere, while a registered installation exists.
  const std::string elsewhere = folder_.Join("Downloads");
  ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((elsewhere + "\\Help").c_str(), nullptr));
  ASSERT_TRUE(twxtest::WriteWholeFile(elsewhere + "\\Help\\guide.txt", "someone else's"));
  ASSERT_TRUE(CopyFileA(sampletest::PayloadPath("uninst.exe").c_str(), (elsewhere + "\\uninst.exe").c_str(), FALSE));
  sampletest::TProgram uninstaller;
  ASSERT_TRUE(uninstaller.Start(elsewhere + "\\uninst.exe", "/S"));
  EXPECT_EQ(uninstaller.WaitForExit(twxtest::kUntilDone), 1u);
  EXPECT_EQ(twxtest::ReadWholeFileOr(elsewhere + "\\Help\\guide.txt", ""), "someone else's");
  EXPECT_TRUE(Exists(elsewhere + "\\uninst.exe"));
  EXPECT_TRUE(Exists(destination_ + "\\Trawlix.exe"));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

}  // namespace
