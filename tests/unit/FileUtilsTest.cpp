// Path splitting, folder creation and file times, natively and under Wine.
#include <tuple>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "TestSupport.h"

namespace {

// Characters whose second byte is that of "\": a kanji and a katakana of code
// page 932, a character of 936 and one of 950.
#define HYO "\x95\x5C"
#define SO "\x83\x5C"
#define JO "\x81\x5C"
#define GONG "\xA5\x5C"

// Every path is split by the characters of its code page. The rows with
// double-byte characters come twice: in their code page, and in a single-byte
// one (1252), where such a second byte is a backslash. In the last two columns
// a null pointer stands for the path itself.
TEST(PathParts, WorkedValuesOddShapesAndDoubleByteCharacters) {
  const struct {
    const char* path;
    unsigned codePage;
    const char *pathPart, *name, *parent, *extension, *withoutTrailing, *collapsed;
  } kRows[] = {
      {"C:\\VarnTech\\uninst.exe", 1252, "C:\\VarnTech\\", "uninst.exe", "C:\\VarnTech", ".exe", nullptr, nullptr},
      {"C:\\Trawlix", 1252, "C:\\", "Trawlix", "C:", "", nullptr, nullptr},  // a root's separator is dropped from the parent
      {"C:\\", 1252, "C:\\", "", "C:", "", "C:", nullptr},
      {"\\\\", 1252, "\\\\", "", "", "", "", "\\"},
      {"C:x.txt", 1252, "C:", "x.txt", "C", ".txt", nullptr, nullptr},
      {"C:\\A\\\\B", 1252, "C:\\A\\\\", "B", "C:\\A", "", nullptr, "C:\\A\\B"},  // doubled backslashes before the last name
      {"C:\\A.B\\C", 1252, "C:\\A.B\\", "C", "C:\\A.B", "", nullptr, nullptr},  // a dot in a folder's name
      {"C:\\Data\\archive.tar.gz", 1252, "C:\\Data\\", "archive.tar.gz", "C:\\Data", ".gz", nullptr, nullptr},
      {"dir.d/name", 1252, "", "dir.d/name", "", ".d/name", nullptr, nullptr},  // the forward slash is no separator
      {"", 1252, "", "", "", "", nullptr, nullptr},
      {"C:\\" SO "\x83\x74\x83\x67" HYO "\\uninst.exe", 932, "C:\\" SO "\x83\x74\x83\x67" HYO "\\", "uninst.exe",
       "C:\\" SO "\x83\x74\x83\x67" HYO, ".exe", nullptr, nullptr},
      {"C:\\" SO "\x83\x74\x83\x67" HYO "\\uninst.exe", 1252, "C:\\" SO "\x83\x74\x83\x67" HYO "\\", "uninst.exe",
       "C:\\" SO "\x83\x74\x83\x67\x95", ".exe", nullptr, "C:\\" SO "\x83\x74\x83\x67" HYO "uninst.exe"},
      {"C:\\" HYO, 932, "C:\\", HYO, "C:", "", nullptr, nullptr},
      {"C:\\" HYO, 1252, "C:\\" HYO, "", "C:\\\x95", "", "C:\\\x95", nullptr},
      {"D:\\" JO "\\\\" JO ".txt\\", 936, "D:\\" JO "\\\\" JO ".txt\\", "", "D:\\" JO "\\\\" JO ".txt", "",
       "D:\\" JO "\\\\" JO ".txt", "D:\\" JO "\\" JO ".txt\\"},
      {"D:\\" JO "\\\\" JO ".txt\\", 1252, "D:\\" JO "\\\\" JO ".txt\\", "", "D:\\" JO "\\\\" JO ".txt", "",
       "D:\\" JO "\\\\" JO ".txt", "D:\\" JO "\x81\\.txt\\"},
      {"E:\\" GONG "\\\\", 950, "E:\\" GONG "\\\\", "", "E:\\" GONG, "", "E:\\" GONG, "E:\\" GONG "\\"},
      {"E:\\" GONG "\\\\", 1252, "E:\\" GONG "\\\\", "", "E:\\\xA5", "", "E:\\\xA5", "E:\\\xA5\\"}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.path) + " in " + std::to_string(row.codePage));
    const TLeadByteRule lead = twxtest::LeadBytesOf(row.codePage);
    EXPECT_EQ(PathPart(row.path, lead), row.pathPart);
    EXPECT_EQ(NamePart(row.path, lead), row.name);
    EXPECT_EQ(ParentPart(row.path, lead), row.parent);
    EXPECT_EQ(ExtensionPart(row.path, lead), row.extension);
    EXPECT_EQ(WithoutTrailingBackslashes(row.path, lead), row.withoutTrailing ? row.withoutTrailing : row.path);
    EXPECT_EQ(CollapseBackslashes(row.path, lead), row.collapsed ? row.collapsed : row.path);
  }
  // Letters are upper-cased only where they are characters of their own:
  // 0x95 0x73 is a kanji, 0x81 0x61 a hangul syllable.
  const std::tuple<const char*, unsigned, const char*> kCases[] = {
      {"\x95\x73" "abc", 932, "\x95\x73" "ABC"}, {"\x95\x73" "abc", 1252, "\x95\x53" "ABC"},
      {"\x81\x61", 949, "\x81\x61"}, {"\x81\x61", 1252, "\x81\x41"}};
  for (const auto& row : kCases)
    EXPECT_EQ(UpperAscii(std::get<0>(row), twxtest::LeadBytesOf(std::get<1>(row))), std::get<2>(row)) << std::get<1>(row);
}

TEST(FileOps, FoldersAreMadeLevelByLevelWithinThePathLimitNeverBelowAFile) {
  twxtest::TempFolder temp;
  const std::string file = temp.Join("plain");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "data"));
  // Windows keeps room for an 8.3 name: no folder longer than 248 characters.
  std::string deepest = temp.Path(), over = temp.Path();  // one character over the path limit: nothing at all is made
  while (deepest.size() + 2 <= kPlatformPathLimit - 11) deepest += "\\d";
  while (over.size() + 102 <= kPlatformPathLimit) over += "\\" + std::string(100, 'o');
  for (const std::string& path : {temp.Join("D\\E\\\\\\"), file + "\\sub\\deeper", deepest,
                                  over + "\\" + std::string(kPlatformPathLimit - over.size(), 'o')})
    MakeFolderPath(path);
  EXPECT_TRUE(IsExistingFolder(deepest));
  EXPECT_TRUE(IsExistingFolder(temp.Join("D\\E")));
  EXPECT_FALSE(IsExistingFolder(temp.Join(std::string(100, 'o')))) << "one character over the limit";
  EXPECT_FALSE(IsExistingFolder(file + "\\sub")) << "below a file";
}

// Month 13, month 0, day 0, 30 February, hour 31, minute 61, second 60 are
// refused and leave the file's time as it was; a folder has no file time.
TEST(FileOps, ImpossibleDosTimesAreRefused) {
  twxtest::TempFolder temp;
  const std::string file = temp.Join("plain");
  ASSERT_TRUE(twxtest::WriteWholeFile(file, "data"));
  EXPECT_EQ(FileDosTime(temp.Path()), kNoDosTime);
  const TDosDateTime before = FileDosTime(file);
  TFileHandle handle = OpenFileForReadWrite(file);
  ASSERT_NE(handle, kNoFile);
  const uint32_t day = (20u << 9 | 1u << 5 | 1u) << 16;
  for (TDosDateTime value : {(20u << 9 | 13u << 5 | 1u) << 16, (20u << 9 | 0u << 5 | 1u) << 16,
                             (20u << 9 | 1u << 5 | 0u) << 16, (20u << 9 | 2u << 5 | 30u) << 16, day | 31u << 11,
                             day | (12u << 11 | 61u << 5), day | 30u})
    EXPECT_NE(SetFileDosTime(handle, value), 0u) << std::hex << value;
  ASSERT_TRUE(CloseFile(handle));
  EXPECT_EQ(FileDosTime(file), before);
}

}  // namespace
