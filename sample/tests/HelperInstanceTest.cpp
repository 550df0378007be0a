// The search-box helper's instance-file handshake, which the setup and the
// uninstaller rely on to find, stop and replace a running helper.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "FileUtils.h"
#include "HelperInstance.h"
#include "TestSupport.h"

namespace {

HWND Popup() { return CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); }

struct HelperInstance : ::testing::Test {
  twxtest::TempFolder folder_;
  const std::string instance_ = folder_.Join("QBox.tmp");
};

// A file left by a helper that did not end cleanly (not held, naming no
// window; once more read-only) is replaced by the helper's claim.
TEST_F(HelperInstance, TheHelperReplacesAStaleFileHoldsItAndQuitsWhenAsked) {
  const std::string exe = folder_.Join("QBox.exe");
  ASSERT_TRUE(CopyFileA(twxtest::PayloadPath("QBox.exe").c_str(), exe.c_str(), FALSE));
  for (DWORD attributes : {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_READONLY}) {
    SCOPED_TRACE(attributes);
    ASSERT_TRUE(twxtest::WriteWholeFile(instance_, std::string("\x01\x02\x03\x04\x05", 5)));
    SetFileAttributesA(instance_.c_str(), attributes);
    twxtest::TProgram helper;
    ASSERT_TRUE(helper.Start(exe));
    // Not read before the helper waits for input with its file claimed: a
    // reader holding the file keeps the helper from removing a stale one.
    ASSERT_TRUE(helper.WaitUntilIdle(twxtest::kUntilDone));
    WIN32_FILE_ATTRIBUTE_DATA data;  // attributes only: the file is never opened
    ASSERT_TRUE(twxtest::WaitUntil([&] { return GetFileAttributesExA(instance_.c_str(), GetFileExInfoStandard, &data) &&
                                                data.nFileSizeLow == 4; }, twxtest::kUntilDone, "the claim over the stale bytes"));
    DWORD owner = 0;
    GetWindowThreadProcessId(twx::ReadHelperWindow(instance_), &owner);
    EXPECT_EQ(owner, helper.Id()) << "the file names the helper's live window";
    EXPECT_FALSE(DeleteFileA(instance_.c_str())) << "not held";
    EXPECT_TRUE(twx::StopHelper(instance_, twxtest::WaitBound(twxtest::kUntilDone))) << "the helper stopped";
    EXPECT_EQ(helper.WaitForExit(twxtest::kUntilDone), 0u);
    EXPECT_FALSE(IsExistingFile(instance_));
  }
}

// A second helper started at the same moment: it removes the first one's
// file and writes its own just before the first reopens the file to hold it.
decltype(&CreateFileA) gCreateFile = nullptr;
HWND gRival = nullptr;

HANDLE WINAPI RivalWritesFirst(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE model) {
  if (gRival && access == GENERIC_READ && disposition == OPEN_EXISTING) {
    DeleteFileA(path);
    HANDLE file = gCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    const uint32_t bits = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(gRival));
    DWORD written = 0;
    WriteFile(file, &bits, sizeof bits, &written, nullptr);
    CloseHandle(file);
    gRival = nullptr;
  }
  return gCreateFile(path, access, share, security, disposition, flags, model);
}

TEST_F(HelperInstance, OneClaimAtATimeAndReadersSeeOnlyLiveWindows) {
  HWND first = Popup(), second = Popup();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  HANDLE held = INVALID_HANDLE_VALUE, other = INVALID_HANDLE_VALUE;
  gCreateFile = reinterpret_cast<decltype(&CreateFileA)>(
      twxtest::ReplaceImport("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(RivalWritesFirst)));
  ASSERT_NE(gCreateFile, nullptr);
  gRival = second;
  EXPECT_EQ(twx::ClaimHelperInstance(instance_, first, &held), twx::kInstanceRunning) << "the rival's claim";
  twxtest::ReplaceImport("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(gCreateFile));
  EXPECT_EQ(gRival, nullptr) << "the claim did not reopen its file";
  EXPECT_EQ(twx::ReadHelperWindow(instance_), second);
  ASSERT_TRUE(DeleteFileA(instance_.c_str()));

  ASSERT_EQ(twx::ClaimHelperInstance(instance_, first, &held), twx::kInstanceClaimed);
  EXPECT_EQ(twx::ClaimHelperInstance(instance_, second, &other), twx::kInstanceRunning);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(twx::ReadHelperWindow(instance_), first);
  // Held by a window that is gone: no helper to stop, and no claim either.
  DestroyWindow(first);
  EXPECT_EQ(twx::ReadHelperWindow(instance_), nullptr);
  EXPECT_EQ(twx::ClaimHelperInstance(instance_, second, &other), twx::kInstanceFailed);
  EXPECT_FALSE(twx::StopHelper(instance_, 300));
  twx::ReleaseHelperInstance(held, instance_);
  EXPECT_FALSE(IsExistingFile(instance_));
  EXPECT_TRUE(twx::StopHelper(instance_, 300)) << "nothing running: nothing to wait for";
  ASSERT_TRUE(twxtest::WriteWholeFile(instance_, "ab"));
  EXPECT_EQ(twx::ReadHelperWindow(instance_), nullptr) << "shorter than a handle";
  DestroyWindow(second);
}

}  // namespace
