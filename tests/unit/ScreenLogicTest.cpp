// The rules behind the setup's screens, the folder browser and the shortcuts,
// without any window: animations run whole, as the timers drive them. The
// browser's walk to the nearest folder and its typed paths are seen in its window test.
#include <tuple>

#include <gtest/gtest.h>

#include "FileIO.h"
#include "SelDirLogic.h"
#include "SetupLogic.h"
#include "FileUtils.h"
#include "GlobalLogic.h"
#include "TestSupport.h"

namespace {

// Every decision the user sees, at the value on each side of its bound.
TEST(SetupLogic, EveryGateOnEachSideOfItsBound) {
  const struct {
    uint32_t platform, major, minor;
    bool tooOld, xp;
  } kVersions[] = {{0, 4, 10, true, false}, {1, 4, 0, true, false},  {1, 4, 1, false, false}, {1, 3, 0, false, false},
                   {1, 5, 1, false, false}, {2, 4, 0, false, false}, {2, 5, 0, false, false}, {2, 5, 1, false, true},
                   {2, 4, 1, false, false}, {2, 6, 0, false, true}};
  for (const auto& row : kVersions) {
    EXPECT_EQ(IsWindowsTooOld(row.platform, row.major, row.minor), row.tooOld) << row.major << "." << row.minor;
    EXPECT_EQ(UsesXpDialogs(row.platform, row.major, row.minor), row.xp) << row.platform << ":" << row.major << "." << row.minor;
  }
  const uint32_t wrap = 0xFFFFF000u;  // the tick count wraps during the wait for the animations
  const struct {
    const char* what;
    bool decided, expected;
  } kGates[] = {{"captions at 24,999 ms: wait", KeepsWaiting(true, false, 1000, 25999), true},
                {"progress at 24,999 ms, wrapped: wait", KeepsWaiting(false, true, wrap, wrap + 24999), true},
                {"both at 25,000 ms: no more", KeepsWaiting(true, true, 1000, 26000), false},
                {"both at 25,000 ms, wrapped: no more", KeepsWaiting(true, true, wrap, wrap + 25000), false},
                {"nothing runs: no wait", KeepsWaiting(false, false, 1000, 1000), false},
                {"the last step before the full height", UnrollHeight(95, 100) == 99, true},
                {"the full height is never set", UnrollHeight(96, 100) == -1, true}};
  for (const auto& gate : kGates) EXPECT_EQ(gate.decided, gate.expected) << gate.what;
}

// What the low-space gate is given: a drive's root, the free space in unsigned arithmetic.
TEST(SetupLogic, TheFreeSpaceIsAskedOfTheDrivesRootWithoutOverflow) {
  EXPECT_EQ(DriveRootOf("c:\\VarnTech\\Trawlix"), "C:\\");
  EXPECT_EQ(DriveRootOf("\\\\server\\share"), "\\\\\\") << "no drive: a root whose query fails";
  EXPECT_DOUBLE_EQ(FreeSpaceMB(65536, 32768, 1), 2048.0) << "a cluster of 2 GiB: unsigned";
  EXPECT_DOUBLE_EQ(FreeSpaceMB(65536, 65536, 100), 0.0) << "the cluster size wraps in 32 bits";
}

TEST(SetupLogic, TheFadeInRunsToFortySixAndWelcomesOnceOnTheFifthTick) {
  // The fade-in: 23 ticks up to 46, the welcome clip once, on the fifth.
  int position = 0, ticks = 0, welcomeTick = 0;
  for (TFadeStep step; !(step = FadeInStep(position, welcomeTick != 0)).stop; position = step.position) {
    ASSERT_LT(++ticks, 100);
    EXPECT_EQ(step.playWelcome ? std::exchange(welcomeTick, ticks) : 0, 0) << "the clip once only";
  }
  EXPECT_EQ(ticks, 23);
  EXPECT_EQ(position, 46);
  EXPECT_EQ(welcomeTick, 5);
}

// A kanji of code page 932 whose second byte is that of "\"; in 1252 the
// same bytes are a letter and a backslash.
#define HYO "\x95\x5C"

// A shortcut's working folder, and the folders made plainly before the shared
// one with the one whose access list it takes.
TEST(ParentFolders, GoByTheCodePagesCharacters) {
  const std::tuple<const char*, unsigned, const char*> kTargets[] = {
      {"D:\\Tools\\Trawlix\\Trawlix.exe", 1252, "D:\\Tools\\Trawlix"},
      {"C:\\Trawlix.exe", 1252, "C:\\"},  // a root keeps its backslash
      {"C:\\" HYO "x.exe", 932, "C:\\"}, {"C:\\" HYO "x.exe", 1252, "C:\\\x95"}};
  for (const auto& row : kTargets)
    EXPECT_EQ(ShortcutWorkingFolder(std::get<0>(row), twxtest::LeadBytesOf(std::get<1>(row))), std::get<2>(row))
        << std::get<0>(row) << " in " << std::get<1>(row);
  const std::tuple<unsigned, std::vector<std::string>, const char*> kPlans[] = {
      {932, {"C:\\", "C:\\" HYO "\\"}, "C:\\" HYO},
      {1252, {"C:\\", "C:\\\x95\\", "C:\\" HYO "\\"}, "C:\\" HYO}};
  for (const auto& row : kPlans) {
    TSharedFolderPlan plan;
    ASSERT_TRUE(PlanSharedFolder("C:/" HYO "\\x", &plan, twxtest::LeadBytesOf(std::get<0>(row))));
    EXPECT_EQ(plan.prefixes, std::get<1>(row)) << std::get<0>(row);
    EXPECT_EQ(plan.parent, std::get<2>(row)) << std::get<0>(row);
  }
}

// What other programs left in the registry, cut short or out of range.
TEST(RegistryTexts, MalformedValuesGiveNothing) {
  EXPECT_EQ(UnquoteUninstallString("\""), "");
  const std::pair<const char*, int> kVersions[] = {{"11.0.9600", 11}, {"9a.1", 0}, {".5", 0}, {"99999999999.1", 0}};
  for (const auto& row : kVersions) EXPECT_EQ(BrowserMajorVersionOf(row.first), row.second) << row.first;
}

// The list as "text:indentation" items and the shown folder's index.
std::string Shown(const TFolderList& list) {
  std::string out;
  for (const TFolderItem& item : list.items) out += item.text + ":" + std::to_string(item.indent) + " ";
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
  // Folders named in double-byte characters, split by their code page's
  // characters, and by bytes in a single-byte one: 0x83 0x54 is a katakana of
  // 932, 0x81 0x5C a character of 936.
  const struct {
    const char* path;
    unsigned codePage;
    const char *shown, *destination, *appended;  // the list, its last item's folder, the subfolder added
  } kRows[] = {
      {"C:\\" HYO "\\" HYO, 932, "C:\\:0 " HYO ":6 " HYO ":12 Trawlix:-18 @2", "C:\\" HYO "\\" HYO "\\Trawlix",
       "C:\\" HYO "\\" HYO "\\Trawlix"},
      {"C:\\" HYO "\\" HYO, 1252, "C:\\:0 \x95:6 \x95:12 Trawlix:-18 @2", "C:\\\x95\\\x95\\Trawlix",
       "C:\\" HYO "\\" HYO "Trawlix"},
      {"D:\\\x83" "Trawlix", 932, "D:\\:0 \x83Trawlix:6 Trawlix:-12 @1", "D:\\\x83Trawlix\\Trawlix",
       "D:\\\x83Trawlix\\Trawlix"},
      {"D:\\\x83" "Trawlix", 1252, "D:\\:0 \x83Trawlix:-6 @1", "D:\\\x83Trawlix", "D:\\\x83Trawlix\\Trawlix"},
      {"E:\\\x81\\Trawlix", 936, "E:\\:0 \x81\\Trawlix:-6 @1", "E:\\\x81\\Trawlix", "E:\\\x81\\Trawlix\\Trawlix"},
      {"E:\\\x81\\Trawlix", 1252, "E:\\:0 \x81:6 Trawlix:-12 @2", "E:\\\x81\\Trawlix", "E:\\\x81\\Trawlix"}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.path) + " in " + std::to_string(row.codePage));
    const TLeadByteRule lead = twxtest::LeadBytesOf(row.codePage);
    const TFolderList list = BuildFolderList(row.path, "Trawlix", {}, lead);
    EXPECT_EQ(Shown(list), row.shown);
    EXPECT_EQ(SelectedFolderPath(list, static_cast<int>(list.items.size()) - 1, lead), row.destination);
    EXPECT_EQ(AppendSubfolderName(row.path, "Trawlix", lead), row.appended);
  }
}

}  // namespace
