// The text and path rules behind shortcuts, the start-up probes and the
// folder browser, without any window.
#include <gtest/gtest.h>

#include <map>

#include "FileIO.h"
#include "SelDirLogic.h"
#include "SysUtilLogic.h"

namespace {

TEST(TextRules, WorkingFolderUninstallStringAndBrowserVersion) {
  EXPECT_EQ(ShortcutWorkingFolder("D:\\Tools\\Trawlix\\Trawlix.exe"), "D:\\Tools\\Trawlix");
  EXPECT_EQ(ShortcutWorkingFolder("C:\\Trawlix.exe"), "C:\\");  // a root keeps its backslash
  EXPECT_EQ(UnquoteUninstallString("\"D:\\Trawlix\\uninst.exe\""), "D:\\Trawlix\\uninst.exe");
  EXPECT_EQ(UnquoteUninstallString("\"C:\\A B\\uninst.exe\" /S"), "C:\\A B\\uninst.exe\" /S");
  EXPECT_EQ(UnquoteUninstallString("\""), "");
  const std::pair<const char*, int> kVersions[] = {{"11.0.9600", 11}, {"8", 8}, {"9a.1", 0}, {".5", 0}, {"", 0},
                                                   {"99999999999.1", 0}};
  for (const auto& row : kVersions) EXPECT_EQ(BrowserMajorVersionOf(row.first), row.second) << row.first;
}

// A machine's folders: patterns not listed are "path not found"; look-ups are counted.
const std::map<std::string, uint32_t> kDisk = {
    {"C:\\Program Files\\*.*", kLookupFound}, {"D:\\*.*", kLookupFileNotFound}, {"E:\\A\\*.*", 21}};
int lookups = 0;
uint32_t FakeLookup(const std::string& pattern, void*) {
  ++lookups;
  return kDisk.count(pattern) ? kDisk.at(pattern) : kLookupPathNotFound;
}

TEST(ExistingStartFolder, WalksUpToTheNearestFolderOrFallsBackToTheCurrentOne) {
  const std::pair<const char*, const char*> kRows[] = {
      {"C:\\Program Files\\VarnTech\\Trawlix", "C:\\Program Files"}, {"D:\\Data\\Trawlix\\", "D:\\"},
      {"Q:\\A\\B", "C:\\cwd"}, {"\\\\\\\\", "C:\\cwd"}, {"E:\\A\\B", "C:\\cwd"}};
  for (const auto& row : kRows) EXPECT_EQ(ExistingStartFolder(row.first, FakeLookup, nullptr, "C:\\cwd"), row.second) << row.first;
  lookups = 0;
  ExistingStartFolder("E:\\A\\B", FakeLookup, nullptr, "C:\\cwd");
  EXPECT_EQ(lookups, 2) << "a drive that is not ready: no further look-up";
}

// The list as "text:indentation" items and the shown folder's index.
std::string Shown(const TFolderList& list) {
  std::string out;
  for (const TFolderItem& item : list.items) out += item.text + ":" + std::to_string(item.data) + " ";
  return out + "@" + std::to_string(list.currentLevel);
}

TEST(FolderList, ShowsPathDestinationAndVisibleSubfoldersWithTheirIndentation) {
  const std::vector<TFolderEntry> entries = {
      {".", kAttrDirectory}, {"..", kAttrDirectory}, {"Common Files", kAttrDirectory}, {"readme.txt", kAttrArchive},
      {"Hidden", kAttrDirectory | kAttrHidden}, {"Sys", kAttrDirectory | kAttrSystem}, {"TRAWLIX", kAttrDirectory},
      {"Zeta", kAttrDirectory | kAttrReadOnly}};
  // The subfolder's own name (any case) already stands in the list as the destination.
  const TFolderList added = BuildFolderList("C:\\Program Files", "Trawlix", entries);
  EXPECT_EQ(Shown(added), "C:\\:0 Program Files:6 Trawlix:-12 Common Files:12 Zeta:12 @1");
  const TFolderList named = BuildFolderList("D:\\Data\\trawlix\\", "Trawlix", {{"Sub", kAttrDirectory}});
  EXPECT_EQ(Shown(named), "D:\\:0 Data:6 trawlix:-12 Sub:18 @2");
  EXPECT_NE(added.label.find("\"Trawlix\""), std::string::npos) << "the label says the subfolder will be added";
  EXPECT_EQ(named.label.find("\"Trawlix\""), std::string::npos);
  EXPECT_EQ(Shown(BuildFolderList("C:\\", "Trawlix", {})), "C:\\:0 Trawlix:-6 @0");
  // The destination item is never part of a subfolder's path.
  const TFolderList list = BuildFolderList("C:\\Program Files\\VarnTech", "Trawlix", {{"Tools", kAttrDirectory}});
  const char* const paths[] = {"", "C:\\", "C:\\Program Files", "C:\\Program Files\\VarnTech",
                               "C:\\Program Files\\VarnTech\\Trawlix", "C:\\Program Files\\VarnTech\\Tools", ""};
  for (int index = -1; index <= 5; ++index) EXPECT_EQ(SelectedFolderPath(list, index), paths[index + 1]) << index;
}

TEST(TypedFolder, FullPathsTheAcceptedFolderAndTheAppendedSubfolder) {
  for (const char* full : {"D:\\Data", "\\Data", "C:\\"}) EXPECT_TRUE(IsFullTypedPath(full)) << full;
  for (const char* partial : {"Data", "C:", "", "D/:x"}) EXPECT_FALSE(IsFullTypedPath(partial)) << partial;
  EXPECT_EQ(AcceptedFolder("D:\\Data\\"), "D:\\Data");
  EXPECT_EQ(AcceptedFolder("C:\\"), "C:");
  const std::pair<const char*, const char*> kRows[] = {
      {"D:\\Data", "D:\\Data\\Trawlix"}, {"D:\\Data\\TRAWLIX", "D:\\Data\\TRAWLIX"},
      {"D:\\MyTrawlix", "D:\\MyTrawlix\\Trawlix"}, {"D:", "D:\\Trawlix"}, {"D:\\", "D:\\Trawlix"}};
  for (const auto& row : kRows) EXPECT_EQ(AppendSubfolderName(row.first, "Trawlix"), row.second) << row.first;
  EXPECT_EQ(CollapseBackslashes("\\\\server\\\\share\\"), "\\server\\share\\");
  EXPECT_NE(InvalidFolderMessage("D/:x").find("\"D/:x\""), std::string::npos);
  EXPECT_NE(MissingFolderQuestion("D:\\Data\\Trawlix").find("\"D:\\Data\\Trawlix\""), std::string::npos);
}

}  // namespace
