// The pictures and voice clips of the built setup program, read back from
// TWXInst.exe: depths the screens rely on, icon masks that draw cleanly, clips
// whose data is whole, and a sheet of everything as the system draws it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "Robot.h"
#include "SetupResources.h"
#include "TestSupport.h"

namespace {

using twxres::ResourceBytes;
using twxres::SetupModule;

template <typename T>
T At(const std::string& bytes, size_t offset) {
  T value = {};
  if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// Black is the transparent colour of the backdrop: corners must be black and a
// fair share of the pixels light text, in 16 colours.
TEST(Bitmaps, AreSixteenColourLightOnBlack) {
  for (const char* name : {"TWXUITE", "#103", "#104", "#105", "#106", "#107", "#108"}) {
    SCOPED_TRACE(name);
    const std::string bytes = ResourceBytes(name, MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    const BITMAPINFOHEADER info = At<BITMAPINFOHEADER>(bytes, 0);
    ASSERT_EQ(info.biBitCount, 4);
    const int width = info.biWidth, height = info.biHeight;
    const size_t stride = (width * 4 + 31) / 32 * 4, pixelsAt = info.biSize + 16 * sizeof(RGBQUAD);
    ASSERT_EQ(bytes.size(), pixelsAt + stride * height);
    auto sum = [&](int x, int y) {
      const uint8_t packed = static_cast<uint8_t>(bytes[pixelsAt + y * stride + x / 2]);
      const RGBQUAD c = At<RGBQUAD>(bytes, info.biSize + (x % 2 ? packed & 0x0F : packed >> 4) * sizeof(RGBQUAD));
      return c.rgbRed + c.rgbGreen + c.rgbBlue;
    };
    EXPECT_EQ(sum(0, 0) + sum(width - 1, 0) + sum(0, height - 1) + sum(width - 1, height - 1), 0);
    int light = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) light += sum(x, y) > 3 * 160;
    EXPECT_GT(light, width * height / 25) << "too little light text";
  }
}

#pragma pack(push, 2)
struct TGroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

// The system masks the screen and then XORs the colours in, so a masked pixel
// that is not black tints whatever lies behind the icon.
TEST(Icons, DrawCleanlyAtTheDepthsTheScreensChooseBetween) {
  // 256 colours for older systems, alpha for newer ones; the program icon has both.
  const struct {
    const char* name;
    std::set<int> depths;
  } kIcons[] = {{"MAINICON", {8, 32}}, {"#2", {8}},    {"#4", {8}},    {"#5", {8}},    {"#6", {32}},  {"#1001", {8}},
                {"#1002", {8}},        {"#1003", {8}}, {"#1101", {8}}, {"#1102", {8}}, {"#1103", {8}}, {"#1104", {8}}};
  for (const auto& icon : kIcons) {
    SCOPED_TRACE(icon.name);
    const std::string group = ResourceBytes(icon.name, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    const WORD count = At<WORD>(group, 4);
    ASSERT_GT(count, 0);
    ASSERT_EQ(group.size(), 6 + count * sizeof(TGroupEntry));
    std::set<int> depths;
    for (WORD i = 0; i < count; ++i) {
      const TGroupEntry entry = At<TGroupEntry>(group, 6 + i * sizeof entry);
      const std::string dib = ResourceBytes(MAKEINTRESOURCEA(entry.id), MAKEINTRESOURCEA(3) /* RT_ICON */);
      const BITMAPINFOHEADER info = At<BITMAPINFOHEADER>(dib, 0);
      const int size = info.biWidth, bits = info.biBitCount;
      SCOPED_TRACE(std::to_string(size) + " pixels, " + std::to_string(bits) + " bits");
      ASSERT_TRUE(bits == 8 || bits == 32);
      EXPECT_EQ(info.biHeight, 2 * size);  // colour and mask
      EXPECT_EQ(entry.bytes, dib.size());
      depths.insert(bits);
      const size_t colourStride = (size * bits + 31) / 32 * 4, maskStride = (size + 31) / 32 * 4;
      const size_t colourAt = info.biSize + (bits == 8 ? 256 * sizeof(RGBQUAD) : 0);
      const size_t maskAt = colourAt + colourStride * size;
      ASSERT_GE(dib.size(), maskAt + maskStride * size) << "the image ends before its mask";
      int transparent = 0, opaque = 0, partial = 0, tinted = 0;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          const bool masked = (static_cast<uint8_t>(dib[maskAt + y * maskStride + x / 8]) >> (7 - x % 8)) & 1;
          const RGBQUAD colour = bits == 32 ? At<RGBQUAD>(dib, colourAt + y * colourStride + 4 * x)
                                            : At<RGBQUAD>(dib, info.biSize + sizeof(RGBQUAD) *
                                                  static_cast<uint8_t>(dib[colourAt + y * colourStride + x]));
          const int alpha = bits == 32 ? colour.rgbReserved : masked ? 0 : 255;
          if (masked && colour.rgbRed + colour.rgbGreen + colour.rgbBlue) ++tinted;
          (alpha == 0 ? transparent : alpha == 255 ? opaque : partial)++;
        }
      }
      EXPECT_GT(transparent, 0) << "no transparent background";
      EXPECT_GT(opaque, size * size / 4) << "hardly anything drawn";
      EXPECT_EQ(tinted, 0) << "transparent pixels that are not black";
      if (bits == 32 && size >= 32) EXPECT_GT(partial, 0) << "an alpha channel without soft edges";
    }
    EXPECT_EQ(depths, icon.depths);
  }
}

// PlaySound takes the clips from the module as they are: a clip cut short or
// in another format plays as noise or not at all.
TEST(Clips, AreWholeGsmMonoClipsOfTheirLength) {
  const struct {
    const char* name;
    double seconds;
  } kClips[] = {{"WELCOME", 2.7}, {"HIGHERVERSIONOFWINDOWSREQUIRED", 5.0}, {"WAIT", 1.5}, {"FINISHED", 0.9}};
  for (const auto& clip : kClips) {
    SCOPED_TRACE(clip.name);
    const std::string bytes = ResourceBytes(clip.name, "WAVE");
    ASSERT_EQ(bytes.substr(0, 4) + bytes.substr(8, 4), "RIFFWAVE");
    EXPECT_EQ(At<uint32_t>(bytes, 4) + 8, bytes.size());
    uint32_t samples = 0, dataBytes = 0;
    std::string format;
    for (size_t at = 12; at + 8 <= bytes.size();) {
      const std::string id = bytes.substr(at, 4);
      const uint32_t size = At<uint32_t>(bytes, at + 4);
      ASSERT_LE(at + 8 + size, bytes.size()) << "chunk " << id << " runs past the end";
      if (id == "fmt ") format = bytes.substr(at + 8, size);
      if (id == "fact") samples = At<uint32_t>(bytes, at + 8);
      if (id == "data") dataBytes = size;
      at += 8 + size + (size & 1);
    }
    ASSERT_GE(format.size(), 20u);
    EXPECT_EQ(At<WORD>(format, 0), 0x31);  // GSM 6.10
    EXPECT_EQ(At<WORD>(format, 2), 1);     // mono
    EXPECT_EQ(At<DWORD>(format, 4), 22050u);
    EXPECT_EQ(At<WORD>(format, 12), 65);   // two frames of 160 samples a block
    EXPECT_EQ(At<WORD>(format, 18), 320);
    const uint32_t blocks = (samples + 319) / 320;
    EXPECT_EQ(dataBytes, blocks * 65 + (blocks & 1)) << "every block of samples, padded to an even size";
    EXPECT_NEAR(samples / 22050.0, clip.seconds, 0.1);
  }
}

int gIconsDrawn = 0, gBitmapsDrawn = 0;

LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  HBRUSH blue = CreateSolidBrush(RGB(40, 64, 140));
  FillRect(dc, &paint.rcPaint, blue);
  DeleteObject(blue);
  int x = 8;
  // The program icon at each of its sizes, the others at their own (size 0).
  const struct {
    const char* name;
    int size;
  } kIcons[] = {{"MAINICON", 16}, {"MAINICON", 32}, {"MAINICON", 48}, {"#2", 0},    {"#4", 0},
                {"#5", 0},        {"#6", 0},        {"#1001", 0},     {"#1002", 0}, {"#1003", 0},
                {"#1101", 0},     {"#1102", 0},     {"#1103", 0},     {"#1104", 0}};
  for (const auto& entry : kIcons) {
    HICON icon = static_cast<HICON>(LoadImageA(SetupModule(), entry.name, IMAGE_ICON, entry.size, entry.size, 0));
    if (!icon) continue;
    gIconsDrawn += DrawIconEx(dc, x, 8, icon, 0, 0, 0, nullptr, DI_NORMAL) ? 1 : 0;
    x += (entry.size ? entry.size : 32) + 8;
    DestroyIcon(icon);
  }
  HDC memory = CreateCompatibleDC(dc);
  int y = 72;
  for (const char* name : {"TWXUITE", "#103", "#104", "#105", "#106", "#107", "#108"}) {
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
  ASSERT_NE(SetupModule(), nullptr) << "cannot load " << TWX_SETUP_EXE;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = SheetProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TwxPictureSheet";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND sheet = CreateWindowExA(0, "TwxPictureSheet", "Setup pictures", WS_POPUP | WS_VISIBLE, 0, 0, 800, 370,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(sheet, nullptr);
  UpdateWindow(sheet);
  EXPECT_GE(gIconsDrawn, 14);
  EXPECT_GE(gBitmapsDrawn, 7);
  // The robot's screenshot of it: a whole 24-bit BMP file of the window.
  const std::string shot = twxtest::ArtifactsFolder() + "\\pictures.bmp";
  EXPECT_TRUE(robot::SaveWindowBmp(sheet, shot));
  const std::string bmp = twxtest::ReadWholeFileOr(shot, "");
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(bmp.size(), 54u + 800 * 370 * 3);
  DestroyWindow(sheet);
}

}  // namespace
