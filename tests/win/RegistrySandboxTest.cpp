// The registry sandbox must really redirect every root, and leave nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include "RegistrySandbox.h"

namespace {

using twxtest::ReadRegString;
using twxtest::RegKeyExists;
using twxtest::WriteRegString;

TEST(RegistrySandbox, RootsStartEmptyAndWritesStayInside) {
  // The real machine has this key; inside the sandbox it is not there.
  ASSERT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion"));
  std::string scratch;
  {
    twxtest::RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Active());
    scratch = sandbox.ScratchPath();
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Wine"));
    EXPECT_FALSE(RegKeyExists(HKEY_USERS, ".Default"));

    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS};
    const char* names[] = {"HKLM", "HKCU", "HKCR", "HKU"};
    for (int i = 0; i < 4; ++i) {
      SCOPED_TRACE(names[i]);
      ASSERT_TRUE(WriteRegString(roots[i], "TwxProbe\\Sub", "Name", names[i]));
      EXPECT_EQ(ReadRegString(roots[i], "TwxProbe\\Sub", "Name"), names[i]);
    }
    // Where the writes really went: below the scratch tree, one subtree per root.
    EXPECT_EQ(ReadRegString(sandbox.Keys(1), "TwxProbe\\Sub", "Name"), "HKCU");
  }
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "TwxProbe"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "TwxProbe"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, scratch));
}

}  // namespace
