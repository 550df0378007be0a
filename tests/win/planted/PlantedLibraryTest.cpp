// A version.dll of a stranger's, planted in this program's own folder, is
// never the one the system utilities load, even while it is loaded already.
// Wine is told to prefer a library beside the program, as Windows does for
// every library that is not a known one.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "SystemLibrary.h"

namespace {

bool IsPlanted(HMODULE module) { return GetProcAddress(module, "TwxPlantedMarker") != nullptr; }

TEST(PlantedLibraries, TheSystemsCopyIsLoadedEvenWithAPlantedOneLoaded) {
  // The guard's reason is real here: a plain load by name takes the stranger's library.
  HMODULE planted = LoadLibraryA("version.dll");
  ASSERT_NE(planted, nullptr);
  ASSERT_TRUE(IsPlanted(planted));
  HMODULE module = LoadSystemLibrary("version.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_FALSE(IsPlanted(module));
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  EXPECT_EQ(UpperAscii(ParentPart(std::string(path, length))), UpperAscii(ParentPart(SystemLibraryPath("version.dll"))));
  typedef DWORD(WINAPI * PSize)(LPCSTR, LPDWORD);
  EXPECT_NE(LibraryFunction<PSize>(module, "GetFileVersionInfoSizeA"), nullptr);
  EXPECT_EQ(LoadSystemLibrary("twx-no-such-library.dll"), nullptr);
  FreeLibrary(module);
  FreeLibrary(planted);
}

}  // namespace
