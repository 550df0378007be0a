// The setup's work steps end to end over the stand-in product, installed over
// an earlier installation: SaveCustomFiles, ExtractPayload of the payload this
// program carries (bundled as the setup is), then RunPostInstall with a pump
// that watches the steps happen in their order. Each run takes its ten-second
// settling pause.
#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "Global.h"
#include "PostInstallTestSupport.h"
#include "PostSet.h"
#include "RegistrySandbox.h"
#include "SampleTestSupport.h"
#include "ShellLinks.h"
#include "TestSupport.h"
#include "VhUnZip.h"

namespace {

using namespace postinstalltest;

const char kUserSets[] =
    "Trawlmark Engine Sets\r\nVersion=5.2\r\nSET=SEARCH IN ENTIRE WEB\r\nENGINE=Harbour Web Index\r\n"
    "SET=Search in News\r\nENGINE=Tidewater News\r\nset=Search In Entire Web\r\nENGINE=Keelson Search\r\n";
const char kUserSetsConverted[] =
    "Trawlmark Engine Sets\r\nVersion=5.2\r\nSET=Search in Web\r\nENGINE=Harbour Web Index\r\n"
    "SET=Search in News\r\nENGINE=Tidewater News\r\nSET=Search in Web\r\nENGINE=Keelson Search\r\n";
const char kUserQueries[] = "Trawlmark Query Folder\r\nName=Mine\r\nQuery=tides|SET=SEARCH IN ENTIRE WEB\r\n";

const std::string kOtherUser = "S-1-5-21-0-0-0-1001\\";

std::string Read(const std::string& path) { return twxtest::ReadWholeFileOr(path, "<none>"); }

// What can be seen of each step from outside, in the order of the steps.
enum TMilestone {
  kGroupShortcut,    // program group
  kUninstallEntry,   // uninstall entry
  kBrowserExtension, // browser button
  kEngineTool,       // first patch
  kMainPatchGone,    // last patch and its file
  kSetsRestored,     // user data back
  kRenewGone,        // obsolete files
  kDutchGone,        // language files pruned
  kLanguageChosen,   // settings file
  kRunValue,         // search-box helper
  kMilestoneCount
};

class PostInstallSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Active());
    saved_ = {ProgramsFolder, SharedHelperFolder};
    savedVersion_ = OsVersion;
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    ASSERT_TRUE(GetVersionExA(&OsVersion));
    ProgramsFolder = temp_.Join("Start Menu\\Programs");
    MakeFolderPath(ProgramsFolder);
    SharedHelperFolder = temp_.Join("Common Files\\VarnTech");
    destination_ = temp_.Join("Program Files\\VarnTech\\Trawlix");
    MakeFolderPath(destination_);
    // The current user's browser has a toolbar, and so has another user whose
    // profile is loaded.
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, kToolbarKey, kLayoutValue, REG_BINARY, Dword(0x0C)));
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, kMappingKey, "NextId", REG_DWORD, Dword(0x130)));
    ASSERT_TRUE(WriteRegValue(HKEY_USERS, kOtherUser + kToolbarKey, kLayoutValue, REG_BINARY, Dword(0x0C)));
    ASSERT_TRUE(WriteRegValue(HKEY_USERS, kOtherUser + kMappingKey, "NextId", REG_DWORD, Dword(0x90)));
    active_ = this;
  }
  void TearDown() override {
    active_ = nullptr;
    postinstalltest::EndProcessesBelow(temp_.Path());
    ProgramsFolder = saved_[0];
    SharedHelperFolder = saved_[1];
    OsVersion = savedVersion_;
  }
  std::string At(const std::string& relative) { return destination_ + "\\" + relative; }

  // An installation of an earlier version with the user's own data in it.
  void MakeEarlierInstallation() {
    MakeFolderPath(At("Queries"));
    MakeFolderPath(At("TWXData"));
    MakeFolderPath(At("Filters\\AuxFiles"));
    ASSERT_TRUE(twxtest::WriteWholeFile(At("Queries\\NONAME.TWX"), kUserQueries));
    ASSERT_TRUE(twxtest::WriteWholeFile(At("TWXData\\Set.db"), kUserSets));
    userEntries_ = Read(sampletest::PayloadPath("TWXData\\Entry.db")) + "ENGINE=Mine|http://example.invalid/\r\n";
    ASSERT_TRUE(twxtest::WriteWholeFile(At("TWXData\\Entry.db"), userEntries_));
    ASSERT_TRUE(twxtest::WriteWholeFile(At("Filters\\AuxFiles\\mkphelp.dll"), "MZ"));
    ASSERT_TRUE(twxtest::WriteWholeFile(At("renew.exe"), "MZ"));
    ASSERT_TRUE(twxtest::WriteWholeFile(At("Trawlix.ini"), "[Queries]\r\nLanguage=Dutch\r\n"));
  }
  // The setup's extraction step: this program carries the stand-in payload
  // behind the marker, as the setup does, with the three delta patches that
  // make the release programs from the payload's main program.
  void Extract() {
    ASSERT_TRUE(ExtractPayload(destination_, nullptr));
    ASSERT_FALSE(IsExistingFile(At("tempfile.$$$")));
    ASSERT_TRUE(IsExistingFile(At("Help\\TWXHelp.pch")));
  }

  std::string Setting(const char* section, const char* key) {
    char buffer[512];
    GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, At("Trawlix.ini").c_str());
    return buffer;
  }

  // The pump: notes which steps have visibly happened by this call.
  static void Watch() {
    PostInstallSequence* self = active_;
    const int call = static_cast<int>(self->pumpTimes_.size());
    self->pumpTimes_.push_back(GetTickCount() - self->start_);
    const bool seen[kMilestoneCount] = {
        IsExistingFile(ProgramsFolder + "\\Trawlmark\\Trawlix.lnk"),
        twxtest::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey),
        twxtest::RegKeyExists(HKEY_LOCAL_MACHINE, kExtensionKey),
        IsExistingFile(self->At("SrchCfg.exe")),
        !IsExistingFile(self->At("Trawlix.pch")),
        Read(self->At("TWXData\\Set.db")) == kUserSetsConverted,
        !IsExistingFile(self->At("renew.dat")),
        !IsExistingFile(self->At("Language\\Dutch.TWL")),
        self->Setting("Queries", "Language") != "Dutch",
        !twxtest::ReadRegRaw(HKEY_LOCAL_MACHINE, kRunKey, "VTQBox").empty(),
    };
    for (int m = 0; m < kMilestoneCount; ++m)
      if (seen[m] && self->firstSeen_[m] < 0) self->firstSeen_[m] = call;
  }

  bool Run() {
    start_ = GetTickCount();
    for (int& first : firstSeen_) first = -1;
    const bool result = RunPostInstall(destination_, Watch);
    took_ = GetTickCount() - start_;
    return result;
  }

  static PostInstallSequence* active_;
  twxtest::RegistrySandbox sandbox_;
  twxtest::TempFolder temp_;
  std::vector<std::string> saved_;
  OSVERSIONINFOA savedVersion_;
  std::string destination_, userEntries_;
  DWORD start_ = 0, took_ = 0;
  std::vector<DWORD> pumpTimes_;
  int firstSeen_[kMilestoneCount];
};

PostInstallSequence* PostInstallSequence::active_ = nullptr;

TEST_F(PostInstallSequence, AnUpgradeEndsAsAWorkingInstallationWithItsStepsInOrder) {
  MakeEarlierInstallation();
  ASSERT_TRUE(SaveCustomFiles(destination_));
  Extract();
  ASSERT_NE(Read(At("TWXData\\Set.db")), kUserSets) << "the extraction replaced the user's file";

  EXPECT_TRUE(Run());

  // Settling first: a hundred pumps over ten seconds, and nothing written meanwhile.
  EXPECT_GE(took_, 10000u);
  ASSERT_GT(pumpTimes_.size(), 100u);
  EXPECT_GE(pumpTimes_[100], 9900u);
  for (int m = 0; m < kMilestoneCount; ++m) {
    EXPECT_GE(firstSeen_[m], 100) << "milestone " << m;
    if (m > 0) {
      EXPECT_LE(firstSeen_[m - 1], firstSeen_[m]) << "milestone " << m;
    }
  }
  // Steps separated by a pump are seen one after the other (the uninstall
  // entry and the browser extension share the pump after the latter).
  for (int m : {kUninstallEntry, kEngineTool, kMainPatchGone, kSetsRestored, kRenewGone, kDutchGone,
                kLanguageChosen, kRunValue})
    EXPECT_LT(firstSeen_[m - 1], firstSeen_[m]) << "milestone " << m;

  // The three programs, rebuilt and byte for byte the release.
  for (const char* program : {"Trawlix.exe", "SrchCfg.exe", "Help\\TWXHelp.exe"})
    EXPECT_TRUE(Read(At(program)) == Read(sampletest::PatchSourcePath(program))) << program;
  for (const char* patch : {"Trawlix.pch", "SrchCfg.pch", "Help\\TWXHelp.pch"}) EXPECT_FALSE(IsExistingFile(At(patch)));

  for (const char* link : {"Trawlix", "Trawlix Help", "Trawlix Report Library", "Trawlix License Agreement"})
    EXPECT_TRUE(IsExistingFile(ProgramsFolder + "\\Trawlmark\\" + link + ".lnk")) << link;
  EXPECT_TRUE(IsExistingFolder(At("Library")));
  EXPECT_EQ(twxtest::ReadRegRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
            Z("\"" + destination_ + "\\uninst.exe\""));
  EXPECT_EQ(twxtest::ReadRegRaw(HKEY_LOCAL_MACHINE, kExtensionKey, "Exec"), Z(destination_ + "\\Trawlix.exe"));
  EXPECT_EQ(twxtest::ReadRegRaw(HKEY_LOCAL_MACHINE, kExtensionKey, "MenuText"), Z("Run Trawlix"));
  EXPECT_EQ(twxtest::ReadRegRaw(HKEY_CURRENT_USER, kToolbarKey, kLayoutValue).substr(4, 4), Dword(0x130));
  EXPECT_EQ(twxtest::ReadRegRaw(HKEY_CURRENT_USER, kMappingKey, "NextId"), Dword(0x131));
  EXPECT_EQ(twxtest::ReadRegRaw(HKEY_USERS, kOtherUser + kToolbarKey, kLayoutValue).size(), 32u);
  EXPECT_EQ(twxtest::ReadRegRaw(HKEY_USERS, kOtherUser + kToolbarKey, kLayoutValue).substr(24, 4), Dword(0x90));

  // The user's data back; only the engine sets converted.
  EXPECT_EQ(Read(At("TWXData\\Set.db")), kUserSetsConverted);
  EXPECT_EQ(Read(At("Queries\\NONAME.TWX")), kUserQueries);
  EXPECT_EQ(Read(At("TWXData\\Entry.db")), userEntries_);

  // Nothing of the earlier version left.
  for (const char* old : {"renew.dat", "renew.exe", "Filters\\Markup.ini", "Filters\\AuxFiles\\mkphelp.dll",
                          "Language\\Chinese Simplified(GB2312).TWL", "Language\\Dutch.TWL"})
    EXPECT_FALSE(IsExistingFile(At(old))) << old;
  EXPECT_FALSE(IsExistingFolder(At("Filters\\AuxFiles")));
  EXPECT_FALSE(IsExistingFolder(At("Language\\Flags")));
  EXPECT_TRUE(IsExistingFile(At("Filters\\Textor.dll"))) << "the filters load here";
  EXPECT_EQ(Setting("Options", "Outdated Platform"), "<none>");
  // Dutch went with its file; the system's language took its place.
  EXPECT_EQ(Setting("Queries", "Language"), GetSystemLanguageName());

  // The helper: installed in the shared folder, registered quoted, running.
  const std::string helper = SharedHelperFolder + "\\QBox.exe";
  EXPECT_FALSE(IsExistingFile(At("QBox.exe")));
  EXPECT_EQ(twxtest::ReadRegRaw(HKEY_LOCAL_MACHINE, kRunKey, "VTQBox"), Z("\"" + helper + "\""));
  EXPECT_NE(postinstalltest::WaitForHelper(SharedHelperFolder + "\\QBox.tmp", helper, twxtest::kUntilDone), 0u);
}

TEST_F(PostInstallSequence, WithoutTheEngineToolsPatchTheOtherPatchesAreSkippedButEveryLaterStepRuns) {
  Extract();
  ASSERT_TRUE(DeleteFileA(At("SrchCfg.pch").c_str()));
  ASSERT_TRUE(SaveCustomFiles(destination_));  // a fresh installation: nothing to keep

  EXPECT_FALSE(Run());

  EXPECT_GE(took_, 10000u);
  EXPECT_FALSE(IsExistingFile(At("SrchCfg.exe")));
  EXPECT_FALSE(IsExistingFile(At("Help\\TWXHelp.exe")));
  EXPECT_TRUE(IsExistingFile(At("Help\\TWXHelp.pch"))) << "not attempted";
  EXPECT_FALSE(IsExistingFile(At("Trawlix.pch"))) << "deleted all the same";
  EXPECT_TRUE(Read(At("Trawlix.exe")) == Read(sampletest::PayloadPath("Trawlix.exe"))) << "not patched";
  // The steps after the patches.
  EXPECT_EQ(Read(At("TWXData\\Set.db")), Read(sampletest::PayloadPath("TWXData\\Set.db")));
  EXPECT_FALSE(IsExistingFile(At("renew.dat")));
  EXPECT_FALSE(IsExistingFile(At("Language\\Dutch.TWL")));
  EXPECT_EQ(Setting("Queries", "Language"), GetSystemLanguageName());
  EXPECT_NE(postinstalltest::WaitForHelper(SharedHelperFolder + "\\QBox.tmp", SharedHelperFolder + "\\QBox.exe",
                                           twxtest::kUntilDone),
            0u);
}

}  // namespace
