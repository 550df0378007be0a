// What only the native build has to show: links, and a real read failure
// part-way through a file (a real full disk: the packer's command-line test).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "PostSetLogic.h"
#include "TestSupport.h"

namespace {

// Exclusive creation refuses a link that leads nowhere (one planted between
// clearing an entry's name and creating its file); attributes set on a link
// never reach its target.
TEST(PosixFiles, NothingIsCreatedOrChangedThroughALink) {
  twxtest::TempFolder temp;
  const std::string target = temp.Join("target"), link = temp.Join("link");
  ASSERT_TRUE(twxtest::MakeLink(target, link, false));
  EXPECT_EQ(CreateNewFile(link), kNoFile);
  EXPECT_EQ(PathKind(target, false), kPathMissing);
  ASSERT_TRUE(twxtest::WriteWholeFile(target, "x"));
  ASSERT_EQ(chmod(NativePath(target).c_str(), 0444), 0);
  EXPECT_NE(SetAttributes(link, kAttrArchive), 0u);
  EXPECT_TRUE(twxtest::IsReadOnly(target));
  EXPECT_TRUE(RemoveLink(link));
  EXPECT_FALSE(RemoveLink(target)) << "a file is no link";
}

// sysfs gives a page as the size of a file that holds one line: the read ends
// early, as it does for a file that shrinks while it is read. Such a capture
// would later be restored as a truncated user file.
TEST(PosixFiles, AFileThatEndsBeforeItsSizeIsAFailedRead) {
  std::string bytes;
  EXPECT_FALSE(ReadFileToString("/sys/devices/system/cpu/online", &bytes));
  EXPECT_EQ(LoadCustomFile("/sys/devices/system/cpu/online", ""), "");
}

}  // namespace
