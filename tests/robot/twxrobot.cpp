// twxrobot: the robot's functions from the command line, for driving a Windows
// program of this project from a shell script under Wine.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Robot.h"

namespace {

const char kUsage[] =
    "usage: twxrobot COMMAND ARGS   (CLASS or TITLE '-' matches any; TITLE is a prefix)\n"
    "  wait CLASS TITLE [MS]          wait for a visible top-level window (default 5000 ms)\n"
    "  gone CLASS TITLE [MS]          wait until no such window is visible\n"
    "  children CLASS TITLE           list its controls: id, class, text\n"
    "  gettext CLASS TITLE ID         print a control's text\n"
    "  settext CLASS TITLE ID TEXT    set a control's text\n"
    "  click CLASS TITLE ID           press a button\n"
    "  command CLASS TITLE ID         post WM_COMMAND for a control id\n"
    "  key CLASS TITLE VK             post a key press (virtual-key code, decimal)\n"
    "  close CLASS TITLE              post WM_CLOSE\n"
    "  shot FILE.bmp [CLASS TITLE]    save the screen, or one window, as BMP\n";

std::string Any(const char* text) { return std::string(text) == "-" ? std::string() : std::string(text); }

HWND Find(char** argv, DWORD timeoutMs = 5000) {
  HWND window = robot::WaitForWindow(Any(argv[0]), Any(argv[1]), timeoutMs);
  if (!window) std::fprintf(stderr, "twxrobot: no window of class '%s' titled '%s...'\n", argv[0], argv[1]);
  return window;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = argv[1];
  char** args = argv + 2;
  const int n = argc - 2;
  if (command == "wait" && n >= 2) {
    HWND window = Find(args, n >= 3 ? std::strtoul(args[2], nullptr, 10) : 5000);
    if (!window) return 1;
    std::printf("%p\n", static_cast<void*>(window));
    return 0;
  }
  if (command == "gone" && n >= 2) {
    HWND window = robot::WaitForWindow(Any(args[0]), Any(args[1]), 0);
    return !window || robot::WaitForWindowGone(window, n >= 3 ? std::strtoul(args[2], nullptr, 10) : 5000) ? 0 : 1;
  }
  if (command == "shot" && (n == 1 || n == 3)) {
    if (n == 1) return robot::SaveScreenBmp(args[0]) ? 0 : 1;
    HWND window = Find(args + 1);
    return window && robot::SaveWindowBmp(window, args[0]) ? 0 : 1;
  }
  if (n < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  HWND window = Find(args);
  if (!window) return 1;
  if (command == "children") {
    for (const robot::TChild& child : robot::Children(window))
      std::printf("%d\t%s\t%s\n", child.id, child.className.c_str(), child.text.c_str());
    return 0;
  }
  if (command == "close") return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
  if (n < 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const int id = std::atoi(args[2]);
  if (command == "gettext") {
    HWND control = robot::Control(window, id);
    if (!control) return 1;
    std::printf("%s\n", robot::WindowText(control).c_str());
    return 0;
  }
  if (command == "click") return robot::ClickButton(window, id) ? 0 : 1;
  if (command == "command") return robot::PostCommand(window, id) ? 0 : 1;
  if (command == "key") return robot::PressKey(window, static_cast<UINT>(id)) ? 0 : 1;
  if (command == "settext" && n >= 4) return robot::SetControlText(window, id, args[3]) ? 0 : 1;
  std::fputs(kUsage, stderr);
  return 2;
}
