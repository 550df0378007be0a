// Libraries planted beside the program (a version.dll and an mpr.dll of a
// stranger's, in this program's own folder) are never the ones the system
// utilities load. The test runs with Wine told to prefer a library found beside
// the program, as Windows does for every library that is not a known one.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileIO.h"
#include "FileUtils.h"
#include "Global.h"
#include "SystemLibrary.h"

namespace {

std::string ModuleFolder(HMODULE module) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  return UpperAscii(ParentPart(std::string(path, length)));
}

bool IsPlanted(HMODULE module) { return GetProcAddress(module, "TwxPlantedMarker") != nullptr; }

const std::string SystemFolder() { return UpperAscii(ParentPart(SystemLibraryPath("version.dll"))); }

TEST(PlantedLibraries, TheHelperTakesTheSystemsCopyEvenWithAPlantedOneLoaded) {
  const std::string own = ParentPart(OwnModulePath());
  ASSERT_TRUE(IsExistingFile(own + "\\version.dll"));
  ASSERT_TRUE(IsExistingFile(own + "\\mpr.dll"));
  // What the helper guards against is real here: a plain load by name runs the
  // stranger's library. It stays loaded while the helper is asked.
  HMODULE planted = LoadLibraryA("version.dll");
  ASSERT_NE(planted, nullptr);
  ASSERT_TRUE(IsPlanted(planted));

  HMODULE module = LoadSystemLibrary("version.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(module, planted);
  EXPECT_FALSE(IsPlanted(module));
  EXPECT_EQ(ModuleFolder(module), SystemFolder());
  typedef DWORD(WINAPI * PSize)(LPCSTR, LPDWORD);
  EXPECT_NE(LibraryFunction<PSize>(module, "GetFileVersionInfoSizeA"), nullptr);
  EXPECT_EQ(LibraryFunction<PSize>(module, "NoSuchFunctionTwx"), nullptr);
  EXPECT_EQ(LibraryFunction<PSize>(nullptr, "GetFileVersionInfoSizeA"), nullptr);
  EXPECT_EQ(LoadSystemLibrary("twx-no-such-library.dll"), nullptr);
  FreeLibrary(module);
  // The version probe reads this program's real version, not the planted 66.77.
  unsigned major = 0, minor = 0;
  EXPECT_TRUE(GetFileVersion(OwnModulePath(), &major, &minor));
  EXPECT_EQ(major, 7u);
  EXPECT_EQ(minor, 12u);
  FreeLibrary(planted);
}

TEST(PlantedLibraries, NarrowingTheSearchProtectsEvenPlainLoads) {
  // mpr.dll has not been loaded by this program before.
  if (!RestrictLibrarySearchToSystem()) GTEST_SKIP() << "this system cannot narrow the library search";
  HMODULE module = LoadLibraryA("mpr.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_FALSE(IsPlanted(module));
  EXPECT_EQ(ModuleFolder(module), SystemFolder());
  FreeLibrary(module);
  module = LoadSystemLibrary("mpr.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_FALSE(IsPlanted(module));
  FreeLibrary(module);
}

}  // namespace
