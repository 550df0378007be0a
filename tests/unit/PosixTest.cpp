// What only the native build has to show: the read-only attribute as write
// bits, links, and real read and write failures part-way through a file.
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "PatchBytes.h"
#include "PostSetLogic.h"
#include "TestSupport.h"

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat info = {};
  EXPECT_EQ(stat(NativePath(path).c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

// Exclusive creation refuses a link that leads nowhere (one planted between
// clearing an entry's name and creating its file); attributes set on a link
// never reach its target.
TEST(PosixFiles, ReadOnlyIsTheWriteBitsAndNothingIsCreatedOrChangedThroughALink) {
  twxtest::TempFolder temp;
  const std::string file = temp.Join("ro"), target = temp.Join("target"), link = temp.Join("link");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "x") && chmod(NativePath(file).c_str(), 0666) == 0);
  ASSERT_EQ(SetAttributes(file, kAttrReadOnly | kAttrArchive), 0u);
  EXPECT_EQ(ModeOf(file), 0444u) << "every write bit goes";
  ASSERT_EQ(SetAttributes(file, kAttrArchive), 0u);
  EXPECT_EQ(ModeOf(file), 0644u) << "the owner's comes back";
  ASSERT_TRUE(twxtest::MakeLink(target, link, false));
  EXPECT_EQ(CreateNewFile(link), kNoFile);
  EXPECT_EQ(PathKind(target, false), kPathMissing);
  ASSERT_TRUE(twxtest::WriteWholeFile(target, "x") && chmod(NativePath(target).c_str(), 0444) == 0);
  EXPECT_NE(SetAttributes(link, kAttrArchive), 0u);
  EXPECT_EQ(ModeOf(target), 0444u);
  EXPECT_TRUE(RemoveLink(link) && !RemoveLink(target));
}

// sysfs gives a page as the size of a file that holds one line: the read ends
// early, as it does for a file that shrinks while it is read. Such a capture
// would later be restored as a truncated user file.
TEST(PosixFiles, AFileThatEndsBeforeItsSizeIsAFailedRead) {
  std::string bytes;
  EXPECT_FALSE(ReadFileToString("/sys/devices/system/cpu/online", &bytes));
  EXPECT_EQ(LoadCustomFile("/sys/devices/system/cpu/online", ""), "");
}

// The process's file size limit makes the kernel refuse the bytes beyond it,
// as a full disk does; the signal is ignored so that write() fails instead.
TEST(FullDisk, APatchedMainProgramThatCannotBeWrittenWholeStaysAsItWas) {
  twxtest::TempFolder temp;
  const patchbytes::Bytes base = twxtest::RandomBytes(100000, 1), tail = twxtest::RandomBytes(50000, 2);
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Join("Trawlix.exe"), patchbytes::AsText(base)));
  const patchbytes::Bytes patch = patchbytes::MakePatch(base, patchbytes::operator+(base, tail));
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Join("Trawlix.pch"), patchbytes::AsText(patch)));
  rlimit old, limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  limit = old;
  limit.rlim_cur = 120000;  // room for the old program, not for the new one
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool applied = ApplyPatch(temp.Join("Trawlix.exe"), temp.Join("Trawlix.exe"), temp.Join("Trawlix.pch"));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(applied);
  EXPECT_TRUE(twxtest::ReadWholeFileOr(temp.Join("Trawlix.exe"), "") == patchbytes::AsText(base));
  EXPECT_EQ(twxtest::ListFolder(temp.Path()), std::vector<std::string>{"Trawlix.exe"});
}

}  // namespace
