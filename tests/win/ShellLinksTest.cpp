// Shortcut files written through the shell-link object and read back through
// it, where the setup's scenarios do not look: working folder, description,
// the stored hot-key word and the replacement of an earlier shortcut.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "ShellLinks.h"
#include "TestSupport.h"

namespace {

TEST(ShellLinks, AShortcutReadsBackWholeAndIsReplacedWhole) {
  twxtest::TempFolder temp;
  const std::string target = temp.Join("App\\Trawlix.exe"), file = temp.Join("Trawlix.lnk");
  MakeFolderPath(temp.Join("App"));
  ASSERT_TRUE(twxtest::WriteWholeFile(target, "MZ"));
  for (WORD hotKey : {0x0673, 0}) {
    SCOPED_TRACE(hotKey);
    ASSERT_TRUE(CreateShellShortcut(target, temp.Path(), "Trawlix", hotKey == 0, hotKey));
    const twxtest::TLinkInfo info = twxtest::ReadLink(file);
    ASSERT_TRUE(info.loaded);
    EXPECT_EQ(UpperAscii(info.target), UpperAscii(target));
    EXPECT_EQ(UpperAscii(info.workingFolder), UpperAscii(temp.Join("App")));
    EXPECT_EQ(info.description, "Trawlix");
    EXPECT_EQ(info.hotKey, hotKey);
    // The word other readers take the hot-key from: offset 0x40 of the file.
    const std::string bytes = twxtest::ReadWholeFileOr(file, "");
    ASSERT_GE(bytes.size(), 0x42u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0x40]) | static_cast<unsigned char>(bytes[0x41]) << 8, hotKey);
  }
  EXPECT_EQ(twxtest::ListFolder(temp.Path()), (std::vector<std::string>{"App", "Trawlix.lnk"}));
}

}  // namespace
