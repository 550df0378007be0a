// Path splitting, folder creation and file times, natively and under Wine.
#include <gtest/gtest.h>

#include "FileUtils.h"
#include "TestSupport.h"

namespace {

TEST(PathParts, WorkedValuesAndOddShapes) {
  const struct {
    const char *path, *pathPart, *name, *parent, *extension;
  } kRows[] = {{"C:\\VarnTech\\uninst.exe", "C:\\VarnTech\\", "uninst.exe", "C:\\VarnTech", ".exe"},
               {"C:\\Trawlix", "C:\\", "Trawlix", "C:", ""},  // a root's separator is dropped from the parent
               {"C:\\", "C:\\", "", "C:", ""},
               {"C:x.txt", "C:", "x.txt", "C", ".txt"},
               {"C:\\A\\\\B", "C:\\A\\\\", "B", "C:\\A", ""},  // doubled backslashes before the last name
               {"C:\\Data\\archive.tar.gz", "C:\\Data\\", "archive.tar.gz", "C:\\Data", ".gz"},
               {"dir.d/name", "", "dir.d/name", "", ".d/name"},  // the forward slash is no separator
               {"", "", "", "", ""}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(PathPart(row.path), row.pathPart);
    EXPECT_EQ(NamePart(row.path), row.name);
    EXPECT_EQ(ParentPart(row.path), row.parent);
    EXPECT_EQ(ExtensionPart(row.path), row.extension);
  }
}

TEST(FileOps, FoldersLevelByLevelUpToThePathLimitNeverBelowAFileAndNoImpossibleDosTimes) {
  twxtest::TempFolder temp;
  const std::string file = temp.Join("plain");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "data"));
  std::string deepest = temp.Path(), over = temp.Path();  // one character more: nothing at all is made
  while (deepest.size() + 2 <= kPlatformPathLimit) deepest += "\\d";
  while (over.size() + 102 <= kPlatformPathLimit) over += "\\" + std::string(100, 'o');
  for (const std::string& path : {temp.Join("D\\E\\\\\\"), file + "\\sub\\deeper", deepest,
                                  over + "\\" + std::string(kPlatformPathLimit - over.size(), 'o')})
    MakeFolderPath(path);
  EXPECT_TRUE(IsExistingFolder(deepest));
  EXPECT_TRUE(IsExistingFolder(temp.Join("D\\E")));
  EXPECT_FALSE(IsExistingFolder(temp.Join(std::string(100, 'o')))) << "one character over the limit";
  EXPECT_FALSE(IsExistingFolder(file + "\\sub")) << "below a file";
  EXPECT_FALSE(IsExistingFolder(file));
  EXPECT_FALSE(IsExistingFile(temp.Join("D")));
  EXPECT_EQ(FileDosTime(temp.Join("D")), kNoDosTime) << "a folder has no file time";
  const TDosDateTime before = FileDosTime(file);
  TFileHandle handle = OpenFileForReadWrite(file);
  ASSERT_NE(handle, kNoFile);
  // Month 13, month 0, day 0, 30 February, hour 31, minute 61, second 60.
  const uint32_t day = (20u << 9 | 1u << 5 | 1u) << 16;
  for (TDosDateTime value : {(20u << 9 | 13u << 5 | 1u) << 16, (20u << 9 | 0u << 5 | 1u) << 16,
                             (20u << 9 | 1u << 5 | 0u) << 16, (20u << 9 | 2u << 5 | 30u) << 16, day | 31u << 11,
                             day | (12u << 11 | 61u << 5), day | 30u})
    EXPECT_NE(SetFileDosTime(handle, value), 0u) << std::hex << value;
  ASSERT_TRUE(CloseFile(handle));
  EXPECT_EQ(FileDosTime(file), before);
  EXPECT_EQ(twxtest::ReadWholeFileOr(file, ""), "data");
}

}  // namespace
