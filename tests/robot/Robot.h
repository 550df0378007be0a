// A small Win32 robot: finds windows by class and title, reads control texts,
// clicks, presses keys and takes screenshots. It works across processes, so a test can
// drive a dialog of the program under test (or of its own second thread).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace robot {

// A top-level window whose class equals className (empty: any) and whose title
// begins with titlePrefix (empty: any) and that is visible; waits up to
// timeoutMs. Null when none appeared in time. A processId other than 0 takes
// only that process's windows: tests running side by side may show windows of
// the same class and title. A controlId other than 0 takes only windows with
// a control of that id (a dialog and a message box may share their title).
HWND WaitForWindow(const std::string& className, const std::string& titlePrefix, DWORD timeoutMs,
                   DWORD processId = 0, int controlId = 0);
// Waits until the window is gone (destroyed or hidden); false on a time-out.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);
// Returns the window once its thread has finished what it was doing (a
// dialog's set-up, a timer's step): a sent message is taken only between two.
HWND Settled(HWND window);

HWND Control(HWND dialog, int id);
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// Presses a button: posted, so a button that opens a modal box does not block the robot.
bool ClickButton(HWND dialog, int id);
// Posts a key press and release (virtual-key code) to a window.
bool PressKey(HWND window, UINT virtualKey);

struct TChild {
  HWND window;
  int id;
  std::string className;
  std::string text;
};
std::vector<TChild> Children(HWND parent);

// Saves one window's screen rectangle as a 24-bit BMP file.
bool SaveWindowBmp(HWND window, const std::string& path);

}  // namespace robot
