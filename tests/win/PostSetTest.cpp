// The registry values and shortcuts the post-install steps write, where the
// setup's scenarios do not read them, against a registry of the test's own
// (every root redirected into a scratch key, HKEY_USERS with made-up users).
#include <windows.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "IEToolbarUnit.h"
#include "LinkReader.h"
#include "PostInstallTestSupport.h"
#include "PostSet.h"
#include "RegistrySandbox.h"
#include "SampleTestSupport.h"
#include "ShellLinks.h"
#include "TestSupport.h"

namespace {

using twxtest::ReadRegRaw;
using namespace postinstalltest;

// Every value below key, subkeys included, as "key|name|type|data" lines.
std::string Snapshot(HKEY root, const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "";
  std::string text;
  char name[16384];
  BYTE data[65536];
  DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
  for (DWORD i = 0; RegEnumValueA(handle, i, name, &nameLength, nullptr, &type, data, &dataLength) == ERROR_SUCCESS;
       ++i, nameLength = sizeof name, dataLength = sizeof data)
    text += key + "|" + name + "|" + std::to_string(type) + "|" + std::string(reinterpret_cast<char*>(data), dataLength) + "\n";
  std::vector<std::string> subkeys;
  for (DWORD i = 0; RegEnumKeyA(handle, i, name, sizeof name) == ERROR_SUCCESS; ++i) subkeys.push_back(name);
  RegCloseKey(handle);
  for (const std::string& subkey : subkeys) text += Snapshot(root, key.empty() ? subkey : key + "\\" + subkey);
  return text;
}

size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// The registry as a system that stores exactly the bytes counted: Wine, like
// Windows NT, adds the terminating zero of a REG_SZ that the caller forgot.
decltype(&RegSetValueExA) gSetValue = nullptr;
LONG WINAPI StoreCountedBytes(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD count) {
  const std::string bytes = std::string(data ? reinterpret_cast<const char*>(data) : "", data ? count : 0) + "x";
  return gSetValue(key, name, reserved, type, reinterpret_cast<const BYTE*>(bytes.data()), count);
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Active());
    gSetValue = reinterpret_cast<decltype(&RegSetValueExA)>(
        sampletest::ReplaceImport("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(StoreCountedBytes)));
    ASSERT_NE(gSetValue, nullptr);
  }
  void TearDown() override {
    if (gSetValue) sampletest::ReplaceImport("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(gSetValue));
  }
  twxtest::RegistrySandbox sandbox_;
};

TEST_F(Registry, UninstallEntryExtensionAndQueryFolderTypeAreTerminatedStrings) {
  WriteUninstallEntry("C:\\Program Files\\Old Place");
  WriteUninstallEntry("D:\\My Tools\\Trawl mark");
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), Z("Trawlmark"));
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
            Z("\"D:\\My Tools\\Trawl mark\\uninst.exe\""));
  EXPECT_EQ(Lines(Snapshot(HKEY_LOCAL_MACHINE, kUninstallKey)), 2u) << "replaced whole";

  const std::string exe = "C:\\Program Files\\VarnTech\\Trawlix\\Trawlix.exe";
  EXPECT_TRUE(RegisterBrowserExtension(exe));
  const std::string extension = Snapshot(HKEY_LOCAL_MACHINE, kExtensionKey);
  EXPECT_EQ(Lines(extension), 8u);
  for (size_t at = 0; at < extension.size(); at = extension.find('\n', at) + 1) {
    const std::string line = extension.substr(at, extension.find('\n', at) - at);
    EXPECT_NE(line.find("|1|"), std::string::npos) << line;  // REG_SZ
    EXPECT_EQ(line.back(), '\0') << line;
  }
  EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kExtensionKey, "Exec"), Z(exe));

  // The extension is taken over; what else another program keeps there stays.
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, ".twx", "", REG_SZ, Z("otherapp.document")));
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, ".twx", "Content Type", REG_SZ, Z("text/plain")));
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, "trawlix_query_folder\\shell\\open\\command", "Keep", REG_SZ, Z("x")));
  const std::string destination = "C:\\Program Files\\VarnTech\\Trawlix";
  RegisterQueryFolderType(destination);
  RegisterQueryFolderType(destination);
  const struct {
    const char *key, *value;
    std::string data;
  } rows[] = {
      {".twx", "", "trawlix_query_folder"},
      {".twx", "Content Type", "text/plain"},
      {"trawlix_query_folder", "", "Trawlix Query Folder"},
      {"trawlix_query_folder\\DefaultIcon", "", destination + "\\Trawlix.exe,-204"},
      {"trawlix_query_folder\\shell\\open\\command", "", "\"" + destination + "\\Trawlix.exe\" \"%1\""},
      {"trawlix_query_folder\\shell\\open\\command", "Keep", "x"},
  };
  for (const auto& row : rows) EXPECT_EQ(ReadRegRaw(HKEY_CLASSES_ROOT, row.key, row.value), Z(row.data)) << row.key;
}

// The toolbar button of every loaded user.
std::string Record(uint32_t marker, uint32_t command) {
  return Dword(marker) + std::string(16, '\x42') + Dword(command) + Dword(2);
}
std::string ProductRecord(uint32_t id) {
  const char group[] = "\x80\x69\x79\x1E\xC5\x9C\xD1\x11\xA8\x3F\x00\xC0\x4F\xC9\x9D\x61";
  return Dword(id) + std::string(group, 16) + Dword(id) + Dword(4);
}

TEST_F(Registry, EveryLoadedUserGetsTheButtonOnceAndUnknownLayoutsStayUntouched) {
  const std::string header = Dword(0x0C), r0 = Record(1, 101), r1 = Record(0xFFFFFFFFu, 102), r2 = Record(3, 103);
  // A user as the browser leaves him: "" is the current user, the others
  // lie below HKEY_USERS.
  struct TUser {
    std::string name, layout;
    DWORD layoutType;
    const char* mappingName;
    DWORD mappingType;
    int64_t mapping;
    std::string expectedLayout;  // "" for a user the setup leaves exactly as he is
    int64_t expectedNextId;
  };
  const TUser users[] = {
      // A fresh identifier from NextId, the button after the marked record.
      {"", header + r0 + r1 + r2, REG_BINARY, "NextId", REG_DWORD, 0x120, header + r0 + r1 + ProductRecord(0x120) + r2, 0x121},
      // A user who had the product before: his identifier is reused, NextId left alone.
      {"S-1-5-21-0-0-0-1000", header + r0 + r2, REG_BINARY, kProductValue, REG_DWORD, 0x200, header + r0 + r2 + ProductRecord(0x200), 0x300},
      // A header-only layout and a NextId of another type.
      {"S-1-5-21-0-0-0-1001", header, REG_BINARY, "NextId", REG_BINARY, 7, header + ProductRecord(7), 8},
      // The template of new users is nobody's toolbar.
      {".DEFAULT", header + r0, REG_BINARY, "NextId", REG_DWORD, 0x50, "", 0},
      {"S-1-5-21-0-0-0-1002", header + r0, REG_BINARY, nullptr, 0, 0, "", 0},
      {"S-1-5-21-0-0-0-1003", header + r0 + "xy", REG_BINARY, "NextId", REG_DWORD, 9, "", 0},
      {"S-1-5-21-0-0-0-1004", header + r0, REG_SZ, "NextId", REG_DWORD, 9, "", 0},
      {"S-1-5-21-0-0-0-1005", header + r0, REG_BINARY, "Other", REG_DWORD, 9, "", 0},
      {"S-1-5-21-0-0-0-1006", "", 0, "NextId", REG_DWORD, 9, "", 0},
  };
  auto root = [](const TUser& user) { return user.name.empty() ? HKEY_CURRENT_USER : HKEY_USERS; };
  auto key = [](const TUser& user, const char* key) { return (user.name.empty() ? "" : user.name + "\\") + key; };
  std::vector<std::string> before;
  for (const TUser& user : users) {
    if (user.layoutType) {
      ASSERT_TRUE(WriteRegValue(root(user), key(user, kToolbarKey), kLayoutValue, user.layoutType, user.layout));
      ASSERT_TRUE(WriteRegValue(root(user), key(user, kToolbarKey), "Locked", REG_DWORD, Dword(1)));
    }
    ASSERT_TRUE(!user.mappingName || WriteRegValue(root(user), key(user, kMappingKey), user.mappingName,
                                                   user.mappingType, Dword(static_cast<uint32_t>(user.mapping))));
    before.push_back(Snapshot(root(user), user.name));
  }
  ASSERT_TRUE(WriteRegValue(HKEY_USERS, key(users[1], kMappingKey), "NextId", REG_DWORD, Dword(0x300)));

  EXPECT_TRUE(InstallBrowserButton("C:\\Trawlix\\Trawlix.exe"));

  for (size_t i = 0; i < sizeof users / sizeof users[0]; ++i) {
    const TUser& user = users[i];
    SCOPED_TRACE(user.name);
    if (user.expectedLayout.empty()) {
      EXPECT_EQ(Snapshot(root(user), user.name), before[i]);
      continue;
    }
    EXPECT_EQ(ReadRegRaw(root(user), key(user, kToolbarKey), kLayoutValue), user.expectedLayout);
    EXPECT_EQ(ReadRegRaw(root(user), key(user, kToolbarKey), "Locked"), Dword(1));
    EXPECT_EQ(ReadRegRaw(root(user), key(user, kMappingKey), kProductValue), Dword(static_cast<uint32_t>(user.mapping)));
    EXPECT_EQ(ReadRegRaw(root(user), key(user, kMappingKey), "NextId"), Dword(static_cast<uint32_t>(user.expectedNextId)));
    EXPECT_EQ(twxtest::ReadRegType(root(user), key(user, kMappingKey), "NextId"), user.mappingType);
  }
  // A second setup run adds nothing anywhere.
  const std::string after = Snapshot(HKEY_CURRENT_USER, "Software") + Snapshot(HKEY_USERS, "");
  EXPECT_TRUE(InstallBrowserButton("C:\\Trawlix\\Trawlix.exe"));
  EXPECT_EQ(Snapshot(HKEY_CURRENT_USER, "Software") + Snapshot(HKEY_USERS, ""), after);
}

TEST(ProgramGroup, FourFreshShortcutsReplaceEveryShortcutOfTheGroupAndNothingElse) {
  twxtest::TempFolder temp;
  const std::string saved = ProgramsFolder, group = temp.Join("Programs\\Trawlmark\\");
  ProgramsFolder = temp.Join("Programs");
  const std::string destination = temp.Join("Trawl mark");
  MakeFolderPath(group + "Tools.lnk");
  ASSERT_TRUE(twxtest::WriteWholeFile(group + "My own link.lnk", "added by the user"));
  ASSERT_TRUE(twxtest::WriteWholeFile(group + "notes.txt", "kept"));
  ASSERT_TRUE(twxtest::WriteWholeFile(ProgramsFolder + "\\Outside.lnk", "another group's"));
  MakeFolderPath(destination);
  CreateProgramGroup(destination, nullptr);
  ProgramsFolder = saved;
  EXPECT_FALSE(IsExistingFile(group + "My own link.lnk"));
  EXPECT_TRUE(IsExistingFile(group + "notes.txt"));
  EXPECT_TRUE(IsExistingFolder(group + "Tools.lnk"));
  EXPECT_TRUE(IsExistingFile(temp.Join("Programs\\Outside.lnk")));
  EXPECT_TRUE(IsExistingFolder(destination + "\\Library")) << "made for the library's shortcut";
  const char* const rows[][2] = {{"Trawlix", "\\Trawlix.exe"}, {"Trawlix Help", "\\Help\\TWXHelp.exe"},
                                 {"Trawlix Report Library", "\\Library"},
                                 {"Trawlix License Agreement", "\\License.txt"}};
  for (const auto& row : rows)
    EXPECT_EQ(twxtest::ReadLink(group + row[0] + ".lnk").target, destination + row[1]) << row[0];
}

}  // namespace
