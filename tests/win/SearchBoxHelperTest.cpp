// The search-box helper step with the stand-in helper really running: the
// instance-file handshake, the version rule, the Run value and the start from
// a shared folder whose path has blanks. Machine roots redirected, folders and
// processes of the test's own; teardown ends every helper the test started.
#include <windows.h>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "Global.h"
#include "PostInstallTestSupport.h"
#include "PostSet.h"
#include "RegistrySandbox.h"
#include "SampleTestSupport.h"
#include "TestSupport.h"

namespace {

using namespace postinstalltest;

const DWORD kStartWait = twxtest::kUntilDone;

std::string HelperOf(const char* version) {
  return std::string(version) == "5.3" ? sampletest::PayloadPath("QBox.exe") : TWX_HELPER_5_10;
}

class SearchBoxHelper : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Active());
    savedVersion_ = OsVersion;
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    ASSERT_TRUE(GetVersionExA(&OsVersion));
    ASSERT_GE(OsVersion.dwMajorVersion, 6u) << "the machine counts as Windows XP or later";
    // Where Windows keeps shared files, blanks and all.
    shared_ = temp_.Join("Common Files\\VarnTech");
    installed_ = shared_ + "\\QBox.exe";
    instance_ = shared_ + "\\QBox.tmp";
    destination_ = temp_.Join("Program Files\\VarnTech\\Trawlix");
    payload_ = destination_ + "\\QBox.exe";
    MakeFolderPath(destination_);
  }
  void TearDown() override {
    postinstalltest::EndProcessesBelow(temp_.Path());
    OsVersion = savedVersion_;
  }
  void PutPayload(const std::string& from) { ASSERT_TRUE(CopyFileA(from.c_str(), payload_.c_str(), FALSE)); }
  void PutInstalled(const std::string& from) {
    MakeFolderPath(shared_);
    ASSERT_TRUE(CopyFileA(from.c_str(), installed_.c_str(), FALSE));
  }
  // The installed helper started as log-on starts it; its process id.
  DWORD StartInstalled() {
    programs_.emplace_back(new sampletest::TProgram);
    if (!programs_.back()->Start(installed_)) return 0;
    return postinstalltest::WaitForHelper(instance_, installed_, kStartWait);
  }
  std::string RunValue() { return twxtest::ReadRegRaw(HKEY_LOCAL_MACHINE, kRunKey, "VTQBox"); }
  // Runs the step; how long it took.
  DWORD Install() {
    const DWORD start = GetTickCount();
    InstallSearchBoxHelper(destination_, shared_);
    return GetTickCount() - start;
  }

  twxtest::RegistrySandbox sandbox_;
  twxtest::TempFolder temp_;
  std::vector<std::unique_ptr<sampletest::TProgram>> programs_;
  OSVERSIONINFOA savedVersion_;
  std::string shared_, installed_, instance_, destination_, payload_;
};

TEST_F(SearchBoxHelper, AFirstInstallationCopiesRegistersAndStartsTheHelperByItsQuotedPath) {
  // Where an unquoted start from "...\Common Files\VarnTech" would go first.
  ASSERT_TRUE(CopyFileA(HelperOf("5.3").c_str(), temp_.Join("Common.exe").c_str(), FALSE));
  PutPayload(HelperOf("5.3"));
  Install();
  EXPECT_EQ(postinstalltest::VersionOf(installed_), "5.3");
  EXPECT_FALSE(IsExistingFile(payload_));
  EXPECT_EQ(RunValue(), Z("\"" + installed_ + "\""));
  EXPECT_EQ(twxtest::ReadRegType(HKEY_LOCAL_MACHINE, kRunKey, "VTQBox"), static_cast<DWORD>(REG_SZ));
  EXPECT_NE(postinstalltest::WaitForHelper(instance_, installed_, kStartWait), 0u) << "the installed helper runs";
  EXPECT_FALSE(IsExistingFile(temp_.Join("QBox.tmp"))) << "the program at the first blank was started";
}

TEST_F(SearchBoxHelper, ANewerHelperAsksTheRunningOneToQuitAndReplacesIt) {
  PutInstalled(HelperOf("5.3"));
  const DWORD old = StartInstalled();
  ASSERT_NE(old, 0u);
  PutPayload(HelperOf("5.10"));
  Install();
  EXPECT_FALSE(postinstalltest::IsRunning(old, kStartWait)) << "the old helper got WM_QUIT";
  EXPECT_EQ(postinstalltest::VersionOf(installed_), "5.10");
  const DWORD started = postinstalltest::WaitForHelper(instance_, installed_, kStartWait);
  EXPECT_NE(started, 0u);
  EXPECT_NE(started, old);
  EXPECT_FALSE(IsExistingFile(payload_));
  EXPECT_EQ(RunValue(), Z("\"" + installed_ + "\""));
}

TEST_F(SearchBoxHelper, AHelperThatIsNotNewerIsNotCopiedButRegisteredAndStartedAgain) {
  // 5.3 against an installed 5.10: 10 is greater than 3.
  PutInstalled(HelperOf("5.10"));
  const DWORD running = StartInstalled();
  ASSERT_NE(running, 0u);
  PutPayload(HelperOf("5.3"));
  Install();
  EXPECT_EQ(postinstalltest::VersionOf(installed_), "5.10");
  EXPECT_TRUE(postinstalltest::IsRunning(running, 1000)) << "the running helper was left alone";
  EXPECT_EQ(postinstalltest::HelperProcessOf(instance_), running) << "the second start ended by itself";
  EXPECT_EQ(RunValue(), Z("\"" + installed_ + "\""));
  EXPECT_FALSE(IsExistingFile(payload_));
}

TEST_F(SearchBoxHelper, TheSameVersionIsNotCopiedAgainButStarted) {
  PutInstalled(HelperOf("5.3"));
  // Marked, to see whether it was overwritten.
  HANDLE file = CreateFileA(installed_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const FILETIME old = {0x8D5F8000u, 0x01C0A6E5u};  // 2001
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
  CloseHandle(file);
  const TDosDateTime before = FileDosTime(installed_);
  PutPayload(HelperOf("5.3"));
  Install();
  EXPECT_EQ(FileDosTime(installed_), before);
  EXPECT_NE(postinstalltest::WaitForHelper(instance_, installed_, kStartWait), 0u);
  EXPECT_FALSE(IsExistingFile(payload_));
}

TEST_F(SearchBoxHelper, APayloadCopyWithoutVersionIsNeverCopied) {
  ASSERT_TRUE(twxtest::WriteWholeFile(payload_, "MZ without any version"));
  Install();
  EXPECT_FALSE(IsExistingFile(installed_));
  EXPECT_FALSE(IsExistingFile(payload_));
  EXPECT_EQ(RunValue(), Z("\"" + installed_ + "\"")) << "registered all the same";
}

TEST_F(SearchBoxHelper, OnWindows2000OnlyThePayloadCopyIsDeleted) {
  OsVersion.dwMajorVersion = 5;
  OsVersion.dwMinorVersion = 0;
  PutPayload(HelperOf("5.10"));
  Install();
  EXPECT_FALSE(IsExistingFile(payload_));
  EXPECT_FALSE(IsExistingFolder(shared_));
  EXPECT_FALSE(twxtest::RegKeyExists(HKEY_LOCAL_MACHINE, kRunKey));
  // A program the step started would be listed by the time it returned.
  EXPECT_EQ(postinstalltest::EndProcessesBelow(temp_.Path()), 0) << "nothing was started";
}

// The instance file as a helper leaves it, held so that it cannot be deleted;
// then the update runs and the file is let go. How long the update took.
DWORD InstallOverInstanceFile(SearchBoxHelper* test, const std::string& contents) {
  if (!twxtest::WriteWholeFile(test->instance_, contents)) return 0;
  HANDLE held =
      CreateFileA(test->instance_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  const DWORD took = test->Install();
  CloseHandle(held);
  return took;
}

std::string WindowBits(HWND window) {
  const uint32_t bits = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
  return std::string(reinterpret_cast<const char*>(&bits), 4);
}

TEST_F(SearchBoxHelper, AnInstanceFileThatNamesNoLiveHelperDoesNotStopTheUpdate) {
  HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  const std::string deadWindow = WindowBits(gone);
  DestroyWindow(gone);
  for (const std::string& contents : {std::string("\x01\x02", 2), deadWindow}) {
    SCOPED_TRACE(contents.size());
    PutInstalled(HelperOf("5.3"));
    PutPayload(HelperOf("5.10"));
    InstallOverInstanceFile(this, contents);
    EXPECT_EQ(postinstalltest::VersionOf(installed_), "5.10");
    postinstalltest::EndProcessesBelow(temp_.Path());
    DeleteFileA(instance_.c_str());
  }
}

TEST_F(SearchBoxHelper, AHelperThatDoesNotQuitDelaysTheUpdateByTenAndAHalfSecondsThenItGoesOn) {
  PutInstalled(HelperOf("5.3"));
  PutPayload(HelperOf("5.10"));
  // A "helper" on this thread, which does not read its messages meanwhile.
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const DWORD took = InstallOverInstanceFile(this, WindowBits(window));
  MSG message;
  EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT was posted";
  DestroyWindow(window);
  EXPECT_GE(took, 10500u) << "gave it its ten and a half seconds";
  EXPECT_EQ(postinstalltest::VersionOf(installed_), "5.10") << "the update went on regardless";
}

}  // namespace
