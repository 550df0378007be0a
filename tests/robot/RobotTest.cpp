// The robot drives a real modal box on the test display, across threads, and
// keeps a screenshot of it.
#include <windows.h>

#include <gtest/gtest.h>

#include "Robot.h"
#include "TestSupport.h"

namespace {

DWORD WINAPI ShowBox(LPVOID result) {
  *static_cast<int*>(result) = MessageBoxA(nullptr, "Robot check: press Cancel.", "TwxRobotProbe", MB_OKCANCEL);
  return 0;
}

TEST(Robot, FindsReadsShootsAndPressesAModalBox) {
  int result = -2;
  HANDLE thread = CreateThread(nullptr, 0, ShowBox, &result, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  HWND box = robot::WaitForWindow("#32770", "TwxRobotProbe", 10000);
  ASSERT_NE(box, nullptr) << "the message box did not appear: is the display up?";
  // Limited to one process, the search sees only that process's windows.
  EXPECT_EQ(robot::WaitForWindow("#32770", "TwxRobotProbe", 0, GetCurrentProcessId()), box);
  EXPECT_EQ(robot::WaitForWindow("#32770", "TwxRobotProbe", 100, GetCurrentProcessId() + 4), nullptr);

  bool sawText = false, sawCancel = false;
  for (const robot::TChild& child : robot::Children(box)) {
    if (child.text == "Robot check: press Cancel.") sawText = true;
    if (child.id == IDCANCEL && child.className == "Button") sawCancel = true;
  }
  EXPECT_TRUE(sawText);
  EXPECT_TRUE(sawCancel);

  Sleep(300);  // let the box paint before it is photographed
  const std::string shot = twxtest::ArtifactsFolder() + "\\robot_messagebox.bmp";
  EXPECT_TRUE(robot::SaveWindowBmp(box, shot));
  std::string bytes;
  ASSERT_TRUE(twxtest::ReadWholeFile(shot, &bytes));
  EXPECT_GT(bytes.size(), 1000u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");

  ASSERT_TRUE(robot::ClickButton(box, IDCANCEL));
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(robot::WaitForWindowGone(box, 2000));
}

TEST(Robot, WaitingForAMissingWindowTimesOut) {
  const DWORD start = GetTickCount();
  EXPECT_EQ(robot::WaitForWindow("NoSuchClassTwx", "", 200), nullptr);
  EXPECT_GE(GetTickCount() - start, 150u);
}

}  // namespace
