// The resources of the built setup program, read from TWXInst.exe: its dialogs
// created empty on the test display (nothing sticks out or overlaps;
// the destination dialog's notice waits below its lower edge) and icons whose
// masks draw cleanly.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Robot.h"

namespace {

HMODULE SetupModule() {
  static HMODULE module = LoadLibraryExA(TWX_SETUP_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  return module;
}

BOOL CALLBACK AddName(HMODULE, LPCSTR, LPSTR name, LONG_PTR list) {
  return reinterpret_cast<std::vector<LPSTR>*>(list)->push_back(name), TRUE;
}
std::vector<LPSTR> Names(LPCSTR type) {
  std::vector<LPSTR> names;
  EnumResourceNamesA(SetupModule(), type, AddName, reinterpret_cast<LONG_PTR>(&names));
  return names;
}

std::string Bytes(LPCSTR name, LPCSTR type) {
  HRSRC found = FindResourceA(SetupModule(), name, type);
  const char* data = found ? static_cast<const char*>(LockResource(LoadResource(SetupModule(), found))) : nullptr;
  return data ? std::string(data, SizeofResource(SetupModule(), found)) : std::string();
}

std::string NameOf(LPCSTR name) { return std::to_string(reinterpret_cast<uintptr_t>(name)); }

bool IsGroupBox(HWND control) {
  return lstrcmpiA(robot::ClassName(control).c_str(), "Button") == 0 &&
         (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

RECT RectIn(HWND dialog, HWND control) {
  RECT rect;
  return GetWindowRect(control, &rect), MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2), rect;
}

bool Contains(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

TEST(Dialogs, NothingSticksOutOrOverlaps) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  ASSERT_NE(SetupModule(), nullptr) << TWX_SETUP_EXE;
  for (LPSTR name : Names(RT_DIALOG)) {
    SCOPED_TRACE("dialog " + NameOf(name));
    HWND dialog = CreateDialogParamA(SetupModule(), name, nullptr, QuietDialog, 0);
    ASSERT_NE(dialog, nullptr) << "error " << GetLastError();
    SetWindowPos(dialog, HWND_TOP, 24, 24, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<HWND> boxes;
    for (HWND box = GetWindow(dialog, GW_CHILD); box; box = GetWindow(box, GW_HWNDNEXT)) boxes.push_back(box);
    for (HWND box : boxes) {
      SCOPED_TRACE("control " + std::to_string(GetDlgCtrlID(box)));
      const RECT rect = RectIn(dialog, box);
      // The notice of old browsers lies just below the edge until the dialog grows.
      const bool notice = GetDlgCtrlID(box) == 219;
      EXPECT_TRUE(notice ? std::abs(rect.top - client.bottom) <= 1 : Contains(client, rect)) << "sticks out";
      for (HWND other : boxes) {
        RECT both, otherRect = RectIn(dialog, other);
        if (other != box && IntersectRect(&both, &rect, &otherRect) && !(IsGroupBox(box) && Contains(rect, otherRect)) &&
            !(IsGroupBox(other) && Contains(otherRect, rect)))
          ADD_FAILURE() << "overlaps control " << GetDlgCtrlID(other);
      }
    }
    DestroyWindow(dialog);
  }
}

// The colour of pixel (x, y) of a bottom-up DIB at bits per pixel, with its palette.
RGBQUAD Pixel(const std::string& dib, int x, int y) {
  BITMAPINFOHEADER info;
  std::memcpy(&info, dib.data(), sizeof info);
  const int bits = info.biBitCount, colours = bits > 8 ? 0 : info.biClrUsed ? info.biClrUsed : 1 << bits;
  const size_t stride = (info.biWidth * bits + 31) / 32 * 4, at = info.biSize + colours * 4 + y * stride;
  RGBQUAD colour = {};
  if (bits >= 24) return std::memcpy(&colour, dib.data() + at + x * bits / 8, bits / 8), colour;
  const int index = static_cast<uint8_t>(dib[at + x * bits / 8]) >> (8 - bits - x * bits % 8) & ((1 << bits) - 1);
  std::memcpy(&colour, dib.data() + info.biSize + index * 4, 4);
  return colour;
}

int Sum(const RGBQUAD& c) { return c.rgbRed + c.rgbGreen + c.rgbBlue; }

// The system masks the screen and then XORs the colours in: a masked pixel
// that is not black tints whatever lies behind the icon.
TEST(Icons, MasksDrawCleanly) {
  ASSERT_FALSE(Names(RT_ICON).empty());
  for (LPSTR name : Names(RT_ICON)) {
    const std::string dib = Bytes(name, RT_ICON);
    BITMAPINFOHEADER info;
    std::memcpy(&info, dib.data(), sizeof info);
    const int size = info.biWidth, bits = info.biBitCount;
    SCOPED_TRACE("icon image " + NameOf(name) + ", " + std::to_string(size) + " pixels, " + std::to_string(bits) + " bits");
    ASSERT_EQ(info.biHeight, 2 * size) << "colour and mask";
    const size_t maskStride = (size + 31) / 32 * 4, maskAt = dib.size() - maskStride * size;
    ASSERT_GE(maskAt, info.biSize + (bits * size + 31) / 32 * 4 * size) << "the image ends before its mask";
    int transparent = 0, opaque = 0, tinted = 0, soft = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const bool masked = static_cast<uint8_t>(dib[maskAt + y * maskStride + x / 8]) >> (7 - x % 8) & 1;
        const RGBQUAD colour = Pixel(dib, x, y);
        const int alpha = bits == 32 ? colour.rgbReserved : masked ? 0 : 255;
        tinted += masked && Sum(colour) > 0;
        transparent += alpha == 0;
        opaque += alpha == 255;
        soft += alpha > 0 && alpha < 255;
      }
    EXPECT_GT(transparent, 0) << "no transparent background";
    EXPECT_GT(opaque, size * size / 4) << "hardly anything drawn";
    EXPECT_EQ(tinted, 0) << "transparent pixels that are not black";
    EXPECT_TRUE(bits != 32 || size < 32 || soft > 0) << "an alpha channel without soft edges";
  }
}

}  // namespace
