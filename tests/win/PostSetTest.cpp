// The post-install steps that write the registry, shortcuts and the settings
// file, against a registry of the test's own (every root redirected into a
// scratch key, HKEY_USERS with made-up user profiles) and scratch folders.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "IEToolbarUnit.h"
#include "PostInstallTestSupport.h"
#include "PostSet.h"
#include "RegistrySandbox.h"
#include "SampleTestSupport.h"
#include "ShellLinks.h"
#include "LinkReader.h"
#include "TestSupport.h"

namespace {

using twxtest::ReadRegRaw;
using twxtest::ReadRegType;

using namespace postinstalltest;

// Every key and value below key, as text, to compare whole trees.
std::string Snapshot(HKEY root, const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "";
  std::string text;
  for (DWORD i = 0;; ++i) {
    char name[16384];
    BYTE data[65536];
    DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
    if (RegEnumValueA(handle, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    text += key + "|" + std::string(name, nameLength) + "|" + std::to_string(type) + "|" +
            std::string(reinterpret_cast<char*>(data), dataLength) + "\n";
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(handle, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(name);
  }
  RegCloseKey(handle);
  for (const std::string& subkey : subkeys) text += Snapshot(root, key.empty() ? subkey : key + "\\" + subkey);
  return text;
}

int CountValues(HKEY root, const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return -1;
  DWORD values = 0;
  RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(handle);
  return static_cast<int>(values);
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sandbox_.Active()); }
  twxtest::RegistrySandbox sandbox_;
  twxtest::TempFolder temp_;
};

TEST_F(Registry, TheUninstallEntryQuotesAPathWithBlanksAndIsReplacedWhole) {
  WriteUninstallEntry("C:\\Program Files\\Old Place");
  WriteUninstallEntry("D:\\My Tools\\Trawl mark");
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), Z("Trawlmark"));
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
            Z("\"D:\\My Tools\\Trawl mark\\uninst.exe\""));
  EXPECT_EQ(ReadRegType(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kUninstallKey), 2);
}

// The icons by Windows version are composed (and checked) by the portable code;
// here the values land as eight strings, with this system's icons (Wine
// reports 6.1) and the class the browser starts the button through.
TEST_F(Registry, TheBrowserExtensionCarriesEightStringsWithThisWindowsIcons) {
  const std::string exe = "C:\\Program Files\\VarnTech\\Trawlix\\Trawlix.exe";
  EXPECT_TRUE(RegisterBrowserExtension(exe));
  EXPECT_EQ(CountValues(HKEY_LOCAL_MACHINE, kExtensionKey), 8);
  for (const char* value :
       {"ButtonText", "clsid", "Default Visible", "Exec", "HotIcon", "Icon", "MenuStatusBar", "MenuText"})
    EXPECT_EQ(ReadRegType(HKEY_LOCAL_MACHINE, kExtensionKey, value), static_cast<DWORD>(REG_SZ)) << value;
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kExtensionKey, "clsid"), Z("{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"));
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kExtensionKey, "Exec"), Z(exe));
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kExtensionKey, "Icon"), Z(exe + ",1003"));
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kExtensionKey, "HotIcon"), Z(exe + ",1004"));
}

TEST_F(Registry, TheQueryFolderTypeOpensInTheProgramAndTakesOverTheExtension) {
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, ".twx", "", REG_SZ, Z("otherapp.document")));
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, ".twx", "Content Type", REG_SZ, Z("text/plain")));
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, "trawlix_query_folder\\shell\\open\\command", "Keep", REG_SZ, Z("x")));
  const std::string destination = "C:\\Program Files\\VarnTech\\Trawlix";
  RegisterQueryFolderType(destination);
  RegisterQueryFolderType(destination);
  EXPECT_EQ(ReadRegRaw(HKEY_CLASSES_ROOT, ".twx", ""), Z("trawlix_query_folder"));
  EXPECT_EQ(ReadRegRaw(HKEY_CLASSES_ROOT, ".twx", "Content Type"), Z("text/plain"));
  EXPECT_EQ(ReadRegRaw(HKEY_CLASSES_ROOT, "trawlix_query_folder", ""), Z("Trawlix Query Folder"));
  EXPECT_EQ(ReadRegRaw(HKEY_CLASSES_ROOT, "trawlix_query_folder\\DefaultIcon", ""),
            Z(destination + "\\Trawlix.exe,-204"));
  EXPECT_EQ(ReadRegRaw(HKEY_CLASSES_ROOT, "trawlix_query_folder\\shell\\open\\command", ""),
            Z("\"C:\\Program Files\\VarnTech\\Trawlix\\Trawlix.exe\" \"%1\""));
  EXPECT_EQ(ReadRegRaw(HKEY_CLASSES_ROOT, "trawlix_query_folder\\shell\\open\\command", "Keep"), Z("x"));
  EXPECT_EQ(CountValues(HKEY_CLASSES_ROOT, "trawlix_query_folder"), 1);
}

// ---------------------------------------------------------------------------
// The toolbar button of every loaded user

const uint32_t kMarker = 0xFFFFFFFFu;

std::string OtherRecord(uint32_t marker, uint32_t command) {
  return Dword(marker) + std::string(16, '\x42') + Dword(command) + Dword(2);
}
std::string ProductRecord(uint32_t id) {
  const char group[] = "\x80\x69\x79\x1E\xC5\x9C\xD1\x11\xA8\x3F\x00\xC0\x4F\xC9\x9D\x61";
  return Dword(id) + std::string(group, 16) + Dword(id) + Dword(4);
}
const std::string kHeader = Dword(0x0C);

class ToolbarUsers : public Registry {
 protected:
  static std::string Prefix(const std::string& user) { return user.empty() ? "" : user + "\\"; }
  // A user as the browser leaves him: a layout and a command mapping.
  void MakeUser(HKEY root, const std::string& user, const std::string& layout, DWORD layoutType = REG_BINARY) {
    ASSERT_TRUE(WriteRegValue(root, Prefix(user) + kToolbarKey, kLayoutValue, layoutType, layout));
    ASSERT_TRUE(WriteRegValue(root, Prefix(user) + kToolbarKey, "Locked", REG_DWORD, Dword(1)));
  }
  void SetMapping(HKEY root, const std::string& user, const std::string& value, DWORD type, const std::string& data) {
    ASSERT_TRUE(WriteRegValue(root, Prefix(user) + kMappingKey, value, type, data));
  }
  std::string Layout(HKEY root, const std::string& user) {
    return ReadRegRaw(root, Prefix(user) + kToolbarKey, kLayoutValue);
  }
  std::string Mapping(HKEY root, const std::string& user, const std::string& value) {
    return ReadRegRaw(root, Prefix(user) + kMappingKey, value);
  }
};

TEST_F(ToolbarUsers, EveryLoadedUserGetsTheButtonOnceAndUnknownLayoutsStayUntouched) {
  const std::string r0 = OtherRecord(1, 101), r1 = OtherRecord(kMarker, 102), r2 = OtherRecord(3, 103);
  // The current user: a fresh identifier from NextId, the button after the marked record.
  MakeUser(HKEY_CURRENT_USER, "", kHeader + r0 + r1 + r2);
  SetMapping(HKEY_CURRENT_USER, "", "NextId", REG_DWORD, Dword(0x120));
  // The template of new users is nobody's toolbar.
  MakeUser(HKEY_USERS, ".DEFAULT", kHeader + r0);
  SetMapping(HKEY_USERS, ".DEFAULT", "NextId", REG_DWORD, Dword(0x50));
  // A user who had the product before: his identifier is reused, NextId left alone.
  const std::string known = "S-1-5-21-0-0-0-1000";
  MakeUser(HKEY_USERS, known, kHeader + r0 + r2);
  SetMapping(HKEY_USERS, known, kProductValue, REG_DWORD, Dword(0x200));
  SetMapping(HKEY_USERS, known, "NextId", REG_DWORD, Dword(0x300));
  // A user with a header-only layout and a NextId of another type.
  const std::string bare = "S-1-5-21-0-0-0-1001";
  MakeUser(HKEY_USERS, bare, kHeader);
  SetMapping(HKEY_USERS, bare, "NextId", REG_BINARY, Dword(7));
  // Users the setup must leave exactly as they are.
  const std::string noMapping = "S-1-5-21-0-0-0-1002";
  MakeUser(HKEY_USERS, noMapping, kHeader + r0);
  const std::string torn = "S-1-5-21-0-0-0-1003";
  MakeUser(HKEY_USERS, torn, kHeader + r0 + "xy");
  SetMapping(HKEY_USERS, torn, "NextId", REG_DWORD, Dword(9));
  const std::string wrongType = "S-1-5-21-0-0-0-1004";
  MakeUser(HKEY_USERS, wrongType, kHeader + r0, REG_SZ);
  SetMapping(HKEY_USERS, wrongType, "NextId", REG_DWORD, Dword(9));
  const std::string emptyMapping = "S-1-5-21-0-0-0-1005";
  MakeUser(HKEY_USERS, emptyMapping, kHeader + r0);
  SetMapping(HKEY_USERS, emptyMapping, "Other", REG_DWORD, Dword(9));
  const std::string noToolbar = "S-1-5-21-0-0-0-1006";
  SetMapping(HKEY_USERS, noToolbar, "NextId", REG_DWORD, Dword(9));
  auto untouchedUsers = [&] {
    std::string text;
    for (const std::string& user : {std::string(".DEFAULT"), noMapping, torn, wrongType, emptyMapping, noToolbar})
      text += Snapshot(HKEY_USERS, user);
    return text;
  };
  const std::string untouched = untouchedUsers();

  EXPECT_TRUE(InstallBrowserButton("C:\\Trawlix\\Trawlix.exe"));

  EXPECT_EQ(Layout(HKEY_CURRENT_USER, ""), kHeader + r0 + r1 + ProductRecord(0x120) + r2);
  EXPECT_EQ(Mapping(HKEY_CURRENT_USER, "", "NextId"), Dword(0x121));
  EXPECT_EQ(Mapping(HKEY_CURRENT_USER, "", kProductValue), Dword(0x120));
  EXPECT_EQ(ReadRegType(HKEY_CURRENT_USER, kMappingKey, kProductValue), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(ReadRegRaw(HKEY_CURRENT_USER, kToolbarKey, "Locked"), Dword(1));

  EXPECT_EQ(Layout(HKEY_USERS, known), kHeader + r0 + r2 + ProductRecord(0x200));
  EXPECT_EQ(Mapping(HKEY_USERS, known, "NextId"), Dword(0x300));

  EXPECT_EQ(Layout(HKEY_USERS, bare), kHeader + ProductRecord(7));
  EXPECT_EQ(Mapping(HKEY_USERS, bare, "NextId"), Dword(8));
  EXPECT_EQ(ReadRegType(HKEY_USERS, bare + "\\" + kMappingKey, "NextId"), static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(Mapping(HKEY_USERS, bare, kProductValue), Dword(7));

  EXPECT_EQ(untouchedUsers(), untouched);

  // A second setup run adds nothing anywhere.
  const std::string after = Snapshot(HKEY_CURRENT_USER, "Software") + Snapshot(HKEY_USERS, "");
  EXPECT_TRUE(InstallBrowserButton("C:\\Trawlix\\Trawlix.exe"));
  EXPECT_EQ(Snapshot(HKEY_CURRENT_USER, "Software") + Snapshot(HKEY_USERS, ""), after);
}

// ---------------------------------------------------------------------------
// Program group

class ProgramGroup : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ProgramsFolder;
    ProgramsFolder = temp_.Join("Start Menu\\Programs");
    MakeFolderPath(ProgramsFolder);
    destination_ = temp_.Join("Program Files\\VarnTech\\Trawlix");
    MakeFolderPath(destination_);
  }
  void TearDown() override { ProgramsFolder = saved_; }
  std::string Group(const std::string& name) { return ProgramsFolder + "\\Trawlmark\\" + name; }
  twxtest::TempFolder temp_;
  std::string saved_, destination_;
};

std::string LinkTarget(const std::string& file) { return twxtest::ReadLink(file).target; }

int pumps = 0;
void CountPump() { ++pumps; }

TEST_F(ProgramGroup, FourFreshShortcutsReplaceEveryShortcutOfTheGroupAndNothingElse) {
  MakeFolderPath(ProgramsFolder + "\\Trawlmark\\Tools.lnk");
  ASSERT_TRUE(twxtest::WriteWholeFile(Group("My own link.lnk"), "added by the user"));
  ASSERT_TRUE(twxtest::WriteWholeFile(Group("notes.txt"), "kept"));
  ASSERT_TRUE(twxtest::WriteWholeFile(ProgramsFolder + "\\Outside.lnk", "another group's"));
  MakeFolderPath(destination_ + "\\Library");  // from an earlier installation
  pumps = 0;
  CreateProgramGroup(destination_, CountPump);
  EXPECT_EQ(pumps, 6);
  EXPECT_FALSE(IsExistingFile(Group("My own link.lnk")));
  EXPECT_TRUE(IsExistingFile(Group("notes.txt")));
  EXPECT_TRUE(IsExistingFolder(Group("Tools.lnk")));
  EXPECT_TRUE(IsExistingFile(ProgramsFolder + "\\Outside.lnk"));
  EXPECT_EQ(LinkTarget(Group("Trawlix.lnk")), destination_ + "\\Trawlix.exe");
  EXPECT_EQ(LinkTarget(Group("Trawlix Help.lnk")), destination_ + "\\Help\\TWXHelp.exe");
  EXPECT_EQ(LinkTarget(Group("Trawlix Report Library.lnk")), destination_ + "\\Library");
  EXPECT_EQ(LinkTarget(Group("Trawlix License Agreement.lnk")), destination_ + "\\License.txt");

  // A fresh destination gets its library folder.
  RemoveDirectoryA((destination_ + "\\Library").c_str());
  CreateProgramGroup(destination_, nullptr);
  EXPECT_TRUE(IsExistingFolder(destination_ + "\\Library"));
  EXPECT_EQ(LinkTarget(Group("Trawlix.lnk")), destination_ + "\\Trawlix.exe");
}

// ---------------------------------------------------------------------------
// Language files and the settings file

class Languages : public ::testing::Test {
 protected:
  void SetUp() override {
    destination_ = temp_.Join("Trawl mark");
    MakeFolderPath(destination_);
    ASSERT_TRUE(sampletest::CopyTree(sampletest::PayloadPath("Language"), destination_ + "\\Language"));
    settings_ = destination_ + "\\Trawlix.ini";
  }
  std::string Setting(const char* section, const char* key) {
    char buffer[512];
    GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, settings_.c_str());
    return buffer;
  }
  bool Has(const std::string& name) { return IsExistingFile(destination_ + "\\Language\\" + name); }
  twxtest::TempFolder temp_;
  std::string destination_, settings_;
};

TEST_F(Languages, FilesOfTheEarlierFormatGoButTheUsersOwnAndUnreadableOnesStay) {
  ASSERT_TRUE(twxtest::WriteWholeFile(destination_ + "\\Language\\Mine (other).TWL", "codepage=1252"));
  ASSERT_TRUE(twxtest::WriteWholeFile(destination_ + "\\Language\\Busy.TWL", "codepage=1252"));
  ASSERT_TRUE(twxtest::WriteWholeFile(destination_ + "\\Language\\Notes.txt", "no language file"));
  // Held open by someone who lets nobody read it, but would let it be deleted:
  // kept because it cannot be read, not because it cannot go.
  HANDLE busy = CreateFileA((destination_ + "\\Language\\Busy.TWL").c_str(), GENERIC_READ, FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  pumps = 0;
  PruneLanguageFiles(destination_, CountPump);
  CloseHandle(busy);
  EXPECT_EQ(pumps, 7) << "once for every language file found";
  EXPECT_TRUE(Has("English.TWL"));
  EXPECT_TRUE(Has("German.TWL"));
  EXPECT_TRUE(Has("User Defined(Other).TWL"));
  EXPECT_TRUE(Has("Mine (other).TWL"));
  EXPECT_TRUE(Has("Busy.TWL"));
  EXPECT_TRUE(Has("Notes.txt"));
  EXPECT_FALSE(Has("Dutch.TWL")) << "its marker is in lower case only";
  EXPECT_FALSE(Has("Chinese Simplified(GB2312).TWL"));
}

TEST_F(Languages, NoLanguageFolderMeansNothingToDo) {
  twxtest::RemoveTree(destination_ + "\\Language");
  pumps = 0;
  PruneLanguageFiles(destination_, CountPump);
  MakeFolderPath(destination_ + "\\Language");
  PruneLanguageFiles(destination_, CountPump);
  EXPECT_EQ(pumps, 0);
}

TEST_F(Languages, ALanguageWhoseFileIsPresentIsKeptOtherwiseTheSystemsIsChosen) {
  // This machine's language, as the product names it.
  const std::string system = LanguageNameOf(GetSystemDefaultLangID());
  ASSERT_EQ(GetSystemLanguageName(), system);
  ASSERT_FALSE(system.empty());
  ASSERT_NE(system, "German");

  ASSERT_TRUE(twxtest::WriteWholeFile(settings_, "[Options]\r\nView=2\r\n[Queries]\r\nLanguage=German\r\nLast=cats\r\n"));
  SelectLanguage(destination_);
  EXPECT_EQ(Setting("Queries", "Language"), "German");

  for (const char* missing : {"Klingon", ""}) {
    ASSERT_TRUE(WritePrivateProfileStringA("Queries", "Language", missing, settings_.c_str()));
    SelectLanguage(destination_);
    EXPECT_EQ(Setting("Queries", "Language"), system) << missing;
  }
  // Everything else of the file stays.
  EXPECT_EQ(Setting("Options", "View"), "2");
  EXPECT_EQ(Setting("Queries", "Last"), "cats");
  EXPECT_EQ(Setting("Options", "Language"), "<none>");

  // No settings file yet: it is made with the key.
  DeleteFileA(settings_.c_str());
  SelectLanguage(destination_);
  EXPECT_EQ(Setting("Queries", "Language"), system);
}

// ---------------------------------------------------------------------------
// Document filters

class DocumentFilters : public ::testing::Test {
 protected:
  void SetUp() override {
    destination_ = temp_.Join("Trawl mark");
    MakeFolderPath(destination_);
    ASSERT_TRUE(sampletest::CopyTree(sampletest::PayloadPath("Filters"), destination_ + "\\Filters"));
    ASSERT_TRUE(twxtest::WriteWholeFile(destination_ + "\\Trawlix.ini", "[Options]\r\nView=2\r\n"));
  }
  std::string OutdatedPlatform() {
    char buffer[64];
    GetPrivateProfileStringA("Options", "Outdated Platform", "<none>", buffer, sizeof buffer,
                             (destination_ + "\\Trawlix.ini").c_str());
    return buffer;
  }
  int FilterFilesLeft() {
    int left = 0;
    for (const char* file : DocumentFilterFiles) left += IsExistingFile(destination_ + file) ? 1 : 0;
    return left;
  }
  twxtest::TempFolder temp_;
  std::string destination_;
};

TEST_F(DocumentFilters, FiltersThatLoadStayAMissingOrDamagedOneTakesAllSixAlong) {
  EXPECT_TRUE(CheckDocumentFilters(destination_));
  EXPECT_EQ(FilterFilesLeft(), 6);
  EXPECT_EQ(OutdatedPlatform(), "<none>");
  // Not left loaded: the file can go.
  ASSERT_TRUE(DeleteFileA((destination_ + "\\Filters\\Textor.dll").c_str()));
  EXPECT_FALSE(CheckDocumentFilters(destination_));
  EXPECT_EQ(FilterFilesLeft(), 0);
  EXPECT_EQ(OutdatedPlatform(), "1");
  EXPECT_TRUE(IsExistingFile(destination_ + "\\Filters\\Markup.ini")) << "other files of the folder stay";

  // A damaged filter file.
  twxtest::RemoveTree(destination_ + "\\Filters");
  ASSERT_TRUE(sampletest::CopyTree(sampletest::PayloadPath("Filters"), destination_ + "\\Filters"));
  ASSERT_TRUE(twxtest::WriteWholeFile(destination_ + "\\Filters\\Textor.dll", "MZ but nothing after it"));
  EXPECT_FALSE(CheckDocumentFilters(destination_));
  EXPECT_EQ(FilterFilesLeft(), 0);
}

}  // namespace
