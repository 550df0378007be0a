// What only the native build has to show: backslash paths on a POSIX file system,
// the read-only attribute as write bits, last access left alone.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "TestSupport.h"

namespace {

TEST(PosixFiles, BackslashesAreSeparatorsOnDisk) {
  EXPECT_EQ(NativePath("/tmp/x\\Help\\a.txt"), "/tmp/x/Help/a.txt");
  twxtest::TempFolder temp;
  MakeFolderPath(temp.Join("Help\\Deep"));
  struct stat info;
  ASSERT_EQ(stat((temp.Path() + "/Help/Deep").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
}

TEST(PosixFiles, ReadOnlyClearsEveryWriteBitAndNormalRestoresTheOwners) {
  twxtest::TempFolder temp;
  const std::string file = temp.Join("ro");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "x"));
  ASSERT_EQ(chmod(NativePath(file).c_str(), 0666), 0);
  ASSERT_EQ(SetAttributes(file, kAttrReadOnly | kAttrArchive), 0u);
  struct stat info;
  ASSERT_EQ(stat(NativePath(file).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0444u);
  ASSERT_EQ(SetAttributes(file, kAttrArchive), 0u);
  ASSERT_EQ(stat(NativePath(file).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
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
  struct stat info;
  ASSERT_EQ(stat(NativePath(file).c_str(), &info), 0);
  EXPECT_EQ(info.st_atime, 1000000000);
  EXPECT_NE(info.st_mtime, 1000000000);
}

}  // namespace
