// The text rules behind shortcuts, shared folders and the start-up probes.
#include <gtest/gtest.h>

#include "SysUtilLogic.h"

namespace {

TEST(ShortcutWorkingFolder, IsTheTargetsFolderOrTheRootWithItsBackslash) {
  EXPECT_EQ(ShortcutWorkingFolder("D:\\Tools\\Trawlix\\Trawlix.exe"), "D:\\Tools\\Trawlix");
  EXPECT_EQ(ShortcutWorkingFolder("C:\\Trawlix.exe"), "C:\\");
  EXPECT_EQ(ShortcutWorkingFolder("C:\\A\\"), "C:\\A");
  EXPECT_EQ(ShortcutWorkingFolder("Trawlix.exe"), "");
  EXPECT_EQ(ShortcutWorkingFolder(""), "");
}

TEST(PlanSharedFolder, ListsEveryParentOutermostFirstAndTheParentWithoutBackslash) {
  TSharedFolderPlan plan;
  ASSERT_TRUE(PlanSharedFolder("C:\\A\\B\\C", &plan));
  EXPECT_EQ(plan.prefixes, (std::vector<std::string>{"C:\\", "C:\\A\\", "C:\\A\\B\\"}));
  EXPECT_EQ(plan.parent, "C:\\A\\B");

  // Directly below a root the parent is the bare drive.
  ASSERT_TRUE(PlanSharedFolder("C:\\Trawlix", &plan));
  EXPECT_EQ(plan.prefixes, (std::vector<std::string>{"C:\\"}));
  EXPECT_EQ(plan.parent, "C:");

  // Forward slashes are separators too and become backslashes.
  ASSERT_TRUE(PlanSharedFolder("C:/A/B", &plan));
  EXPECT_EQ(plan.prefixes, (std::vector<std::string>{"C:\\", "C:\\A\\"}));
  EXPECT_EQ(plan.parent, "C:\\A");

  // A network path begins with the prefix "\\", which no system can create.
  ASSERT_TRUE(PlanSharedFolder("\\\\server\\share\\x", &plan));
  ASSERT_GE(plan.prefixes.size(), 2u);
  EXPECT_EQ(plan.prefixes[0], "\\");
  EXPECT_EQ(plan.prefixes[1], "\\\\");
}

TEST(PlanSharedFolder, RefusesPathsLongerThanTheSystemsBuffers) {
  TSharedFolderPlan plan;
  plan.parent = "stale";
  std::string path = "C:\\" + std::string(256, 'a');  // 259 characters: the longest taken
  ASSERT_EQ(path.size(), 259u);
  EXPECT_TRUE(PlanSharedFolder(path, &plan));
  EXPECT_EQ(plan.parent, "C:");
  path += 'b';
  EXPECT_FALSE(PlanSharedFolder(path, &plan));
  EXPECT_TRUE(plan.prefixes.empty());
  EXPECT_TRUE(plan.parent.empty());
}

TEST(StampYear, ReplacesOnlyTheFirstPlaceholderRightAligned) {
  EXPECT_EQ(StampYear("(C) 2001-YYYY VarnTech", 2026), "(C) 2001-2026 VarnTech");
  EXPECT_EQ(StampYear("YYYY and YYYY", 2026), "2026 and YYYY");
  EXPECT_EQ(StampYear("no placeholder", 2026), "no placeholder");
  EXPECT_EQ(StampYear("[YYYY]", 999), "[ 999]");
  EXPECT_EQ(StampYear("[YYYYY]", 2026), "[2026Y]");
}

TEST(UnquoteUninstallString, RemovesOneQuoteAtEachEndOnly) {
  EXPECT_EQ(UnquoteUninstallString("\"D:\\Tools\\Trawlix\\uninst.exe\""), "D:\\Tools\\Trawlix\\uninst.exe");
  EXPECT_EQ(UnquoteUninstallString("D:\\Tools\\Trawlix\\uninst.exe"), "D:\\Tools\\Trawlix\\uninst.exe");
  // Arguments after a quoted program stay, with their quote.
  EXPECT_EQ(UnquoteUninstallString("\"C:\\A B\\uninst.exe\" /S"), "C:\\A B\\uninst.exe\" /S");
  EXPECT_EQ(UnquoteUninstallString("\"\"x\"\""), "\"x\"");
  EXPECT_EQ(UnquoteUninstallString("\""), "");
  EXPECT_EQ(UnquoteUninstallString(""), "");
}

TEST(BrowserMajorVersionOf, TakesTheDecimalNumberBeforeTheFirstDot) {
  EXPECT_EQ(BrowserMajorVersionOf("11.0.9600.17842"), 11);
  EXPECT_EQ(BrowserMajorVersionOf("6.0.2900.2180"), 6);
  EXPECT_EQ(BrowserMajorVersionOf("7.0.6000.16386"), 7);
  EXPECT_EQ(BrowserMajorVersionOf("8"), 8);
  EXPECT_EQ(BrowserMajorVersionOf("abc"), 0);
  EXPECT_EQ(BrowserMajorVersionOf("9a.1"), 0);
  EXPECT_EQ(BrowserMajorVersionOf(".5"), 0);
  EXPECT_EQ(BrowserMajorVersionOf(""), 0);
  EXPECT_EQ(BrowserMajorVersionOf("99999999999.1"), 0);  // no overflow into a made-up number
}

}  // namespace
