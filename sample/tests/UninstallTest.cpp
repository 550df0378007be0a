// The uninstaller's safety: it clears only a folder that holds the product,
// never a drive root, and leaves what others keep and the entries of another
// installation. The whole removal is driven by the setup's scenarios.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "FileUtils.h"
#include "Product.h"
#include "TestSupport.h"
#include "Uninstall.h"

namespace {

using twxtest::ReadRegString;
using twxtest::WriteRegString;

// Two levels below the file type: removing it takes a walk through its subkeys.
const std::string kOpenCommandKey = std::string(kQueryFolderType) + "\\shell\\open\\command";

// An installation in folder as the setup leaves it, with its machine entries.
void PlantInstallation(const std::string& folder) {
  ASSERT_TRUE(twxtest::MakeInstalledProduct(folder));
  WriteRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"" + UninstallerPath(folder) + "\"");
  WriteRegString(HKEY_CLASSES_ROOT, kQueryFolderExtension, "", kQueryFolderType);
  WriteRegString(HKEY_CLASSES_ROOT, kOpenCommandKey, "", ProgramPath(folder));
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class Uninstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Active());
    places_.destination = folder_.Join("Trawlmark 5.3");
    places_.userPrograms = folder_.Join("Programs");
    places_.helperFolder = folder_.Join("VarnTech");
    MakeFolderPath(GroupFolderPath(places_.userPrograms));
    MakeFolderPath(places_.helperFolder);
    ASSERT_TRUE(twxtest::WriteWholeFile(GroupShortcut(), "L"));
    PlantInstallation(places_.destination);
  }
  std::string GroupShortcut() { return ShortcutPath(GroupFolderPath(places_.userPrograms), kProgramShortcutName); }
  twxtest::RegistrySandbox sandbox_;
  twxtest::TempFolder folder_;
  twx::TUninstallPlaces places_;
};

TEST_F(Uninstaller, LeavesWhatOthersKeptInTheFolderTheGroupAndTheHelperFolder) {
  const std::string kept[] = {GroupFolderPath(places_.userPrograms) + "\\notes.txt", places_.destination + "\\My notes.txt",
                              places_.helperFolder + "\\other.dll"};
  // A save copy that a setup cut off left beside a data file goes.
  const std::string copy = SaveCopyPathOf(places_.destination + "\\TWXData\\Set.db");
  for (const std::string& file : kept) ASSERT_TRUE(twxtest::WriteWholeFile(file, "mine"));
  ASSERT_TRUE(twxtest::WriteWholeFile(copy, "the user's sets"));
  EXPECT_FALSE(twx::Uninstall(places_)) << "the folder stays for the user's file";
  for (const std::string& file : kept) EXPECT_EQ(twxtest::ReadWholeFileOr(file, ""), "mine");
  for (const std::string& gone : {ProgramPath(places_.destination), UninstallerPath(places_.destination),
                                  places_.destination + "\\Filters", GroupShortcut(), copy})
    EXPECT_FALSE(Exists(gone)) << gone;
}

TEST_F(Uninstaller, LeavesTheEntriesOfAnotherInstallationAndAFileTypeAnotherProgramTookOver) {
  // The entries name another folder that still holds the product.
  const std::string current = folder_.Join("Current");
  PlantInstallation(current);
  EXPECT_TRUE(twx::Uninstall(places_));
  EXPECT_FALSE(Exists(places_.destination));
  EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + UninstallerPath(current) + "\"");
  EXPECT_TRUE(twxtest::RegKeyExists(HKEY_CLASSES_ROOT, kOpenCommandKey));
  EXPECT_TRUE(Exists(GroupShortcut()));
  // Once that folder no longer holds the product, its entries are stale and go,
  // but not the extension that now opens in another program.
  ASSERT_TRUE(DeleteFileA(ProgramPath(current).c_str()));
  EXPECT_TRUE(twx::OwnsMachineEntries(places_.destination));
  WriteRegString(HKEY_CLASSES_ROOT, kQueryFolderExtension, "", "otherapp.document");
  twx::RemoveRegistryEntries();
  EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kQueryFolderExtension, ""), "otherapp.document");
  EXPECT_FALSE(twxtest::RegKeyExists(HKEY_CLASSES_ROOT, kQueryFolderType));
  EXPECT_FALSE(twxtest::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(Uninstaller, ClearsOnlyFoldersThatHoldTheProductAndNeverARoot) {
  const std::string elsewhere = folder_.Join("Downloads");
  ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
  // Registered but without its main program (a damaged installation): still the product's.
  ASSERT_TRUE(DeleteFileA(ProgramPath(places_.destination).c_str()));
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
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", UninstallerPath(row.registered)));
    EXPECT_EQ(twx::IsInstallationFolder(row.folder), row.clears);
  }
  ASSERT_TRUE(twxtest::WriteWholeFile(ProgramPath(elsewhere), "MZ"));
  EXPECT_TRUE(twx::IsInstallationFolder(elsewhere)) << "it holds the product";
}

}  // namespace
