// The folder browser's path logic without its window.
#include <gtest/gtest.h>

#include <map>

#include "FileIO.h"
#include "SelDirLogic.h"

namespace {

// A machine's folders for the walk: a look-up answers as the system would.
struct TFakeDisk {
  std::map<std::string, uint32_t> answers;  // pattern -> outcome; missing ones are "path not found"
  std::vector<std::string> asked;
};

uint32_t FakeLookup(const std::string& pattern, void* context) {
  TFakeDisk* disk = static_cast<TFakeDisk*>(context);
  disk->asked.push_back(pattern);
  const auto found = disk->answers.find(pattern);
  return found == disk->answers.end() ? kLookupPathNotFound : found->second;
}

TEST(ExistingStartFolder, WalksUpToTheNearestExistingFolder) {
  TFakeDisk disk;
  disk.answers["C:\\Program Files\\*.*"] = kLookupFound;
  EXPECT_EQ(ExistingStartFolder("C:\\Program Files\\VarnTech\\Trawlix", FakeLookup, &disk, "C:\\cwd"),
            "C:\\Program Files");
  EXPECT_EQ(disk.asked, (std::vector<std::string>{"C:\\Program Files\\VarnTech\\Trawlix\\*.*",
                                                 "C:\\Program Files\\VarnTech\\*.*", "C:\\Program Files\\*.*"}));
}

TEST(ExistingStartFolder, StopsAtAnEmptyRootAndGivesTheBareDriveItsBackslash) {
  TFakeDisk disk;
  disk.answers["D:\\*.*"] = kLookupFileNotFound;
  EXPECT_EQ(ExistingStartFolder("D:\\Data\\Trawlix\\", FakeLookup, &disk, "C:\\cwd"), "D:\\");
}

TEST(ExistingStartFolder, FallsBackToTheCurrentFolder) {
  TFakeDisk disk;
  // Nothing exists at all, not even the drive.
  EXPECT_EQ(ExistingStartFolder("Q:\\A\\B", FakeLookup, &disk, "C:\\cwd"), "C:\\cwd");
  // Any other error (a drive that is not ready) gives up at once.
  disk.answers["E:\\A\\*.*"] = 21;
  disk.asked.clear();
  EXPECT_EQ(ExistingStartFolder("E:\\A", FakeLookup, &disk, "C:\\cwd"), "C:\\cwd");
  EXPECT_EQ(disk.asked.size(), 1u);
  EXPECT_EQ(ExistingStartFolder("", FakeLookup, &disk, "C:\\cwd"), "C:\\cwd");
  EXPECT_EQ(ExistingStartFolder("\\\\\\\\", FakeLookup, &disk, "C:\\cwd"), "C:\\cwd");
}

TEST(BuildFolderList, ShowsPathDestinationAndSubfoldersWithTheirIndentation) {
  const std::vector<TFolderEntry> entries = {
      {".", kAttrDirectory},          {"..", kAttrDirectory},
      {"Common Files", kAttrDirectory}, {"readme.txt", kAttrArchive},
      {"Hidden", kAttrDirectory | kAttrHidden}, {"Sys", kAttrDirectory | kAttrSystem},
      {"TRAWLIX", kAttrDirectory},    {"Zeta", kAttrDirectory | kAttrReadOnly},
  };
  const TFolderList list = BuildFolderList("C:\\Program Files", "Trawlix", entries);
  ASSERT_EQ(list.items.size(), 5u);
  EXPECT_EQ(list.items[0].text, "C:\\");
  EXPECT_EQ(list.items[0].data, 0);
  EXPECT_EQ(list.items[1].text, "Program Files");
  EXPECT_EQ(list.items[1].data, 6);
  EXPECT_EQ(list.items[2].text, "Trawlix");
  EXPECT_EQ(list.items[2].data, -12);
  // The enumeration's order is kept; the subfolder's own name (any case) stands
  // in the list as the destination item already.
  EXPECT_EQ(list.items[3].text, "Common Files");
  EXPECT_EQ(list.items[3].data, 12);
  EXPECT_EQ(list.items[4].text, "Zeta");
  EXPECT_EQ(list.items[4].data, 12);
  EXPECT_EQ(list.currentLevel, 1);
  EXPECT_EQ(list.label, "Destination f&older (\"Trawlix\" will be added):");
}

TEST(BuildFolderList, MarksTheShownFolderWhenItEndsWithTheSubfolderName) {
  TFolderList list = BuildFolderList("D:\\Data\\trawlix\\", "Trawlix", {{"Sub", kAttrDirectory}});
  ASSERT_EQ(list.items.size(), 4u);
  EXPECT_EQ(list.currentLevel, 2);
  EXPECT_EQ(list.items[2].text, "trawlix");
  EXPECT_EQ(list.items[2].data, -12);
  EXPECT_EQ(list.items[3].data, 18);
  EXPECT_EQ(list.label, "Destination f&older:");

  // A name that merely ends with it counts as the destination too.
  list = BuildFolderList("D:\\MyTrawlix", "Trawlix", {});
  ASSERT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.items[1].data, -6);

  // A root alone: the destination item one level below it.
  list = BuildFolderList("C:\\", "Trawlix", {});
  ASSERT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.currentLevel, 0);
  EXPECT_EQ(list.items[1].text, "Trawlix");
  EXPECT_EQ(list.items[1].data, -6);
}

TEST(SelectedFolderPath, GivesAncestorsSubfoldersAndTheDestination) {
  const TFolderList list =
      BuildFolderList("C:\\Program Files\\VarnTech", "Trawlix", {{"Tools", kAttrDirectory}});
  // C:\, Program Files, VarnTech, Trawlix (destination), Tools
  ASSERT_EQ(list.items.size(), 5u);
  EXPECT_EQ(SelectedFolderPath(list, 0), "C:\\");
  EXPECT_EQ(SelectedFolderPath(list, 1), "C:\\Program Files");
  EXPECT_EQ(SelectedFolderPath(list, 2), "C:\\Program Files\\VarnTech");
  EXPECT_EQ(SelectedFolderPath(list, 3), "C:\\Program Files\\VarnTech\\Trawlix");
  // The destination item between them is never part of a subfolder's path.
  EXPECT_EQ(SelectedFolderPath(list, 4), "C:\\Program Files\\VarnTech\\Tools");
  EXPECT_EQ(SelectedFolderPath(list, -1), "");
  EXPECT_EQ(SelectedFolderPath(list, 5), "");
}

TEST(AppendSubfolderName, AppendsUnlessTheLastComponentIsTheName) {
  EXPECT_EQ(AppendSubfolderName("D:\\Data", "Trawlix"), "D:\\Data\\Trawlix");
  EXPECT_EQ(AppendSubfolderName("D:\\Data\\TRAWLIX", "Trawlix"), "D:\\Data\\TRAWLIX");
  EXPECT_EQ(AppendSubfolderName("D:\\MyTrawlix", "Trawlix"), "D:\\MyTrawlix\\Trawlix");
  EXPECT_EQ(AppendSubfolderName("D:", "Trawlix"), "D:\\Trawlix");
  // A root keeps its one backslash.
  EXPECT_EQ(AppendSubfolderName("D:\\", "Trawlix"), "D:\\Trawlix");
}

TEST(TypedPath, NeedsADriveOrALeadingBackslash) {
  EXPECT_TRUE(IsFullTypedPath("D:\\Data"));
  EXPECT_TRUE(IsFullTypedPath("\\Data"));
  EXPECT_TRUE(IsFullTypedPath("C:\\"));
  EXPECT_FALSE(IsFullTypedPath("Data"));
  EXPECT_FALSE(IsFullTypedPath("C:"));
  EXPECT_FALSE(IsFullTypedPath(""));
  EXPECT_FALSE(IsFullTypedPath("D/:x"));
}

TEST(TypedPath, TheAcceptedFolderLosesOneTrailingBackslash) {
  EXPECT_EQ(AcceptedFolder("D:\\Data\\"), "D:\\Data");
  EXPECT_EQ(AcceptedFolder("D:\\Data"), "D:\\Data");
  // The root stays the root: "C:" then gets the subfolder as "C:\Trawlix".
  EXPECT_EQ(AcceptedFolder("C:\\"), "C:");
  EXPECT_EQ(AppendSubfolderName(AcceptedFolder("C:\\"), "Trawlix"), "C:\\Trawlix");
}

TEST(CollapseBackslashes, MakesEveryRunOne) {
  EXPECT_EQ(CollapseBackslashes("C:\\\\A\\\\\\B\\"), "C:\\A\\B\\");
  EXPECT_EQ(CollapseBackslashes("\\\\server\\share"), "\\server\\share");
  EXPECT_EQ(CollapseBackslashes("plain"), "plain");
}

TEST(Messages, QuoteThePathAndUseCarriageReturnsOnly) {
  EXPECT_EQ(InvalidFolderMessage("Data"),
            "The specified folder \"Data\" is invalid.\r\rPlease, enter a full path with drive letter.");
  EXPECT_EQ(MissingFolderQuestion("D:\\Data\\Trawlix"),
            "The folder \"D:\\Data\\Trawlix\" does not exist.\r\rDo you want the folder to be created?");
}

}  // namespace
