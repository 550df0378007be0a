// Libraries outside the import table come from the system folder only.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "SystemLibrary.h"

namespace {

std::string ModuleFolder(HMODULE module) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  return UpperAscii(ParentPart(std::string(path, length)));
}

TEST(SystemLibrary, LoadsFromTheSystemFolderAndFindsItsFunctions) {
  const std::string system = UpperAscii(ParentPart(SystemLibraryPath("version.dll")));
  ASSERT_FALSE(system.empty());
  for (const char* name : {"version.dll", "mpr.dll", "advapi32.dll"}) {
    HMODULE module = LoadSystemLibrary(name);
    ASSERT_NE(module, nullptr) << name;
    EXPECT_EQ(ModuleFolder(module), system) << name;
    FreeLibrary(module);
  }
  HMODULE version = LoadSystemLibrary("version.dll");
  typedef DWORD(WINAPI * PSize)(LPCSTR, LPDWORD);
  EXPECT_NE(LibraryFunction<PSize>(version, "GetFileVersionInfoSizeA"), nullptr);
  EXPECT_EQ(LibraryFunction<PSize>(version, "NoSuchFunctionTwx"), nullptr);
  FreeLibrary(version);
  EXPECT_EQ(LibraryFunction<PSize>(nullptr, "GetFileVersionInfoSizeA"), nullptr);
  EXPECT_EQ(LoadSystemLibrary("twx-no-such-library.dll"), nullptr);
}


}  // namespace
