// QBox.exe, the search-box helper that starts at log-on. Its window stays
// hidden; what matters to the rest of the product is the instance file beside
// it (see HelperInstance.h), which lets a setup or the uninstaller end it by
// posting WM_QUIT to its window.
//
// A second start while a helper runs (the setup starts the helper again after
// every installation, also when the installed copy was already current) finds
// the instance file held and ends at once, so exactly one helper keeps running.
#include <windows.h>

#include <string>

#include "HelperInstance.h"
#include "TextFiles.h"

namespace {

const char kClassName[] = "TWXQBox";
const char kTitle[] = "Trawlix Search Box";

HANDLE instanceFile = INVALID_HANDLE_VALUE;

LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ENDSESSION:
      // The session ends without a WM_QUIT: leave no window handle behind.
      if (wParam) {
        twx::ReleaseHelperInstance(instanceFile);
        instanceFile = INVALID_HANDLE_VALUE;
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = HelperProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, "MAINICON");
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, kTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 1;

  switch (twx::ClaimHelperInstance(HelperInstancePath(twx::ProgramFolder()), window, &instanceFile)) {
    case twx::kInstanceClaimed:
      break;
    case twx::kInstanceRunning:
      DestroyWindow(window);
      return 0;
    case twx::kInstanceFailed:
      DestroyWindow(window);
      return 1;
  }

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  twx::ReleaseHelperInstance(instanceFile);
  if (IsWindow(window)) DestroyWindow(window);
  return 0;
}
