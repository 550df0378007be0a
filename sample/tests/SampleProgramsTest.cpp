// The stand-in product's programs run as a user (and the setup) meets them:
// the main program's window by which a setup sees it running, its query folder
// view, its tools, and the search-box helper's instance-file handshake.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "AppFrame.h"
#include "FileUtils.h"
#include "HelperInstance.h"
#include "Robot.h"
#include "SampleTestSupport.h"
#include "TestSupport.h"

namespace {

using sampletest::TProgram;

const DWORD kWindowWait = twxtest::kUntilDone;

std::string ViewOf(HWND window) { return robot::WindowText(robot::Control(window, twx::kViewId)); }

HWND WaitForProcessWindow(DWORD process, const char* className, const char* title) {
  return robot::WaitForWindow(className, title, kWindowWait, process);
}

void Shoot(HWND window, const std::string& name) {
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  robot::SaveWindowBmp(window, twxtest::ArtifactsFolder() + "\\" + name + ".bmp");
}

// Closes a program's window as a user would and expects a clean end.
void CloseAndExpectExit(TProgram& program, HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(kWindowWait), 0u);
}

class SampleProduct : public ::testing::Test {
 protected:
  void SetUp() override {
    installed_ = folder_.Join("Trawlmark 5.3");
    ASSERT_TRUE(sampletest::MakeInstalledProduct(installed_));
  }
  twxtest::TempFolder folder_;
  std::string installed_;  // release programs in place, as after the delta patches
};

TEST_F(SampleProduct, ReleaseIsFoundAsTheRunningProductAndShowsWhatItWasGiven) {
  // A path with blanks, as the file association passes it (quoted "%1").
  const std::string other = installed_ + "\\My Queries\\not a query.twx";
  CreateDirectoryA((installed_ + "\\My Queries").c_str(), nullptr);
  ASSERT_TRUE(twxtest::WriteWholeFile(other, "Trawlmark Engine Sets\r\n"));
  struct {
    std::string arguments, title, view;
  } const cases[] = {
      {"\"" + installed_ + "\\Queries\\NONAME.TWX\"", "Trawlmark 5.3 - NONAME.TWX",
       "Query folder: Untitled\r\nFile: NONAME.TWX\r\n\r\n3 queries:\r\n  1. herring prices north sea   [Search in Web]"},
      {"\"" + other + "\"", "Trawlmark 5.3 - not a query.twx", "not a query.twx is not a Trawlmark query folder."},
      {"\"" + installed_ + "\\gone.twx\"", "Trawlmark 5.3 - gone.twx", "gone.twx cannot be opened."},
      {"", "Trawlmark 5.3", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    TProgram trawlix;
    ASSERT_TRUE(trawlix.Start(installed_ + "\\Trawlix.exe", c.arguments));
    // What a setup looks for: any top-level window of this class whose title begins so.
    HWND window = robot::WaitForWindow("TApplication", "Trawlmark", kWindowWait);
    ASSERT_NE(window, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(owner, trawlix.Id());
    EXPECT_EQ(robot::WindowText(window), c.title);
    const std::string view = ViewOf(window);
    EXPECT_TRUE(c.view.empty() ? view.empty() : view.find(c.view) != std::string::npos) << view;
    if (&c == cases) Shoot(window, "sample_trawlix_release");
    CloseAndExpectExit(trawlix, window);
    EXPECT_TRUE(robot::WaitForWindowGone(window, kWindowWait));
  }
}

TEST_F(SampleProduct, ReleaseStartsItsToolsFromItsOwnFolder) {
  TProgram trawlix;
  ASSERT_TRUE(trawlix.Start(installed_ + "\\Trawlix.exe"));
  HWND window = WaitForProcessWindow(trawlix.Id(), "TApplication", "Trawlmark");
  ASSERT_NE(window, nullptr);

  const int kEngineSets = 13, kHelpContents = 14;
  PostMessageA(window, WM_COMMAND, kEngineSets, 0);
  HWND sets = robot::WaitForWindow("TWXSrchCfg", "Trawlix Engine Sets", kWindowWait);
  ASSERT_NE(sets, nullptr);
  const std::string setsView = ViewOf(sets);
  EXPECT_NE(setsView.find("3 engine sets, 4 registered engines"), std::string::npos) << setsView;
  EXPECT_NE(setsView.find("Search in Web\r\n    Harbour Web Index   http://search.example.com/find?q=%s"),
            std::string::npos)
      << setsView;
  Shoot(sets, "sample_srchcfg");
  PostMessageA(sets, WM_CLOSE, 0, 0);
  EXPECT_TRUE(robot::WaitForWindowGone(sets, kWindowWait));

  PostMessageA(window, WM_COMMAND, kHelpContents, 0);
  HWND help = robot::WaitForWindow("TWXHelpViewer", "Trawlix Help", kWindowWait);
  ASSERT_NE(help, nullptr);
  EXPECT_NE(ViewOf(help).find("== Query folders =="), std::string::npos);
  PostMessageA(help, WM_CLOSE, 0, 0);
  EXPECT_TRUE(robot::WaitForWindowGone(help, kWindowWait));
  CloseAndExpectExit(trawlix, window);
}

// The search-box helper, run from a folder of its own as the setup installs it.
class SearchBoxHelper : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = folder_.Join("QBox.exe");
    instance_ = folder_.Join("QBox.tmp");
    ASSERT_TRUE(CopyFileA(sampletest::PayloadPath("QBox.exe").c_str(), exe_.c_str(), FALSE));
  }
  // The helper has claimed its file once it waits in its message loop; then
  // the file names a window of its own process. The file is not read before:
  // a reader holding it, however briefly, keeps the helper from removing a
  // stale one, and the helper then gives up.
  HWND WaitForHelperWindow(TProgram& helper) {
    if (!helper.WaitUntilIdle(kWindowWait)) return nullptr;
    // Idle may come before the claim: the claimed file holds four bytes.
    if (!sampletest::WaitForFileSize(instance_, 4, kWindowWait)) return nullptr;
    HWND window = twx::ReadHelperWindow(instance_);
    DWORD owner = 0;
    return window && GetWindowThreadProcessId(window, &owner) && owner == helper.Id() ? window : nullptr;
  }
  twxtest::TempFolder folder_;
  std::string exe_, instance_;
};

// The setup's side of the handshake (WM_QUIT, a second start that ends at
// once) runs against this helper in the post-install tests.
TEST_F(SearchBoxHelper, HoldsItsInstanceFileAndReplacesOneLeftByAHelperThatDidNotEndCleanly) {
  // A stale file: not held, naming no window; once more read-only.
  for (DWORD attributes : {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_READONLY}) {
    ASSERT_TRUE(twxtest::WriteWholeFile(instance_, std::string("\x01\x02\x03\x04\x05", 5)));
    SetFileAttributesA(instance_.c_str(), attributes);
    TProgram helper;
    ASSERT_TRUE(helper.Start(exe_));
    HWND window = WaitForHelperWindow(helper);
    ASSERT_NE(window, nullptr) << "no instance file naming a window of the helper";
    EXPECT_EQ(robot::ClassName(window), "TWXQBox");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(twxtest::ReadWholeFileOr(instance_, "").size(), 4u) << "the stale bytes were replaced";
    EXPECT_FALSE(DeleteFileA(instance_.c_str())) << "not held";
    // The uninstaller's way of ending it.
    EXPECT_TRUE(twx::StopHelper(instance_, kWindowWait));
    EXPECT_EQ(helper.WaitForExit(kWindowWait), 0u);
    EXPECT_FALSE(IsExistingFile(instance_));
  }
}

TEST_F(SearchBoxHelper, ClaimsInProcessAndReadersSeeOnlyLiveWindows) {
  HWND first = CreateWindowExA(0, "STATIC", "first", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  HWND second = CreateWindowExA(0, "STATIC", "second", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(first && second);
  HANDLE held = INVALID_HANDLE_VALUE, other = INVALID_HANDLE_VALUE;
  ASSERT_EQ(twx::ClaimHelperInstance(instance_, first, &held), twx::kInstanceClaimed);
  EXPECT_EQ(twx::ClaimHelperInstance(instance_, second, &other), twx::kInstanceRunning);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(twx::ReadHelperWindow(instance_), first);
  // No helper to stop while the file is held by a window that never quits.
  DestroyWindow(first);
  EXPECT_EQ(twx::ReadHelperWindow(instance_), nullptr);
  EXPECT_EQ(twx::ClaimHelperInstance(instance_, second, &other), twx::kInstanceFailed);
  EXPECT_FALSE(twx::StopHelper(instance_, 300));
  twx::ReleaseHelperInstance(held, instance_);
  EXPECT_FALSE(IsExistingFile(instance_));
  EXPECT_TRUE(twx::StopHelper(instance_, 300));  // nothing running: nothing to wait for

  ASSERT_TRUE(twxtest::WriteWholeFile(instance_, "ab"));  // shorter than a handle
  EXPECT_EQ(twx::ReadHelperWindow(instance_), nullptr);
  DestroyWindow(second);
}

}  // namespace
