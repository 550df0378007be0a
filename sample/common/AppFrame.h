// The main window the product's programs share: a frame of a given class with
// a read-only text view that fills it. The programs differ only in what they
// put into the view and in their menu commands.
#pragma once

#include <windows.h>

#include <string>

namespace twx {

const int kViewId = 100;  // the text view's control id

struct TAppFrame {
  const char* className;
  const char* title;
  const char* iconName;  // icon resource, or null for the system's default
  int menuId;            // menu resource, or 0
  // Menu commands (ids other than the view's); may be null.
  void (*onCommand)(HWND frame, int id);
  // A file dropped onto the window; null when the program takes no drops.
  void (*onDropFile)(HWND frame, const std::string& path);
};

// Registers the class (once) and creates the frame, hidden; null on failure.
// The description must outlive the window.
HWND CreateAppFrame(HINSTANCE instance, const TAppFrame* description);

// Shows the frame once its view and title are final, so that whoever finds
// the window (a user, a setup looking for the running product) sees them.
void ShowAppFrame(HWND frame, int showCommand);

void SetViewText(HWND frame, const std::string& text);

// Dispatches messages until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace twx
