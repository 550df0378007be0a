#include "Robot.h"

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

bool SaveRectBmp(const RECT& rect, const std::string& path) {
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done;
    ok = ok && out != INVALID_HANDLE_VALUE && WriteFile(out, &file, sizeof file, &done, nullptr) &&
         WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &done, nullptr) &&
         WriteFile(out, bits, imageSize, &done, nullptr) && done == imageSize;
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
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
  const DWORD start = GetTickCount();
  for (;;) {
    TSearch search = {&className, &titlePrefix, processId, controlId, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(20);
  }
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

HWND Settled(HWND window) {
  DWORD_PTR result = 0;
  if (window) SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, INFINITE, &result);
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
  RECT rect;
  return GetWindowRect(window, &rect) && SaveRectBmp(rect, path);
}

}  // namespace robot
