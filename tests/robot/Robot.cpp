#include "Robot.h"

#include "TestSupport.h"

namespace robot {

namespace {

struct TSearch {
  const std::string* className;
  const std::string* titlePrefix;
  DWORD processId;
  int controlId;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
  TSearch* search = reinterpret_cast<TSearch*>(data);
  if (!IsWindowVisible(window)) return TRUE;
  if (search->processId != 0) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
  }
  if (!search->className->empty() && ClassName(window) != *search->className) return TRUE;
  if (WindowText(window).compare(0, search->titlePrefix->size(), *search->titlePrefix) != 0) return TRUE;
  if (search->controlId && !GetDlgItem(window, search->controlId)) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM data) {
  auto* children = reinterpret_cast<std::vector<TChild>*>(data);
  children->push_back({window, GetDlgCtrlID(window), ClassName(window), WindowText(window)});
  return TRUE;
}

}  // namespace

std::string WindowText(HWND window) {
  char buffer[4096];
  // WM_GETTEXT works across processes, also for edit controls of other programs.
  const LRESULT n = SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string ClassName(HWND window) {
  char buffer[256];
  const int n = GetClassNameA(window, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

HWND WaitForWindow(const std::string& className, const std::string& titlePrefix, DWORD timeoutMs,
                   DWORD processId, int controlId) {
  TSearch search = {&className, &titlePrefix, processId, controlId, nullptr};
  twxtest::WaitUntil([&] { return EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search)), search.found; },
                     timeoutMs, "a window \"" + titlePrefix + "\" of class \"" + className + "\"");
  return search.found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);  // sends nothing to a window that may hang
  return twxtest::WaitUntil([&] { return !IsWindowVisible(window); }, timeoutMs,
                            "the window \"" + std::string(title) + "\" to go");
}

HWND Settled(HWND window) {
  DWORD_PTR result = 0;
  if (window && !SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, twxtest::WaitBound(INFINITE), &result) &&
      IsWindow(window))
    twxtest::NeverCame("the window of class \"" + ClassName(window) + "\" to take a message");
  return window;
}

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

bool ClickButton(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control && PostMessageA(control, BM_CLICK, 0, 0);
}

bool PressKey(HWND window, UINT virtualKey) {
  return PostMessageA(window, WM_KEYDOWN, virtualKey, 1) && PostMessageA(window, WM_KEYUP, virtualKey, 0xC0000001);
}

std::vector<TChild> Children(HWND parent) {
  std::vector<TChild> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool SaveWindowBmp(HWND window, const std::string& path) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info = {sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  std::string bits(static_cast<size_t>((width * 3 + 3) & ~3) * height, '\0');
  const bool ok = GetDIBits(screen, bitmap, 0, height, &bits[0], reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  const BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof file + sizeof info + bits.size()), 0, 0,
                                 sizeof file + sizeof info};
  return ok && twxtest::WriteWholeFile(path, std::string(reinterpret_cast<const char*>(&file), sizeof file) +
                                                 std::string(reinterpret_cast<const char*>(&info), sizeof info) + bits);
}

}  // namespace robot
