// This program is bundled with the stand-in product's payload the way the setup
// is, and extracts its own payload as the setup's extraction step does.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileUtils.h"
#include "TestSupport.h"
#include "VhUnZip.h"

namespace {

int gPumps = 0;
void CountingPump() { ++gPumps; }

// Every file below folder, as paths relative to it.
void CollectFiles(const std::string& folder, const std::string& prefix, std::vector<std::string>* files) {
  for (const std::string& name : twxtest::ListFolder(folder)) {
    const std::string path = folder + "\\" + name;
    if (IsExistingFolder(path))
      CollectFiles(path, prefix + name + "\\", files);
    else
      files->push_back(prefix + name);
  }
}

TEST(ExtractPayload, InstallsThePackedTreeByteForByteWithTimesAndAttributes) {
  twxtest::TempFolder temp;
  const std::string destination = temp.Join("Program Files\\VarnTech\\Trawlix");
  MakeFolderPath(destination);
  gPumps = 0;
  ASSERT_TRUE(ExtractPayload(destination, CountingPump));
  EXPECT_FALSE(IsExistingFile(destination + "\\tempfile.$$$"));

  std::vector<std::string> expected, extracted;
  CollectFiles(TWX_PACKED_DIR, "", &expected);
  CollectFiles(destination, "", &extracted);
  ASSERT_GT(expected.size(), 20u);
  EXPECT_EQ(extracted, expected);
  for (const std::string& file : expected) {
    SCOPED_TRACE(file);
    const std::string source = std::string(TWX_PACKED_DIR) + "\\" + file;
    const std::string target = destination + "\\" + file;
    std::string a, b;
    ASSERT_TRUE(twxtest::ReadWholeFile(source, &a));
    ASSERT_TRUE(twxtest::ReadWholeFile(target, &b));
    EXPECT_TRUE(a == b) << "contents differ";
    EXPECT_EQ(FileDosTime(target), FileDosTime(source));
    EXPECT_EQ(twxtest::IsReadOnly(target), twxtest::IsReadOnly(source));
  }
  EXPECT_TRUE(twxtest::IsReadOnly(destination + "\\License.txt"));
  EXPECT_TRUE(IsExistingFile(destination + "\\Help\\TWXHelp.pch"));
  // The pump runs while the executable is searched and copied, and per entry.
  EXPECT_GT(gPumps, static_cast<int>(expected.size()));
}

TEST(ExtractPayload, ADestinationThatDoesNotExistFails) {
  twxtest::TempFolder temp;
  EXPECT_FALSE(ExtractPayload(temp.Join("missing\\folder"), nullptr));
  EXPECT_FALSE(IsExistingFolder(temp.Join("missing")));
}

}  // namespace
