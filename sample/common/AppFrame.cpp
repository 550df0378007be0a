#include "AppFrame.h"

#include <shellapi.h>

namespace twx {

namespace {

const char kDescriptionProp[] = "TwxFrameDescription";

const TAppFrame* Description(HWND frame) {
  return static_cast<const TAppFrame*>(GetPropA(frame, kDescriptionProp));
}

void CreateView(HWND frame) {
  HWND view = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                  ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                              0, 0, 0, 0, frame, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewId)),
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(frame, GWLP_HINSTANCE)), nullptr);
  if (view) SendMessageA(view, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

void TakeDrop(HWND frame, HDROP drop) {
  char path[MAX_PATH + 1];
  const TAppFrame* description = Description(frame);
  // Only the first file: the window shows one document at a time.
  if (description && description->onDropFile && DragQueryFileA(drop, 0, path, sizeof path))
    description->onDropFile(frame, path);
  DragFinish(drop);
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      const TAppFrame* description = static_cast<const TAppFrame*>(create->lpCreateParams);
      SetPropA(frame, kDescriptionProp, const_cast<TAppFrame*>(description));
      CreateView(frame);
      if (description->onDropFile) DragAcceptFiles(frame, TRUE);
      return 0;
    }
    case WM_SIZE:
      MoveWindow(GetDlgItem(frame, kViewId), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(GetDlgItem(frame, kViewId));
      return 0;
    case WM_COMMAND: {
      const TAppFrame* description = Description(frame);
      if (LOWORD(wParam) != kViewId && description && description->onCommand)
        description->onCommand(frame, LOWORD(wParam));
      return 0;
    }
    case WM_DROPFILES:
      TakeDrop(frame, reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_DESTROY:
      RemovePropA(frame, kDescriptionProp);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(frame, message, wParam, lParam);
}

}  // namespace

HWND CreateAppFrame(HINSTANCE instance, const TAppFrame* description) {
  WNDCLASSA windowClass = {};
  if (!GetClassInfoA(instance, description->className, &windowClass)) {
    windowClass.lpfnWndProc = FrameProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = description->iconName ? LoadIconA(instance, description->iconName) : nullptr;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = description->menuId ? MAKEINTRESOURCEA(description->menuId) : nullptr;
    windowClass.lpszClassName = description->className;
    if (!RegisterClassA(&windowClass)) return nullptr;
  }
  HWND frame = CreateWindowExA(0, description->className, description->title, WS_OVERLAPPEDWINDOW,
                               CW_USEDEFAULT, CW_USEDEFAULT, 560, 400, nullptr, nullptr, instance,
                               const_cast<TAppFrame*>(description));
  return frame;
}

void ShowAppFrame(HWND frame, int showCommand) {
  ShowWindow(frame, showCommand);
  UpdateWindow(frame);
}

void SetViewText(HWND frame, const std::string& text) { SetDlgItemTextA(frame, kViewId, text.c_str()); }

int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace twx
