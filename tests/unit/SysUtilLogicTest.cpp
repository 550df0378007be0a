// The text and path rules behind shortcuts, shared folders, the start-up
// probes and the folder browser, without any window.
#include <gtest/gtest.h>

#include <map>

#include "FileIO.h"
#include "SelDirLogic.h"
#include "SysUtilLogic.h"

namespace {

TEST(TextRules, WorkingFolderYearStampUninstallStringAndBrowserVersion) {
  EXPECT_EQ(ShortcutWorkingFolder("D:\\Tools\\Trawlix\\Trawlix.exe"), "D:\\Tools\\Trawlix");
  EXPECT_EQ(ShortcutWorkingFolder("C:\\Trawlix.exe"), "C:\\");  // a root keeps its backslash
  EXPECT_EQ(ShortcutWorkingFolder("Trawlix.exe"), "");
  EXPECT_EQ(StampYear("(C) 2001-YYYY VarnTech", 2026), "(C) 2001-2026 VarnTech");
  EXPECT_EQ(StampYear("YYYY and YYYY", 2026), "2026 and YYYY");
  EXPECT_EQ(StampYear("[YYYY]", 999), "[ 999]");
  EXPECT_EQ(StampYear("[YYYYY]", 2026), "[2026Y]");
  EXPECT_EQ(UnquoteUninstallString("\"D:\\Trawlix\\uninst.exe\""), "D:\\Trawlix\\uninst.exe");
  EXPECT_EQ(UnquoteUninstallString("D:\\Trawlix\\uninst.exe"), "D:\\Trawlix\\uninst.exe");
  EXPECT_EQ(UnquoteUninstallString("\"C:\\A B\\uninst.exe\" /S"), "C:\\A B\\uninst.exe\" /S");
  EXPECT_EQ(UnquoteUninstallString("\""), "");
  EXPECT_EQ(UnquoteUninstallString(""), "");
  const struct {
    const char* text;
    int major;
  } kVersions[] = {{"11.0.9600.17842", 11}, {"8", 8},  {"abc", 0}, {"9a.1", 0},
                   {".5", 0},               {"", 0}, {"99999999999.1", 0} /* no overflow into a made-up number */};
  for (const auto& row : kVersions) EXPECT_EQ(BrowserMajorVersionOf(row.text), row.major) << row.text;
}

TEST(PlanSharedFolder, ListsEveryParentOutermostFirstAndRefusesOverlongPaths) {
  TSharedFolderPlan plan;
  ASSERT_TRUE(PlanSharedFolder("C:\\A\\B\\C", &plan));
  EXPECT_EQ(plan.prefixes, (std::vector<std::string>{"C:\\", "C:\\A\\", "C:\\A\\B\\"}));
  EXPECT_EQ(plan.parent, "C:\\A\\B");
  ASSERT_TRUE(PlanSharedFolder("C:/A/B", &plan));  // forward slashes become backslashes
  EXPECT_EQ(plan.prefixes, (std::vector<std::string>{"C:\\", "C:\\A\\"}));
  EXPECT_EQ(plan.parent, "C:\\A");
  ASSERT_TRUE(PlanSharedFolder("C:\\Trawlix", &plan));
  EXPECT_EQ(plan.parent, "C:");
  // A network path begins with the prefix "\\", which no system can create.
  ASSERT_TRUE(PlanSharedFolder("\\\\server\\share\\x", &plan));
  ASSERT_GE(plan.prefixes.size(), 2u);
  EXPECT_EQ(plan.prefixes[1], "\\\\");

  std::string path = "C:\\" + std::string(256, 'a');  // 259 characters: the longest the buffers take
  EXPECT_TRUE(PlanSharedFolder(path, &plan));
  EXPECT_FALSE(PlanSharedFolder(path + "b", &plan));
  EXPECT_TRUE(plan.prefixes.empty());
  EXPECT_TRUE(plan.parent.empty());
}

// A machine's folders: a look-up answers as the system would; patterns not
// listed are "path not found".
struct TFakeDisk {
  std::map<std::string, uint32_t> answers;
  std::vector<std::string> asked;
};

uint32_t FakeLookup(const std::string& pattern, void* context) {
  TFakeDisk* disk = static_cast<TFakeDisk*>(context);
  disk->asked.push_back(pattern);
  const auto found = disk->answers.find(pattern);
  return found == disk->answers.end() ? kLookupPathNotFound : found->second;
}

TEST(ExistingStartFolder, WalksUpToTheNearestFolderOrFallsBackToTheCurrentOne) {
  TFakeDisk disk;
  disk.answers["C:\\Program Files\\*.*"] = kLookupFound;
  disk.answers["D:\\*.*"] = kLookupFileNotFound;  // an empty root
  disk.answers["E:\\A\\*.*"] = 21;                // a drive that is not ready
  EXPECT_EQ(ExistingStartFolder("C:\\Program Files\\VarnTech\\Trawlix", FakeLookup, &disk, "C:\\cwd"),
            "C:\\Program Files");
  EXPECT_EQ(disk.asked, (std::vector<std::string>{"C:\\Program Files\\VarnTech\\Trawlix\\*.*",
                                                 "C:\\Program Files\\VarnTech\\*.*", "C:\\Program Files\\*.*"}));
  EXPECT_EQ(ExistingStartFolder("D:\\Data\\Trawlix\\", FakeLookup, &disk, "C:\\cwd"), "D:\\");
  EXPECT_EQ(ExistingStartFolder("Q:\\A\\B", FakeLookup, &disk, "C:\\cwd"), "C:\\cwd");
  disk.asked.clear();
  EXPECT_EQ(ExistingStartFolder("E:\\A", FakeLookup, &disk, "C:\\cwd"), "C:\\cwd");
  EXPECT_EQ(disk.asked.size(), 1u) << "any other error gives up at once";
  EXPECT_EQ(ExistingStartFolder("", FakeLookup, &disk, "C:\\cwd"), "C:\\cwd");
  EXPECT_EQ(ExistingStartFolder("\\\\\\\\", FakeLookup, &disk, "C:\\cwd"), "C:\\cwd");
}

// The list as "text:data" items, the shown folder's index and the label.
std::string Shown(const TFolderList& list) {
  std::string out;
  for (const TFolderItem& item : list.items) out += item.text + ":" + std::to_string(item.data) + " ";
  return out + "@" + std::to_string(list.currentLevel) + " " + list.label;
}

TEST(FolderList, ShowsPathDestinationAndVisibleSubfoldersWithTheirIndentation) {
  const std::vector<TFolderEntry> entries = {
      {".", kAttrDirectory},           {"..", kAttrDirectory},
      {"Common Files", kAttrDirectory}, {"readme.txt", kAttrArchive},
      {"Hidden", kAttrDirectory | kAttrHidden}, {"Sys", kAttrDirectory | kAttrSystem},
      {"TRAWLIX", kAttrDirectory},     {"Zeta", kAttrDirectory | kAttrReadOnly},
  };
  // The subfolder's own name (any case) already stands in the list as the destination.
  EXPECT_EQ(Shown(BuildFolderList("C:\\Program Files", "Trawlix", entries)),
            "C:\\:0 Program Files:6 Trawlix:-12 Common Files:12 Zeta:12 @1 "
            "Destination f&older (\"Trawlix\" will be added):");
  EXPECT_EQ(Shown(BuildFolderList("D:\\Data\\trawlix\\", "Trawlix", {{"Sub", kAttrDirectory}})),
            "D:\\:0 Data:6 trawlix:-12 Sub:18 @2 Destination f&older:");
  EXPECT_EQ(Shown(BuildFolderList("D:\\MyTrawlix", "Trawlix", {})), "D:\\:0 MyTrawlix:-6 @1 Destination f&older:");
  EXPECT_EQ(Shown(BuildFolderList("C:\\", "Trawlix", {})),
            "C:\\:0 Trawlix:-6 @0 Destination f&older (\"Trawlix\" will be added):");

  // C:\, Program Files, VarnTech, Trawlix (destination), Tools: the destination
  // item is never part of a subfolder's path.
  const TFolderList list = BuildFolderList("C:\\Program Files\\VarnTech", "Trawlix", {{"Tools", kAttrDirectory}});
  const char* const paths[] = {"", "C:\\", "C:\\Program Files", "C:\\Program Files\\VarnTech",
                               "C:\\Program Files\\VarnTech\\Trawlix", "C:\\Program Files\\VarnTech\\Tools", ""};
  for (int index = -1; index <= 5; ++index) EXPECT_EQ(SelectedFolderPath(list, index), paths[index + 1]) << index;
}

TEST(TypedFolder, FullPathsTheAcceptedFolderAndTheAppendedSubfolder) {
  for (const char* full : {"D:\\Data", "\\Data", "C:\\"}) EXPECT_TRUE(IsFullTypedPath(full)) << full;
  for (const char* partial : {"Data", "C:", "", "D/:x"}) EXPECT_FALSE(IsFullTypedPath(partial)) << partial;
  EXPECT_EQ(AcceptedFolder("D:\\Data\\"), "D:\\Data");
  EXPECT_EQ(AcceptedFolder("D:\\Data"), "D:\\Data");
  EXPECT_EQ(AcceptedFolder("C:\\"), "C:");
  const struct {
    const char* path;
    const char* appended;
  } kRows[] = {{"D:\\Data", "D:\\Data\\Trawlix"},       {"D:\\Data\\TRAWLIX", "D:\\Data\\TRAWLIX"},
               {"D:\\MyTrawlix", "D:\\MyTrawlix\\Trawlix"}, {"D:", "D:\\Trawlix"},
               {"D:\\", "D:\\Trawlix"} /* no doubled backslash */};
  for (const auto& row : kRows) EXPECT_EQ(AppendSubfolderName(row.path, "Trawlix"), row.appended) << row.path;
  EXPECT_EQ(CollapseBackslashes("C:\\\\A\\\\\\B\\"), "C:\\A\\B\\");
  EXPECT_EQ(CollapseBackslashes("\\\\server\\share"), "\\server\\share");
  EXPECT_EQ(InvalidFolderMessage("Data"),
            "The specified folder \"Data\" is invalid.\r\rPlease, enter a full path with drive letter.");
  EXPECT_EQ(MissingFolderQuestion("D:\\Data\\Trawlix"),
            "The folder \"D:\\Data\\Trawlix\" does not exist.\r\rDo you want the folder to be created?");
}

}  // namespace
