// The uninstaller's safety: it clears only a folder that holds the product,
// never a drive root, and leaves what others keep and the entries of another
// installation. The whole removal is driven by the setup's scenarios.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "FileUtils.h"
#include "RegistrySandbox.h"
#include "SampleTestSupport.h"
#include "TestSupport.h"
#include "Uninstall.h"

namespace {

using twxtest::ReadRegString;
using twxtest::WriteRegString;

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Trawlmark";

// An installation in folder as the setup leaves it, with its machine entries.
void PlantInstallation(const std::string& folder) {
  ASSERT_TRUE(sampletest::MakeInstalledProduct(folder));
  WriteRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"" + folder + "\\uninst.exe\"");
  WriteRegString(HKEY_CLASSES_ROOT, ".twx", "", "trawlix_query_folder");
  WriteRegString(HKEY_CLASSES_ROOT, "trawlix_query_folder\\shell\\open\\command", "", folder + "\\Trawlix.exe");
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class Uninstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Active());
    places_.destination = folder_.Join("Trawlmark 5.3");
    places_.userPrograms = folder_.Join("Programs");
    places_.helperFolder = folder_.Join("VarnTech");
    MakeFolderPath(places_.userPrograms + "\\Trawlmark");
    MakeFolderPath(places_.helperFolder);
    ASSERT_TRUE(twxtest::WriteWholeFile(places_.userPrograms + "\\Trawlmark\\Trawlix.lnk", "L"));
    PlantInstallation(places_.destination);
  }
  twxtest::RegistrySandbox sandbox_;
  twxtest::TempFolder folder_;
  twx::TUninstallPlaces places_;
};

TEST_F(Uninstaller, LeavesWhatOthersKeptInTheFolderTheGroupAndTheHelperFolder) {
  ASSERT_TRUE(twxtest::WriteWholeFile(places_.userPrograms + "\\Trawlmark\\notes.txt", "mine"));
  ASSERT_TRUE(twxtest::WriteWholeFile(places_.destination + "\\My notes.txt", "mine"));
  ASSERT_TRUE(twxtest::WriteWholeFile(places_.helperFolder + "\\other.dll", "another product of the maker"));
  EXPECT_FALSE(twx::Uninstall(places_)) << "the folder stays for the user's file";
  EXPECT_EQ(twxtest::ReadWholeFileOr(places_.destination + "\\My notes.txt", ""), "mine");
  for (const char* gone : {"\\Trawlix.exe", "\\uninst.exe", "\\Filters"})
    EXPECT_FALSE(Exists(places_.destination + gone)) << gone;
  EXPECT_FALSE(Exists(places_.userPrograms + "\\Trawlmark\\Trawlix.lnk"));
  EXPECT_TRUE(Exists(places_.userPrograms + "\\Trawlmark\\notes.txt"));
  EXPECT_TRUE(Exists(places_.helperFolder + "\\other.dll"));
}

TEST_F(Uninstaller, LeavesTheEntriesOfAnotherInstallationAndAFileTypeAnotherProgramTookOver) {
  // The entries name another folder that still holds the product.
  const std::string current = folder_.Join("Current");
  PlantInstallation(current);
  EXPECT_TRUE(twx::Uninstall(places_));
  EXPECT_FALSE(Exists(places_.destination));
  EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + current + "\\uninst.exe\"");
  EXPECT_TRUE(twxtest::RegKeyExists(HKEY_CLASSES_ROOT, "trawlix_query_folder\\shell\\open\\command"));
  EXPECT_TRUE(Exists(places_.userPrograms + "\\Trawlmark\\Trawlix.lnk"));
  // Once that folder no longer holds the product, its entries are stale and go,
  // but not the extension that now opens in another program.
  ASSERT_TRUE(DeleteFileA((current + "\\Trawlix.exe").c_str()));
  EXPECT_TRUE(twx::OwnsMachineEntries(places_.destination));
  WriteRegString(HKEY_CLASSES_ROOT, ".twx", "", "otherapp.document");
  twx::RemoveRegistryEntries();
  EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, ".twx", ""), "otherapp.document");
  EXPECT_FALSE(twxtest::RegKeyExists(HKEY_CLASSES_ROOT, "trawlix_query_folder"));
  EXPECT_FALSE(twxtest::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(Uninstaller, ClearsOnlyFoldersThatHoldTheProductAndNeverARoot) {
  const std::string elsewhere = folder_.Join("Downloads");
  ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
  // Registered but without its main program (a damaged installation): still the product's.
  ASSERT_TRUE(DeleteFileA((places_.destination + "\\Trawlix.exe").c_str()));
  const struct {
    std::string folder, registered;
    bool clears;
  } rows[] = {
      {places_.destination, places_.destination, true},
      {places_.destination + "\\", places_.destination, true},
      {elsewhere, places_.destination, false},
      {folder_.Join("missing"), folder_.Join("missing"), false},
      {"", "", false},
      {"C:\\", "C:", false},
      {"C:", "C:", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", row.registered + "\\uninst.exe"));
    EXPECT_EQ(twx::IsInstallationFolder(row.folder), row.clears);
  }
  ASSERT_TRUE(twxtest::WriteWholeFile(elsewhere + "\\Trawlix.exe", "MZ"));
  EXPECT_TRUE(twx::IsInstallationFolder(elsewhere)) << "it holds the product";
}

}  // namespace
