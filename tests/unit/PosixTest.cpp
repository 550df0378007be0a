// What only the native build has to show: backslash paths on a POSIX file
// system, the read-only attribute as write bits, last access left alone, and a
// real write failure part-way through a file.
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "PatchMaker.h"
#include "PostSetLogic.h"
#include "TestSupport.h"

namespace {

struct stat StatOf(const std::string& path) {
  struct stat info = {};
  EXPECT_EQ(stat(NativePath(path).c_str(), &info), 0) << path;
  return info;
}

TEST(PosixFiles, BackslashesAreSeparatorsAndReadOnlyIsTheWriteBits) {
  EXPECT_EQ(NativePath("/tmp/x\\Help\\a.txt"), "/tmp/x/Help/a.txt");
  twxtest::TempFolder temp;
  MakeFolderPath(temp.Join("Help\\Deep"));
  EXPECT_TRUE(S_ISDIR(StatOf(temp.Path() + "/Help/Deep").st_mode));
  const std::string file = temp.Join("ro");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "x"));
  ASSERT_EQ(chmod(NativePath(file).c_str(), 0666), 0);
  ASSERT_EQ(SetAttributes(file, kAttrReadOnly | kAttrArchive), 0u);
  EXPECT_EQ(StatOf(file).st_mode & 0777, 0444u) << "every write bit goes";
  ASSERT_EQ(SetAttributes(file, kAttrArchive), 0u);
  EXPECT_EQ(StatOf(file).st_mode & 0777, 0644u) << "the owner's comes back";
}

TEST(PosixFiles, SetFileDosTimeLeavesTheAccessTime) {
  twxtest::TempFolder temp;
  const std::string file = temp.Join("t");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "x"));
  struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, NativePath(file).c_str(), times, 0), 0);
  TFileHandle handle = OpenFileForReadWrite(file);
  ASSERT_NE(handle, kNoFile);
  EXPECT_EQ(SetFileDosTime(handle, ((30u << 9 | 1u << 5 | 1u) << 16)), 0u);
  CloseFile(handle);
  EXPECT_EQ(StatOf(file).st_atime, 1000000000);
  EXPECT_NE(StatOf(file).st_mtime, 1000000000);
}

// Links natively: exclusive creation refuses a name that exists as a link, one
// that leads nowhere too (a link planted between clearing an entry's name and
// creating its file), and attributes set on a link never reach its target.
TEST(PosixFiles, NewFilesAreNeverCreatedThroughALinkAndALinksAttributesAreItsOwn) {
  twxtest::TempFolder temp;
  const std::string target = temp.Join("target"), link = temp.Join("link");
  ASSERT_TRUE(twxtest::MakeLink(target, link, false));
  EXPECT_EQ(PathKind(link, false), kPathLink);
  EXPECT_EQ(CreateNewFile(link), kNoFile);
  EXPECT_EQ(PathKind(target, false), kPathMissing) << "nothing created through the link";
  ASSERT_TRUE(twxtest::WriteWholeFile(target, "x"));
  ASSERT_EQ(chmod(NativePath(target).c_str(), 0444), 0);
  EXPECT_EQ(PathKind(link, true), kPathFile);
  EXPECT_NE(SetAttributes(link, kAttrArchive), 0u);
  EXPECT_EQ(StatOf(target).st_mode & 0777, 0444u);
  EXPECT_TRUE(RemoveLink(link));
  EXPECT_FALSE(RemoveLink(target)) << "a plain file is no link";
  EXPECT_EQ(twxtest::ReadWholeFileOr(target, ""), "x");
}

// sysfs gives a page as the size of a file that holds one line: the read ends
// early, as it does for a file that shrinks while it is read. Such a capture
// would later be restored as a truncated user file.
TEST(PosixFiles, AFileThatEndsBeforeItsSizeIsAFailedRead) {
  const std::string shortFile = "/sys/devices/system/cpu/online";
  ASSERT_GT(StatOf(shortFile).st_size, 64);
  std::string bytes;
  EXPECT_FALSE(ReadFileToString(shortFile, &bytes));
  EXPECT_EQ(LoadCustomFile(shortFile, ""), "");
}

// The process's file size limit makes the kernel refuse the bytes beyond it,
// as a full disk does; the signal is ignored so that write() fails instead.
TEST(FullDisk, APatchedMainProgramThatCannotBeWrittenWholeStaysAsItWas) {
  twxtest::TempFolder temp;
  const auto base = twxtest::RandomBytes(100000, 1);
  auto target = base;
  const auto tail = twxtest::RandomBytes(50000, 2);
  target.insert(target.end(), tail.begin(), tail.end());
  const std::string baseText(base.begin(), base.end());
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Join("Trawlix.exe"), baseText));
  const auto patch = patchbytes::MakePatch(base, target);
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Join("Trawlix.pch"), std::string(patch.begin(), patch.end())));
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
  EXPECT_TRUE(twxtest::ReadWholeFileOr(temp.Join("Trawlix.exe"), "") == baseText);
  EXPECT_FALSE(IsExistingFile(temp.Join("Trawlix.exe.$$$")));
  EXPECT_FALSE(IsExistingFile(temp.Join("Trawlix.pch")));
}

}  // namespace
