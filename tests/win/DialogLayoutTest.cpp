// The setup's dialogs created empty from TWXInst.exe on the test display: the
// controls the screens work with are there with the behaviour they need, none
// overlaps another or sticks out of its dialog, every label fits its control,
// and the destination dialog's notice lies just below its lower edge until the
// dialog grows. A screenshot of every dialog is kept.
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

// Handles what the dialog's creation or resizing left queued and paints it
// whole, for the screenshots.
void Pump(HWND dialog) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
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

// The controls the screens fill in, read or press, with the styles their work
// depends on (read-only texts, drop-down lists, owner-drawn folder lists);
// a button or static type is compared whole, other styles bit by bit.
struct TControlRow {
  int id;
  const char* className;
  LONG style;
};

std::vector<TControlRow> ControlsOf(int dialog) {
  const LONG kText = ES_MULTILINE | ES_READONLY | WS_VSCROLL;
  switch (dialog) {
    case 100:
      return {{102, "Static", 0}, {103, "Edit", 0},
              {105, "ListBox", LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY},
              {107, "ComboBox", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS},
              {108, "Button", 0}, {IDCANCEL, "Button", 0}};
    case 400:
      return {{401, "Edit", kText}, {1, "Button", 0}, {2, "Button", 0}, {207, "Static", SS_ICON}};
    case 200:
    case 201:
      return {{204, "Edit", kText},        {206, "Edit", ES_READONLY},     {203, "Button", 0},
              {201, "Button", 0},          {202, "Button", 0},             {205, "Button", BS_GROUPBOX},
              {207, "Static", SS_ICON},    {208, "Static", SS_ICON},       {219, "Static", 0}};
    case 500:
    case 501:
      return {{208, "Edit", kText},  {210, "Button", BS_GROUPBOX},   {204, "Button", BS_AUTOCHECKBOX},
              {205, "Button", BS_AUTOCHECKBOX}, {207, "Button", BS_AUTOCHECKBOX},
              {209, "ComboBox", CBS_DROPDOWNLIST}, {1, "Button", 0}};
    default:
      return {{1000, TRACKBAR_CLASSA, 0}, {1001, PROGRESS_CLASSA, 0}};
  }
}

void CheckControls(HWND dialog, int id) {
  for (const TControlRow& row : ControlsOf(id)) {
    SCOPED_TRACE("control " + std::to_string(row.id));
    HWND control = GetDlgItem(dialog, row.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(lstrcmpiA(robot::ClassName(control).c_str(), row.className), 0) << robot::ClassName(control);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const bool typed = !lstrcmpiA(row.className, "Button") || !lstrcmpiA(row.className, "Static");
    if (typed && row.style) EXPECT_EQ(style & SS_TYPEMASK, row.style) << std::hex << style;
    if (!typed) EXPECT_EQ(style & row.style, row.style) << std::hex << style;
  }
  // Enter presses the button the screen means to be the default (the status
  // window has no buttons).
  if (id == 600) return;
  const LRESULT defId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  EXPECT_EQ(HIWORD(defId), DC_HASDEFID);
  EXPECT_EQ(LOWORD(defId), id == 100 ? 108 : id == 200 || id == 201 ? 201 : 1);
}

class DialogLayout : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
  }
};

TEST_P(DialogLayout, HasItsControlsAndNothingOverlapsOrIsCut) {
  const int id = GetParam();
  ASSERT_NE(SetupModule(), nullptr);
  HWND dialog = CreateDialogParamA(SetupModule(), MAKEINTRESOURCEA(id), nullptr, QuietDialog, 0);
  ASSERT_NE(dialog, nullptr) << "error " << GetLastError() << ": is the display up?";
  SetWindowPos(dialog, HWND_TOP, 24, 24, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  Pump(dialog);
  CheckControls(dialog, id);
  CheckLayout(dialog, id);
  EXPECT_TRUE(robot::SaveWindowBmp(dialog, Shot("dialog_" + std::to_string(id))));

  if (id == 200 || id == 201) {
    // As on an old browser: the dialog grows by 34 pixels and shows the notice.
    RECT window;
    GetWindowRect(dialog, &window);
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + 34,
                 SWP_NOMOVE | SWP_NOZORDER);
    Pump(dialog);
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
    Pump(dialog);
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

}  // namespace
