// What only Windows can show of the file utilities: the three file times kept
// apart, wildcard look-ups, drive roots.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "TestSupport.h"

namespace {

FILETIME MakeFileTime(WORD year, WORD month, WORD day) {
  SYSTEMTIME st = {};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wHour = 12;
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return ft;
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool SameTime(const FILETIME& a, const FILETIME& b) { return CompareFileTime(&a, &b) == 0; }

TEST(FileTimes, SetFileDosTimeChangesOnlyTheLastWriteTime) {
  twxtest::TempFolder temp;
  const std::string path = temp.Join("times.bin");
  ASSERT_TRUE(twxtest::WriteWholeFile(path, "abc"));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const FILETIME created = MakeFileTime(1999, 1, 2), accessed = MakeFileTime(2003, 4, 5),
                 written = MakeFileTime(2005, 6, 7);
  ASSERT_TRUE(SetFileTime(file, &created, &accessed, &written));

  // What is read back before must be what is read back after. Wine reports the
  // inode change time as creation time, which moves with every change of the
  // file's times, so the creation time can only be checked on Windows itself.
  FILETIME c0, a0, w0;
  ASSERT_TRUE(GetFileTime(file, &c0, &a0, &w0));
  EXPECT_TRUE(SameTime(a0, accessed));
  EXPECT_TRUE(SameTime(w0, written));

  const TDosDateTime stamp = ((26u << 9 | 3u << 5 | 14u) << 16) | (15u << 11 | 9u << 5 | 13u);
  EXPECT_EQ(SetFileDosTime(file, stamp), 0u);
  FILETIME c, a, w;
  ASSERT_TRUE(GetFileTime(file, &c, &a, &w));
  CloseHandle(file);
  if (!RunningUnderWine()) {
    EXPECT_TRUE(SameTime(c, c0));
  }
  EXPECT_TRUE(SameTime(a, a0));
  EXPECT_FALSE(SameTime(w, w0));
  EXPECT_EQ(FileDosTime(path), stamp);
}

TEST(FileTimes, FailuresReturnTheSystemErrorCode) {
  const TDosDateTime valid = ((26u << 9 | 3u << 5 | 14u) << 16);
  EXPECT_EQ(SetFileDosTime(INVALID_HANDLE_VALUE, valid), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(SetAttributes("C:\\no such folder twx\\file", 0), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
}

TEST(Existence, WildcardsAreLookedUpAsPatternsAndDriveRootsAreFolders) {
  twxtest::TempFolder temp;
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Join("one.txt"), "1"));
  EXPECT_TRUE(IsExistingFile(temp.Join("*.txt")));
  EXPECT_FALSE(IsExistingFile(temp.Join("*.dat")));
  EXPECT_TRUE(IsExistingFolder("C:\\"));
  EXPECT_FALSE(IsExistingFile("C:\\"));
  EXPECT_EQ(FileDosTime("C:\\"), kNoDosTime);
  // Roots stop at once; a drive that does not exist fails quietly.
  for (const char* root : {"C:", "C:\\", "C:\\\\\\"}) MakeFolderPath(root);
  EXPECT_TRUE(IsExistingFolder("C:\\"));
  char letter = 'Z';
  while (letter > 'C' && (GetLogicalDrives() & (1u << (letter - 'A')))) --letter;
  ASSERT_GT(letter, 'C');
  const std::string missing = std::string(1, letter) + ":\\A\\B";
  MakeFolderPath(missing);
  EXPECT_FALSE(IsExistingFolder(missing));
}

}  // namespace
