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

TEST(PathParts, LastSeparatorPosIsOneBasedFromTheEnd) {
  EXPECT_EQ(LastSeparatorPos("\\:", "C:\\A\\B"), 5);
  EXPECT_EQ(LastSeparatorPos("\\:", "C:"), 2);
  EXPECT_EQ(LastSeparatorPos(".", "a.b.c"), 4);
  EXPECT_EQ(LastSeparatorPos("\\", "abc"), 0);
  EXPECT_EQ(LastSeparatorPos("\\", ""), 0);
  EXPECT_EQ(LastSeparatorPos("", "a\\b"), 0);
  // A NUL inside a counted string is an ordinary byte, not a separator.
  EXPECT_EQ(LastSeparatorPos("\\", std::string("a\\b\0c", 5)), 2);
}

TEST(Texts, ZStrLengthAndUpperAscii) {
  EXPECT_EQ(ZStrLength(""), 0);
  EXPECT_EQ(ZStrLength(nullptr), 0);
  EXPECT_EQ(ZStrLength("abc\0def"), 3);
  EXPECT_EQ(UpperAscii("<vhzip file begins here>"), "<VHZIP FILE BEGINS HERE>");
  EXPECT_EQ(UpperAscii("azAZ09`{@["), "AZAZ09`{@[");
  // Accented letters of the ANSI code page (e-acute, u-umlaut, y-umlaut) keep their form.
  const std::string accented("\xE9\xFC\xFF\xE0x");
  EXPECT_EQ(UpperAscii(accented), std::string("\xE9\xFC\xFF\xE0X"));
  const std::string withNul("a\0b", 3);
  EXPECT_EQ(UpperAscii(withNul), std::string("A\0B", 3));
}

class FileOps : public ::testing::Test {
 protected:
  twxtest::TempFolder temp;
};

TEST_F(FileOps, FileAndFolderAreTellApart) {
  const std::string file = temp.Join("file.txt");
  const std::string folder = temp.Join("folder");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "x"));
  MakeFolderPath(folder);
  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_FALSE(IsExistingFolder(file));
  EXPECT_TRUE(IsExistingFolder(folder));
  EXPECT_FALSE(IsExistingFile(folder));
  EXPECT_TRUE(IsExistingFolder(folder + "\\"));
  EXPECT_FALSE(IsExistingFile(temp.Join("missing")));
  EXPECT_FALSE(IsExistingFolder(temp.Join("missing")));
  EXPECT_EQ(FileDosTime(folder), kNoDosTime);
  EXPECT_EQ(FileDosTime(temp.Join("missing")), kNoDosTime);
}

TEST_F(FileOps, MakeFolderPathCreatesEveryMissingLevel) {
  const std::string deep = temp.Join("A\\B\\C");
  MakeFolderPath(deep + "\\");
  EXPECT_TRUE(IsExistingFolder(temp.Join("A")));
  EXPECT_TRUE(IsExistingFolder(temp.Join("A\\B")));
  EXPECT_TRUE(IsExistingFolder(deep));
  // Existing folder: nothing changes, a file inside survives.
  ASSERT_TRUE(twxtest::WriteWholeFile(deep + "\\keep.txt", "keep"));
  MakeFolderPath(deep);
  EXPECT_EQ(twxtest::ReadWholeFileOr(deep + "\\keep.txt", ""), "keep");
  // A run of trailing backslashes is removed completely.
  MakeFolderPath(temp.Join("D\\E\\\\\\"));
  EXPECT_TRUE(IsExistingFolder(temp.Join("D\\E")));
  MakeFolderPath("");
}

TEST_F(FileOps, MakeFolderPathBelowAFileFailsSilently) {
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Join("plain"), "data"));
  MakeFolderPath(temp.Join("plain\\sub\\deeper"));
  EXPECT_FALSE(IsExistingFolder(temp.Join("plain\\sub")));
  EXPECT_EQ(twxtest::ReadWholeFileOr(temp.Join("plain"), ""), "data");
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
  // The contents are not touched.
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

TEST_F(FileOps, ReadOnlyAttributeIsSetAndCleared) {
  const std::string file = temp.Join("ro.txt");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "old"));
  EXPECT_EQ(SetAttributes(file, kAttrReadOnly), 0u);
  EXPECT_TRUE(twxtest::IsReadOnly(file));
  EXPECT_EQ(SetAttributes(file, 0), 0u);
  EXPECT_FALSE(twxtest::IsReadOnly(file));
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "new"));
  EXPECT_EQ(twxtest::ReadWholeFileOr(file, ""), "new");
  EXPECT_NE(SetAttributes(temp.Join("missing.txt"), 0), 0u);
}

}  // namespace
