// A real write failure part-way through a file, natively: the process's file
// size limit makes the kernel refuse the bytes beyond it, as a full disk does.
#include <csignal>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "PatchMaker.h"
#include "PostSetLogic.h"
#include "TestSupport.h"

namespace {

// Limits the size of every file this process writes while it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);  // a failed write() instead of the signal
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldHandler_);
  }
  bool Active() const { return active_; }

 private:
  rlimit old_;
  void (*oldHandler_)(int);
  bool active_ = false;
};

TEST(FullDisk, APatchedMainProgramThatCannotBeWrittenWholeStaysAsItWas) {
  twxtest::TempFolder temp;
  const auto base = twxtest::RandomBytes(100000, 1);
  auto target = base;
  const auto tail = twxtest::RandomBytes(50000, 2);
  target.insert(target.end(), tail.begin(), tail.end());
  const std::string baseText(base.begin(), base.end());
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Join("Trawlix.exe"), baseText));
  const auto patch = patchbytes::MakePatch(base, target);
  ASSERT_TRUE(twxtest::WriteWholeFile(temp.Join("Trawlix.pch"), std::string(patch.begin(), patch.end())));
  {
    // Room for the old program, not for the new one.
    FileSizeLimit limit(120000);
    ASSERT_TRUE(limit.Active());
    EXPECT_FALSE(ApplyPatch(temp.Join("Trawlix.exe"), temp.Join("Trawlix.exe"), temp.Join("Trawlix.pch")));
  }
  EXPECT_TRUE(twxtest::ReadWholeFileOr(temp.Join("Trawlix.exe"), "") == baseText);
  EXPECT_FALSE(IsExistingFile(temp.Join("Trawlix.exe.$$$")));
  EXPECT_FALSE(IsExistingFile(temp.Join("Trawlix.pch")));
}

}  // namespace
