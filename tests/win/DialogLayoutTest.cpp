// The setup's dialogs created empty from TWXInst.exe on the test display: no
// control overlaps another or sticks out of its dialog, every label fits its
// control, and the destination dialog's notice lies just below its lower edge
// until the dialog grows. Screenshots of every dialog, and of the icons and
// bitmaps as the system draws them, are kept as artifacts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Robot.h"
#include "SetupResources.h"
#include "TestSupport.h"
#include "Texts.h"

namespace {

using twxres::SetupModule;

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void Pump(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

std::string Shot(const std::string& name) { return twxtest::ArtifactsFolder() + "\\" + name + ".bmp"; }

struct TBox {
  int id;
  std::string className;
  std::string text;
  LONG style;
  RECT rect;  // in the dialog's client coordinates
  HWND window;
};

std::vector<TBox> Boxes(HWND dialog) {
  std::vector<TBox> boxes;
  for (const robot::TChild& child : robot::Children(dialog)) {
    if (GetParent(child.window) != dialog) continue;  // the edit field inside a combo box
    TBox box = {child.id, child.className, child.text, GetWindowLongA(child.window, GWL_STYLE), {}, child.window};
    GetWindowRect(child.window, &box.rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box.rect), 2);
    boxes.push_back(box);
  }
  return boxes;
}

bool IsGroupBox(const TBox& box) {
  return lstrcmpiA(box.className.c_str(), "Button") == 0 && (box.style & BS_TYPEMASK) == BS_GROUPBOX;
}

bool Contains(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string WithoutPrefix(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  return plain;
}

// Size of a label in the control's own font; wrapped to the given width when
// it is not zero.
SIZE TextSize(HWND control, const std::string& text, int wrapWidth) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT r = {0, 0, wrapWidth, 0};
  DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | (wrapWidth ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {r.right - r.left, r.bottom - r.top};
}

// What of a control's width its label may use: buttons keep a margin, check
// boxes their box, group boxes the frame on both sides of the caption.
int LabelRoom(const TBox& box) {
  const int width = box.rect.right - box.rect.left;
  if (lstrcmpiA(box.className.c_str(), "Button") != 0) return width;
  switch (box.style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
    case BS_CHECKBOX: return width - GetSystemMetrics(SM_CXMENUCHECK) - 4;
    case BS_GROUPBOX: return width - 2 * 8;
    default: return width - 2 * 3;
  }
}

void CheckLayout(HWND dialog, int id) {
  RECT client;
  GetClientRect(dialog, &client);
  const std::vector<TBox> boxes = Boxes(dialog);
  ASSERT_FALSE(boxes.empty());
  const bool destination = id == 200 || id == 201;

  for (const TBox& box : boxes) {
    SCOPED_TRACE("control " + std::to_string(box.id) + " " + box.className + " \"" + box.text + "\"");
    if (destination && box.id == 219) {
      // Out of view below the lower edge, where 34 more pixels bring it in.
      EXPECT_NEAR(box.rect.top, client.bottom, 1);
      EXPECT_LT(box.rect.top, client.bottom + 34);
    } else {
      EXPECT_TRUE(Contains(client, box.rect)) << "sticks out of the dialog: " << box.rect.left << ","
                                              << box.rect.top << "-" << box.rect.right << "," << box.rect.bottom;
    }
    const bool labelled = !box.text.empty() && box.text[0] != '#' &&
                          (lstrcmpiA(box.className.c_str(), "Button") == 0 ||
                           lstrcmpiA(box.className.c_str(), "Static") == 0);
    if (labelled) {
      const std::string label = WithoutPrefix(box.text);
      const int room = LabelRoom(box), height = box.rect.bottom - box.rect.top;
      const SIZE one = TextSize(box.window, label, 0);
      if (one.cx > room && lstrcmpiA(box.className.c_str(), "Static") == 0) {
        // A text too long for one line wraps; all its lines must fit.
        EXPECT_LE(TextSize(box.window, label, room).cy, height)
            << "the text, " << one.cx << " pixels wide, wraps in " << room << " and is cut at the bottom";
      } else {
        EXPECT_LE(one.cx, room) << "the label is cut at the right: " << one.cx << " pixels in " << room;
        EXPECT_LE(one.cy, height + 2) << "the label is cut at the bottom";
      }
    }
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      const TBox &a = boxes[i], &b = boxes[j];
      RECT both;
      if (!IntersectRect(&both, &a.rect, &b.rect)) continue;
      const bool framed = (IsGroupBox(a) && Contains(a.rect, b.rect)) || (IsGroupBox(b) && Contains(b.rect, a.rect));
      EXPECT_TRUE(framed) << "controls " << a.id << " \"" << a.text << "\" and " << b.id << " \"" << b.text
                          << "\" overlap";
    }
  }
}

class DialogLayout : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
  }
};

TEST_P(DialogLayout, NothingOverlapsOrIsCutAndAScreenshotIsKept) {
  const int id = GetParam();
  ASSERT_NE(SetupModule(), nullptr);
  HWND dialog = CreateDialogParamA(SetupModule(), MAKEINTRESOURCEA(id), nullptr, QuietDialog, 0);
  ASSERT_NE(dialog, nullptr) << "error " << GetLastError() << ": is the display up?";
  SetWindowPos(dialog, HWND_TOP, 24, 24, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  Pump(400);
  CheckLayout(dialog, id);
  EXPECT_TRUE(robot::SaveWindowBmp(dialog, Shot("dialog_" + std::to_string(id))));

  if (id == 200 || id == 201) {
    // As on an old browser: the dialog grows by 34 pixels and shows the notice.
    RECT window;
    GetWindowRect(dialog, &window);
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + 34,
                 SWP_NOMOVE | SWP_NOZORDER);
    Pump(300);
    RECT client, notice;
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, 219), &notice);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&notice), 2);
    EXPECT_LT(notice.top, client.bottom - 20) << "the notice is still out of view";
    EXPECT_TRUE(robot::SaveWindowBmp(dialog, Shot("dialog_" + std::to_string(id) + "_notice")));
  }
  DestroyWindow(dialog);
}

// The long texts in the controls that show them. The welcome text is meant to
// be read at a glance: it fits its field without scrolling.
TEST(DialogTexts, LicenceAndWelcomeTextShowInTheirFields) {
  struct {
    int dialog, control;
    const char* text;
    bool whole;
  } const kRows[] = {{400, 401, kLicenceText, false}, {200, 204, kWelcomeTemplate, true},
                     {500, 208, kFinishText, false}};
  for (const auto& row : kRows) {
    SCOPED_TRACE("dialog " + std::to_string(row.dialog));
    HWND dialog = CreateDialogParamA(SetupModule(), MAKEINTRESOURCEA(row.dialog), nullptr, QuietDialog, 0);
    ASSERT_NE(dialog, nullptr);
    SetWindowPos(dialog, HWND_TOP, 24, 24, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    HWND field = GetDlgItem(dialog, row.control);
    ASSERT_TRUE(SetWindowTextA(field, row.text));
    EXPECT_EQ(GetWindowTextLengthA(field), lstrlenA(row.text)) << "the field does not hold the whole text";
    Pump(300);
    if (row.whole) {
      TEXTMETRICA metrics;
      HDC dc = GetDC(field);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(field, WM_GETFONT, 0, 0)));
      GetTextMetricsA(dc, &metrics);
      SelectObject(dc, old);
      ReleaseDC(field, dc);
      RECT area;
      SendMessageA(field, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
      const LRESULT lines = SendMessageA(field, EM_GETLINECOUNT, 0, 0);
      EXPECT_LE(lines * metrics.tmHeight, area.bottom - area.top) << lines << " lines";
    }
    EXPECT_TRUE(robot::SaveWindowBmp(dialog, Shot("dialog_" + std::to_string(row.dialog) + "_text")));
    DestroyWindow(dialog);
  }
}

INSTANTIATE_TEST_SUITE_P(SetupDialogs, DialogLayout, ::testing::Values(100, 400, 200, 201, 500, 501, 600));

// ---------------------------------------------------------------- pictures

const char* const kIconNames[] = {"MAINICON", "#2", "#4", "#5", "#6", "#1001", "#1002",
                                  "#1003",    "#1101", "#1102", "#1103", "#1104"};
const char* const kBitmapNames[] = {"TWXUITE", "#103", "#104", "#105", "#106", "#107", "#108"};
int gIconsDrawn = 0, gBitmapsDrawn = 0;

LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT all;
  GetClientRect(window, &all);
  HBRUSH blue = CreateSolidBrush(RGB(40, 64, 140));
  FillRect(dc, &all, blue);
  DeleteObject(blue);
  int x = 8;
  for (const char* name : kIconNames) {
    // The program icon at each of its sizes, the others at their own.
    const int sizes[] = {16, 32, 48};
    for (int size : sizes) {
      HICON icon = static_cast<HICON>(LoadImageA(SetupModule(), name, IMAGE_ICON, lstrcmpA(name, "MAINICON") ? 0 : size,
                                                 lstrcmpA(name, "MAINICON") ? 0 : size, 0));
      if (!icon) continue;
      gIconsDrawn += DrawIconEx(dc, x, 8, icon, 0, 0, 0, nullptr, DI_NORMAL) ? 1 : 0;
      ICONINFO info;
      BITMAP bm = {};
      if (GetIconInfo(icon, &info)) {
        GetObjectA(info.hbmMask, sizeof bm, &bm);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
      }
      x += bm.bmWidth + 8;
      DestroyIcon(icon);
      if (lstrcmpA(name, "MAINICON")) break;
    }
  }
  HDC memory = CreateCompatibleDC(dc);
  int y = 72;
  for (const char* name : kBitmapNames) {
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(SetupModule(), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) continue;
    BITMAP bm;
    GetObjectA(bitmap, sizeof bm, &bm);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // Black adds nothing: the pictures show as on the backdrop.
    gBitmapsDrawn += BitBlt(dc, 8, y, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCPAINT) ? 1 : 0;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    y += bm.bmHeight + 10;
  }
  DeleteDC(memory);
  EndPaint(window, &paint);
  return 0;
}

TEST(Pictures, IconsAndBitmapsAsTheSystemDrawsThem) {
  ASSERT_NE(SetupModule(), nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = SheetProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TwxPictureSheet";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND sheet = CreateWindowExA(0, "TwxPictureSheet", "Setup pictures", WS_POPUP | WS_VISIBLE, 0, 0, 800, 370,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(sheet, nullptr);
  Pump(300);
  EXPECT_GE(gIconsDrawn, 14);  // the program icon in three sizes, the others once
  EXPECT_GE(gBitmapsDrawn, 7);
  EXPECT_TRUE(robot::SaveWindowBmp(sheet, Shot("pictures")));
  DestroyWindow(sheet);
}

}  // namespace
