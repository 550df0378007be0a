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
// window; once more read-only) is taken over by the helper's claim.
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
    // reader holding the file keeps the helper from opening it for writing.
    ASSERT_TRUE(helper.WaitUntilIdle(twxtest::kUntilDone));
    WIN32_FILE_ATTRIBUTE_DATA data;  // attributes only: the file is never opened
    ASSERT_TRUE(twxtest::WaitUntil([&] { return GetFileAttributesExA(instance_.c_str(), GetFileExInfoStandard, &data) &&
                                                data.nFileSizeLow == 4; },
                                   twxtest::kUntilDone, "the stale fifth byte to go"));
    DWORD owner = 0;
    GetWindowThreadProcessId(twx::ReadHelperWindow(instance_), &owner);
    EXPECT_EQ(owner, helper.Id()) << "the file names the helper's live window";
    EXPECT_FALSE(DeleteFileA(instance_.c_str())) << "not held";
    EXPECT_TRUE(twx::StopHelper(instance_, twxtest::WaitBound(twxtest::kUntilDone))) << "the helper stopped";
    EXPECT_EQ(helper.WaitForExit(twxtest::kUntilDone), 0u);
    EXPECT_FALSE(IsExistingFile(instance_));
  }
}

// A helper started by a user may write the instance file the setup made, but
// neither create nor delete anything in its folder. Wine grants everything, so
// the file functions refuse here what they would refuse such a user.
decltype(&CreateFileA) gCreateFile = nullptr;
decltype(&DeleteFileA) gDeleteFile = nullptr;
bool gAsUser = false;

HANDLE WINAPI UsersCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model) {
  if (gAsUser && disposition != OPEN_EXISTING && !IsExistingFile(path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return gCreateFile(path, access, share, security, disposition, flags, model);
}
BOOL WINAPI UsersDeleteFile(LPCSTR path) {
  if (!gAsUser) return gDeleteFile(path);
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

DWORD SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0xFFFFFFFFu;
}

TEST_F(HelperInstance, OneClaimAtATimeAndReadersSeeOnlyLiveWindowsAlsoForAUsersHelper) {
  gCreateFile = reinterpret_cast<decltype(&CreateFileA)>(
      twxtest::ReplaceImport("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(UsersCreateFile)));
  gDeleteFile = reinterpret_cast<decltype(&DeleteFileA)>(
      twxtest::ReplaceImport("kernel32.dll", "DeleteFileA", reinterpret_cast<void*>(UsersDeleteFile)));
  ASSERT_NE(gCreateFile, nullptr);
  ASSERT_NE(gDeleteFile, nullptr);
  for (const bool asUser : {false, true}) {
    SCOPED_TRACE(asUser ? "a user's helper" : "an administrator's helper");
    HWND first = Popup(), second = Popup();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    gAsUser = false;
    ASSERT_TRUE(twxtest::WriteWholeFile(instance_, ""));  // as the setup leaves it
    gAsUser = asUser;
    HANDLE held = INVALID_HANDLE_VALUE, other = INVALID_HANDLE_VALUE;
    ASSERT_EQ(twx::ClaimHelperInstance(instance_, first, &held), twx::kInstanceClaimed);
    EXPECT_EQ(twx::ClaimHelperInstance(instance_, second, &other), twx::kInstanceRunning);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(twx::ReadHelperWindow(instance_), first);
    EXPECT_FALSE(gDeleteFile(instance_.c_str())) << "held";
    // Held by a window that is gone: no helper to stop, and no claim either.
    DestroyWindow(first);
    EXPECT_EQ(twx::ReadHelperWindow(instance_), nullptr);
    EXPECT_EQ(twx::ClaimHelperInstance(instance_, second, &other), twx::kInstanceFailed);
    EXPECT_FALSE(twx::StopHelper(instance_, 300));
    // Released: emptied, so that the next helper, whoever starts it, can claim it.
    twx::ReleaseHelperInstance(held);
    EXPECT_EQ(SizeOf(instance_), 0u);
    ASSERT_EQ(twx::ClaimHelperInstance(instance_, second, &other), twx::kInstanceClaimed);
    twx::ReleaseHelperInstance(other);
    DestroyWindow(second);
    gAsUser = false;
    EXPECT_TRUE(twx::StopHelper(instance_, 300)) << "nothing running: nothing to wait for";
    EXPECT_FALSE(IsExistingFile(instance_));
    // Without the setup's file only an administrator's helper gets one.
    gAsUser = asUser;
    held = INVALID_HANDLE_VALUE;
    HWND third = Popup();
    EXPECT_EQ(twx::ClaimHelperInstance(instance_, third, &held), asUser ? twx::kInstanceFailed : twx::kInstanceClaimed);
    twx::ReleaseHelperInstance(held);
    DestroyWindow(third);
    gAsUser = false;
    gDeleteFile(instance_.c_str());
  }
  twxtest::ReplaceImport("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(gCreateFile));
  twxtest::ReplaceImport("kernel32.dll", "DeleteFileA", reinterpret_cast<void*>(gDeleteFile));
  ASSERT_TRUE(twxtest::WriteWholeFile(instance_, "ab"));
  EXPECT_EQ(twx::ReadHelperWindow(instance_), nullptr) << "shorter than a handle";
}

}  // namespace
