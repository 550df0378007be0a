#include "Backdrop.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <vector>

#include "Product.h"
#include "Setup.h"
#include "SetupLogic.h"
#include "Sounds.h"
#include "TWXInstIds.h"
#include "Texts.h"

namespace {

const COLORREF kTransparent = RGB(0, 0, 0);

HBITMAP Badge = nullptr;
HBITMAP Captions[kCaptionCount] = {};

// Status window state.
int ProgressCounter = 0;
bool WelcomePlayed = false;

// The gradient tile (1/32 of the screen wide, as high as the screen); null when
// it cannot be made.
HBITMAP MakeGradientBitmap() {
  const int width = GetSystemMetrics(SM_CXSCREEN) / 32, height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = width > 0 && height > 0 ? CreateCompatibleBitmap(screen, width, height) : nullptr;
  if (bitmap) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up: scan line 0 is the bottom one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> line(static_cast<size_t>(width));
    for (int y = 0; y < height && bitmap; ++y) {
      for (int i = 0; i < width; ++i) line[static_cast<size_t>(i)] = GradientPixel(i, y, width, height);
      if (SetDIBits(screen, bitmap, static_cast<UINT>(y), 1, line.data(), &info, DIB_RGB_COLORS) == 0) {
        DeleteObject(bitmap);
        bitmap = nullptr;
      }
    }
  }
  ReleaseDC(nullptr, screen);
  return bitmap;
}

// Draws bitmap at (x, y) leaving its pixels of the transparent colour unchanged.
void DrawTransparentBitmap(HDC target, HBITMAP bitmap, int x, int y, COLORREF transparent) {
  HDC image = CreateCompatibleDC(target);
  HGDIOBJ oldImage = SelectObject(image, bitmap);
  SetMapMode(image, GetMapMode(target));
  BITMAP info;
  GetObjectA(bitmap, sizeof info, &info);
  POINT size = {info.bmWidth, info.bmHeight};
  DPtoLP(image, &size, 1);
  const int w = size.x, h = size.y;

  HDC inverseDc = CreateCompatibleDC(target), maskDc = CreateCompatibleDC(target);
  HDC workDc = CreateCompatibleDC(target), savedDc = CreateCompatibleDC(target);
  HBITMAP inverse = CreateBitmap(w, h, 1, 1, nullptr), mask = CreateBitmap(w, h, 1, 1, nullptr);
  HBITMAP work = CreateCompatibleBitmap(target, w, h), saved = CreateCompatibleBitmap(target, w, h);
  HGDIOBJ oldInverse = SelectObject(inverseDc, inverse), oldMask = SelectObject(maskDc, mask);
  HGDIOBJ oldWork = SelectObject(workDc, work), oldSaved = SelectObject(savedDc, saved);

  BitBlt(savedDc, 0, 0, w, h, image, 0, 0, SRCCOPY);
  // The transparent colour becomes 1 in the mask, everything else 0.
  const COLORREF background = SetBkColor(image, transparent);
  BitBlt(maskDc, 0, 0, w, h, image, 0, 0, SRCCOPY);
  SetBkColor(image, background);
  BitBlt(inverseDc, 0, 0, w, h, maskDc, 0, 0, NOTSRCCOPY);
  BitBlt(workDc, 0, 0, w, h, target, x, y, SRCCOPY);
  BitBlt(workDc, 0, 0, w, h, maskDc, 0, 0, SRCAND);
  BitBlt(image, 0, 0, w, h, inverseDc, 0, 0, SRCAND);
  BitBlt(workDc, 0, 0, w, h, image, 0, 0, SRCPAINT);
  BitBlt(target, x, y, w, h, workDc, 0, 0, SRCCOPY);
  // The bitmap itself comes out unchanged.
  BitBlt(image, 0, 0, w, h, savedDc, 0, 0, SRCCOPY);

  SelectObject(inverseDc, oldInverse);
  SelectObject(maskDc, oldMask);
  SelectObject(workDc, oldWork);
  SelectObject(savedDc, oldSaved);
  SelectObject(image, oldImage);
  DeleteObject(inverse);
  DeleteObject(mask);
  DeleteObject(work);
  DeleteObject(saved);
  DeleteDC(inverseDc);
  DeleteDC(maskDc);
  DeleteDC(workDc);
  DeleteDC(savedDc);
  DeleteDC(image);
}

void DrawBadge(HDC dc, const RECT& window) {
  if (Badge) DrawTransparentBitmap(dc, Badge, window.right - 140, window.bottom - 90, kTransparent);
}

void DrawCaption(HDC dc, const RECT& window, int k) {
  const TCaptionPlace place = CaptionPlace(k);
  if (Captions[k]) DrawTransparentBitmap(dc, Captions[k], window.left + place.x, window.top + place.y, kTransparent);
}

void PaintBackdrop(HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  RECT rect;
  GetWindowRect(window, &rect);
  HDC dc = GetWindowDC(window);
  DrawBadge(dc, rect);
  for (int k = 0; k < kCaptionCount; ++k) DrawCaption(dc, rect, k);
  ReleaseDC(window, dc);
}

void RevealNextCaption(HWND window) {
  for (int k = 0; k < kCaptionCount; ++k) {
    if (Captions[k]) continue;
    Captions[k] = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_CAPTION(k)));
    RECT rect;
    GetWindowRect(window, &rect);
    HDC dc = GetWindowDC(window);
    DrawCaption(dc, rect, k);
    ReleaseDC(window, dc);
    return;
  }
  KillTimer(window, IDT_BACKDROP_CAPTIONS);
  AnimationRunning = 0;
}

LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // One window of the process that refuses is enough to keep the session.
  if (message == WM_QUERYENDSESSION && WorkRunning) return FALSE;
  // Otherwise the default handling comes first and gives the result.
  const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE: Badge = LoadBitmapA(GetModuleHandleA(nullptr), TWX_RESOURCE_NAME(IDB_BADGE)); break;
    case WM_PAINT: PaintBackdrop(window); break;
    case WM_TIMER: RevealNextCaption(window); break;
    case MM_MCINOTIFY: HandleMusicNotify(wParam); break;
  }
  return result;
}

int SliderPosition(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageA(dialog, IDC_VOLUME_SLIDER, TBM_GETPOS, 0, 0));
}

void ApplyVolume(int level) {
  CurrentMusicVolume = level;
  SetMusicVolume(level);
}

void InitStatusWindow(HWND dialog) {
  RECT window, desktop;
  GetWindowRect(dialog, &window);
  GetWindowRect(GetDesktopWindow(), &desktop);
  SetWindowPos(dialog, nullptr, 0, desktop.bottom - (window.bottom - window.top), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendDlgItemMessageA(dialog, IDC_VOLUME_SLIDER, TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
  SendDlgItemMessageA(dialog, IDC_VOLUME_SLIDER, TBM_SETPOS, TRUE, 0);
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressEnd));
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
  ApplyVolume(0);
  SetTimer(dialog, IDT_STATUS_FADE_IN, 500, nullptr);
}

void FadeInTick(HWND dialog) {
  const TFadeStep step = FadeInStep(SliderPosition(dialog), WelcomePlayed);
  if (step.stop) {
    KillTimer(dialog, IDT_STATUS_FADE_IN);
    return;
  }
  if (step.playWelcome) {
    WelcomePlayed = true;
    PlayResourceSound(TWX_RESOURCE_NAME(CLIP_WELCOME));
  }
  SendDlgItemMessageA(dialog, IDC_VOLUME_SLIDER, TBM_SETPOS, TRUE, step.position);
  ApplyVolume(step.position);
}

void ProgressTick(HWND dialog) {
  const bool full = ProgressStep(&ProgressCounter);
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, ProgressCounter, 0);
  if (full) {
    KillTimer(dialog, IDT_STATUS_PROGRESS);
    ProgressRunning = 0;
  }
}

void CloseStatusWindow(HWND dialog) {
  KillTimer(dialog, IDT_STATUS_FADE_IN);
  if (ProgressRunning) {
    KillTimer(dialog, IDT_STATUS_PROGRESS);
    ProgressRunning = 0;
  }
  EndDialog(dialog, 0);
  ApplyVolume(0);
  SendMusicCommand(kMusicCloseCommand, nullptr);
}

}  // namespace

HWND CreateBackdropWindow(const char* title) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HBITMAP gradient = MakeGradientBitmap();
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = BackdropProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, TWX_RESOURCE_NAME(IDI_MAIN));
  windowClass.hbrBackground = gradient ? CreatePatternBrush(gradient) : CreateSolidBrush(RGB(0, 0, 128));
  windowClass.lpszClassName = kBackdropClass;
  if (!RegisterClassA(&windowClass)) return nullptr;
  return CreateWindowExA(0, kBackdropClass, title, WS_POPUP | WS_VISIBLE | WS_DISABLED | WS_CLIPCHILDREN, 0, 0,
                         GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance,
                         nullptr);
}

INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: InitStatusWindow(dialog); return TRUE;
    case WM_TIMER:
      if (wParam == IDT_STATUS_FADE_IN) FadeInTick(dialog);
      if (wParam == IDT_STATUS_PROGRESS) ProgressTick(dialog);
      return TRUE;
    case WM_HSCROLL:
      // The user's choice wins over the fade-in for the rest of the run.
      KillTimer(dialog, IDT_STATUS_FADE_IN);
      ApplyVolume(SliderPosition(dialog));
      return TRUE;
    case WM_CLOSE: CloseStatusWindow(dialog); return TRUE;
  }
  return FALSE;
}
