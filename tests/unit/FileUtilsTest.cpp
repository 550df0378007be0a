// Path splitting, attributes, file times and folder creation; these run natively
// and under Wine from the same source.
#include <gtest/gtest.h>

#include "FileUtils.h"
#include "TestSupport.h"

namespace {

struct TPathRow {
  const char* input;
  const char* pathPart;
  const char* namePart;
  const char* parentPart;
  const char* extensionPart;
};

const TPathRow kPathRows[] = {
    {"C:\\Program Files\\VarnTech\\uninst.exe", "C:\\Program Files\\VarnTech\\", "uninst.exe",
     "C:\\Program Files\\VarnTech", ".exe"},
    {"C:\\Trawlix", "C:\\", "Trawlix", "C:", ""},
    {"C:\\A.B\\C", "C:\\A.B\\", "C", "C:\\A.B", ""},
    {"name", "", "name", "", ""},
    // Roots: the separator at position 3 is dropped, never kept.
    {"C:\\", "C:\\", "", "C:", ""},
    {"C:", "C:", "", "C", ""},
    {"C:x.txt", "C:", "x.txt", "C", ".txt"},
    // Doubled backslashes before the last name: PathPart keeps both, ParentPart drops both.
    {"C:\\A\\\\B", "C:\\A\\\\", "B", "C:\\A", ""},
    // Two dots: only the last one starts the extension.
    {"C:\\Data\\archive.tar.gz", "C:\\Data\\", "archive.tar.gz", "C:\\Data", ".gz"},
    // A trailing separator: the name is empty and the parent is the folder itself.
    {"C:\\Trawlix\\", "C:\\Trawlix\\", "", "C:\\Trawlix", ""},
    {"C:\\Trawlix\\\\\\", "C:\\Trawlix\\\\\\", "", "C:\\Trawlix", ""},
    // The forward slash is no separator.
    {"C:\\a/b.c", "C:\\", "a/b.c", "C:", ".c"},
    {"dir.d/name", "", "dir.d/name", "", ".d/name"},
    {".profile", "", ".profile", "", ".profile"},
    {"", "", "", "", ""},
};

TEST(PathParts, WorkedValuesAndOddShapes) {
  for (const TPathRow& row : kPathRows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(PathPart(row.input), row.pathPart);
    EXPECT_EQ(NamePart(row.input), row.namePart);
    EXPECT_EQ(ParentPart(row.input), row.parentPart);
    EXPECT_EQ(ExtensionPart(row.input), row.extensionPart);
    // The two halves always make up the whole path again.
    EXPECT_EQ(PathPart(row.input) + NamePart(row.input), row.input);
  }
}

TEST(PathParts, SeparatorSearchAndCaseFolding) {
  EXPECT_EQ(LastSeparatorPos("\\:", "C:\\A\\B"), 5);  // one-based
  EXPECT_EQ(LastSeparatorPos("\\", "abc"), 0);
  EXPECT_EQ(LastSeparatorPos("", "a\\b"), 0);
  // A NUL inside a counted string is an ordinary byte, not a separator.
  EXPECT_EQ(LastSeparatorPos("\\", std::string("a\\b\0c", 5)), 2);
  EXPECT_EQ(ZStrLength(nullptr), 0);
  EXPECT_EQ(ZStrLength("abc\0def"), 3);
  // Only ASCII letters change: accented ANSI letters keep their form.
  EXPECT_EQ(UpperAscii(std::string("az`{@[\xE9\xFF\0b", 10)), std::string("AZ`{@[\xE9\xFF\0B", 10));
}

class FileOps : public ::testing::Test {
 protected:
  twxtest::TempFolder temp;
};

TEST_F(FileOps, FoldersAreMadeLevelByLevelAndToldApartFromFiles) {
  const std::string file = temp.Join("plain");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "data"));
  MakeFolderPath(temp.Join("A\\B\\C\\"));
  MakeFolderPath(temp.Join("D\\E\\\\\\"));  // a run of trailing backslashes goes completely
  MakeFolderPath(file + "\\sub\\deeper");   // below a file: fails quietly
  MakeFolderPath("");
  // As deep as the platform's path limit allows, level by level; one character
  // more and nothing at all is made.
  std::string deepest = temp.Path();
  while (deepest.size() + 2 <= kPlatformPathLimit) deepest += "\\d";
  MakeFolderPath(deepest);
  EXPECT_TRUE(IsExistingFolder(deepest));
  std::string over = temp.Path();
  while (over.size() + 102 <= kPlatformPathLimit) over += "\\" + std::string(100, 'o');
  MakeFolderPath(over + "\\" + std::string(kPlatformPathLimit - over.size(), 'o'));
  EXPECT_FALSE(IsExistingFolder(temp.Join(std::string(100, 'o'))));
  EXPECT_TRUE(IsExistingFolder(temp.Join("A\\B\\C")));
  EXPECT_TRUE(IsExistingFolder(temp.Join("D\\E\\")));
  EXPECT_FALSE(IsExistingFolder(file + "\\sub"));
  EXPECT_EQ(twxtest::ReadWholeFileOr(file, ""), "data");
  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_FALSE(IsExistingFolder(file));
  EXPECT_FALSE(IsExistingFile(temp.Join("A")));
  EXPECT_FALSE(IsExistingFile(temp.Join("missing")));
  EXPECT_FALSE(IsExistingFolder(temp.Join("missing")));
  EXPECT_EQ(FileDosTime(temp.Join("A")), kNoDosTime);
  EXPECT_EQ(FileDosTime(temp.Join("missing")), kNoDosTime);
  EXPECT_NE(SetAttributes(temp.Join("missing"), 0), 0u);
}

TEST_F(FileOps, DosTimeRoundTripsThroughAnOpenFile) {
  const std::string file = temp.Join("stamped.bin");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "abc"));
  // 2001-09-09 14:46:40 local: date (21 << 9 | 9 << 5 | 9), time (14 << 11 | 46 << 5 | 20).
  const TDosDateTime stamp = ((21u << 9 | 9u << 5 | 9u) << 16) | (14u << 11 | 46u << 5 | 20u);
  TFileHandle handle = OpenFileForReadWrite(file);
  ASSERT_NE(handle, kNoFile);
  EXPECT_EQ(SetFileDosTime(handle, stamp), 0u);
  ASSERT_TRUE(CloseFile(handle));
  EXPECT_EQ(FileDosTime(file), stamp);
  EXPECT_EQ(twxtest::ReadWholeFileOr(file, ""), "abc");
}

TEST_F(FileOps, InvalidDosTimeIsReportedAndChangesNothing) {
  const std::string file = temp.Join("f.bin");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "abc"));
  const TDosDateTime before = FileDosTime(file);
  ASSERT_NE(before, kNoDosTime);
  TFileHandle handle = OpenFileForReadWrite(file);
  ASSERT_NE(handle, kNoFile);
  // No such dates or times: month 13, month 0, day 0, 30 February, hour 31,
  // minute 61, second 60. Each must be reported, never taken as success.
  const TDosDateTime impossible[] = {
      ((20u << 9 | 13u << 5 | 1u) << 16), ((20u << 9 | 0u << 5 | 1u) << 16),
      ((20u << 9 | 1u << 5 | 0u) << 16),  ((20u << 9 | 2u << 5 | 30u) << 16),
      ((20u << 9 | 1u << 5 | 1u) << 16) | (31u << 11),
      ((20u << 9 | 1u << 5 | 1u) << 16) | (12u << 11 | 61u << 5),
      ((20u << 9 | 1u << 5 | 1u) << 16) | 30u,
  };
  for (TDosDateTime value : impossible) EXPECT_NE(SetFileDosTime(handle, value), 0u) << std::hex << value;
  CloseFile(handle);
  EXPECT_EQ(FileDosTime(file), before);
}

}  // namespace
