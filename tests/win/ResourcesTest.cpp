// The resources of the built setup program, read back from TWXInst.exe: every
// dialog template against the screens' tables, the bitmaps, icons and voice clips
// against their sizes, depths and formats.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <utility>

#include "SetupResources.h"

namespace {

using twxres::ResourceBytes;
using twxres::SetupModule;

// ---------------------------------------------------------------- the tables

constexpr int kNone = -1;  // a control without an id

struct TControlRow {
  int id;
  const char* className;
  const char* text;
  int16_t x, y, cx, cy;
  uint32_t style;
  uint32_t exStyle;
};

struct TDialogRow {
  int id;
  bool extended;
  uint32_t style;
  uint32_t exStyle;
  int16_t x, y, cx, cy;
  const char* caption;
  std::vector<TControlRow> controls;
};

// The words of the tables as window styles (every control is a visible child).
constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr uint32_t kText = kChild | SS_LEFT | WS_GROUP;
constexpr uint32_t kIcon = kChild | SS_ICON;
constexpr uint32_t kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr uint32_t kDefault = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr uint32_t kGroup = kChild | BS_GROUPBOX;
constexpr uint32_t kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr uint32_t kReadOnlyText = kChild | ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL;
// Popup with caption, system menu and modal frame, and the font of the template.
constexpr uint32_t kScreen = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

const char kNotice[] =
    "For better processing of international (unicode) HTML, TXT, Adobe PDF, Microsoft Word and other MS Office "
    "files, it is recommended that you install this product under MS Windows 2000, XP, etc.";

std::vector<TControlRow> DestinationControls(const char* icon) {
  return {
      {207, "Static", icon, 3, 7, 18, 20, kIcon, 0},
      {204, "Edit", "", 28, 7, 330, 132, kReadOnlyText, 0},
      {205, "Button", " Destination folder: ", 28, 173, 330, 26, kGroup, 0},
      {208, "Static", "#2", 3, 177, 18, 20, kIcon, 0},
      {206, "Edit", "", 32, 183, 243, 12, kChild | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 0},
      {203, "Button", "&Browse for folder", 277, 180, 77, 14, kPush, 0},
      {201, "Button", "&Install", 154, 203, 93, 14, kDefault, 0},
      {202, "Button", "&Cancel Installation", 277, 203, 77, 14, kPush, 0},
      {219, "Static", kNotice, 32, 220, 328, 27, kText, 0},
  };
}

std::vector<TControlRow> FinishControls(const char* icon) {
  return {
      {kNone, "Static", icon, 3, 6, 18, 20, kIcon, 0},
      {208, "Edit", "", 27, 6, 291, 96, kReadOnlyText | WS_TABSTOP, 0},
      {210, "Button", " Additional options for starting Trawlix: ", 27, 107, 291, 68, kGroup, 0},
      {204, "Button", "Place the Trawlix icon on my &desktop", 32, 118, 199, 14, kCheck, 0},
      {205, "Button", "Run the product when I &click \".TWX\" files (Query Folders) in the Windows Explorer", 32, 138,
       282, 12, kCheck, 0},
      {207, "Button", "Run the product when I simultaneously &press:", 32, 155, 159, 14, kCheck, 0},
      {209, "ComboBox", "", 194, 155, 115, 121,
       kChild | CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | CBS_DISABLENOSCROLL | CBS_AUTOHSCROLL | WS_TABSTOP, 0},
      {1, "Button", "OK", 268, 181, 50, 14, kDefault, 0},
  };
}

const std::vector<TDialogRow>& Dialogs() {
  static const std::vector<TDialogRow> dialogs = {
      {100, false, kScreen | WS_VISIBLE | DS_FIXEDSYS, 0, 0, 0, 277, 167, "Select Destination Folder",
       {
           {102, "Static", "Destination f&older:", 7, 4, 185, 8, kText, 0},
           {103, "Edit", "", 7, 14, 213, 14, kChild | WS_BORDER | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL, 0},
           {104, "Static", "&Folders (double-click to select):", 7, 35, 184, 8, kText, 0},
           {105, "ListBox", "", 7, 45, 213, 94,
            kChild | LBS_NOTIFY | LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_DISABLENOSCROLL | WS_VSCROLL |
                WS_BORDER | WS_TABSTOP,
            0},
           {106, "Static", "&Drives:", 7, 140, 74, 8, kText, 0},
           {107, "ComboBox", "", 7, 150, 213, 67,
            kChild | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_AUTOHSCROLL | CBS_HASSTRINGS | WS_VSCROLL |
                WS_TABSTOP,
            0},
           {108, "Button", "OK", 224, 14, 50, 14, kDefault, 0},
           {IDCANCEL, "Button", "Cancel", 224, 44, 50, 14, kPush, 0},
       }},
      {400, false, kScreen | WS_VISIBLE, 0, 15, 0, 361, 228, "Trawlmark(TM) End-User License Agreement",
       {
           {kNone, "Static",
            "Please, carefully read the following License Agreement: you must accept all the terms to proceed.", 31, 5,
            320, 8, kText, 0},
           {401, "Edit", "", 30, 19, 325, 188,
            kReadOnlyText | WS_TABSTOP | ES_AUTOVSCROLL | ES_WANTRETURN, 0},
           {1, "Button", "I &accept", 30, 211, 68, 14, kDefault, 0},
           {2, "Button", "I do &not accept", 287, 211, 68, 14, kPush, 0},
           {207, "Static", "#5", 4, 19, 18, 20, kIcon, 0},
       }},
      {200, false, kScreen | WS_VISIBLE, 0, 15, 0, 361, 220, "", DestinationControls("#4")},
      {201, false, kScreen | WS_VISIBLE, 0, 15, 0, 361, 220, "", DestinationControls("#6")},
      {500, false, kScreen | WS_VISIBLE, 0, 35, 77, 323, 202, "", FinishControls("#4")},
      {501, false, kScreen | WS_VISIBLE, 0, 35, 77, 323, 202, "", FinishControls("#6")},
      {600, true, kScreen, WS_EX_TOOLWINDOW, 0, 0, 110, 44, "   Status",
       {
           {1000, TRACKBAR_CLASSA, "Volume", 4, 10, 101, 10, kChild | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP,
            WS_EX_TRANSPARENT},
           {kNone, "Static", "Sound volume:", 28, 2, 48, 8, kText, WS_EX_TRANSPARENT},
           // Two dialog units wider than the window's first design (which began at 27 and
           // was 50 wide): in the dialog font the label needs 78 pixels and 50 units give
           // 75, so the last word wrapped out of sight.
           {kNone, "Static", "Setup progress:", 26, 20, 52, 8, kText, WS_EX_TRANSPARENT},
           {1001, PROGRESS_CLASSA, "", 5, 30, 97, 8, kChild | WS_BORDER, 0},
       }},
  };
  return dialogs;
}

// ---------------------------------------------------------------- dialogs

TEST(SetupModule, LoadsAsADataFile) {
  ASSERT_NE(SetupModule(), nullptr) << "cannot load " << TWX_SETUP_EXE << ", error " << GetLastError();
}

TEST(DialogTemplates, MatchTheScreensTablesControlByControl) {
  for (const TDialogRow& expected : Dialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    const std::string bytes = ResourceBytes(MAKEINTRESOURCEA(expected.id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_FALSE(bytes.empty());
    twxres::TDialogTemplate d;
    std::string error;
    ASSERT_TRUE(twxres::ParseDialogTemplate(bytes, &d, &error)) << error;

    EXPECT_EQ(d.extended, expected.extended);
    EXPECT_EQ(d.style, expected.style) << std::hex << "got 0x" << d.style << ", want 0x" << expected.style;
    EXPECT_EQ(d.exStyle, expected.exStyle);
    EXPECT_EQ(std::make_pair(d.x, d.y), std::make_pair(expected.x, expected.y));
    EXPECT_EQ(std::make_pair(d.cx, d.cy), std::make_pair(expected.cx, expected.cy));
    EXPECT_EQ(d.caption, expected.caption);
    EXPECT_EQ(d.menu, "");
    EXPECT_EQ(d.className, "");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.face, "MS Sans Serif");
    EXPECT_EQ(d.italic, 0);
    EXPECT_LE(d.weight, FW_NORMAL);

    ASSERT_EQ(d.controls.size(), expected.controls.size());
    for (size_t i = 0; i < d.controls.size(); ++i) {
      const TControlRow& want = expected.controls[i];
      const twxres::TDialogControl& got = d.controls[i];
      SCOPED_TRACE("control " + std::to_string(i) + " (" + want.text + ")");
      EXPECT_EQ(got.id, d.extended ? static_cast<uint32_t>(want.id) : static_cast<uint16_t>(want.id));
      EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, got.className.c_str(), -1, want.className, -1),
                CSTR_EQUAL)
          << got.className << " is not " << want.className;
      EXPECT_EQ(got.text, want.text);
      EXPECT_EQ(got.x, want.x);
      EXPECT_EQ(got.y, want.y);
      EXPECT_EQ(got.cx, want.cx);
      EXPECT_EQ(got.cy, want.cy);
      EXPECT_EQ(got.style, want.style) << std::hex << "got 0x" << got.style << ", want 0x" << want.style;
      EXPECT_EQ(got.exStyle, want.exStyle);
    }
  }
}

// ---------------------------------------------------------------- bitmaps

struct TBitmapRow {
  LPCSTR name;
  int width, height;
};

const TBitmapRow kBitmaps[] = {
    {"TWXUITE", 130, 83},           {MAKEINTRESOURCEA(103), 752, 18}, {MAKEINTRESOURCEA(104), 706, 18},
    {MAKEINTRESOURCEA(105), 683, 18}, {MAKEINTRESOURCEA(106), 634, 18}, {MAKEINTRESOURCEA(107), 630, 18},
    {MAKEINTRESOURCEA(108), 562, 18},
};

std::string NameOf(LPCSTR name) {
  return IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<uintptr_t>(name)) : std::string(name);
}

// Light text on black: the corners are the transparent black, and a fair share
// of the pixels are light.
TEST(Bitmaps, AreSixteenColourPicturesOfTheirSizeInLightOnBlack) {
  for (const TBitmapRow& row : kBitmaps) {
    SCOPED_TRACE("bitmap " + NameOf(row.name));
    const std::string bytes = ResourceBytes(row.name, MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD));
    BITMAPINFOHEADER info;
    std::memcpy(&info, bytes.data(), sizeof info);
    EXPECT_EQ(info.biWidth, row.width);
    EXPECT_EQ(info.biHeight, row.height);  // bottom-up
    EXPECT_EQ(info.biBitCount, 4);
    EXPECT_EQ(info.biCompression, static_cast<DWORD>(BI_RGB));
    const int colours = info.biClrUsed ? static_cast<int>(info.biClrUsed) : 16;
    ASSERT_LE(colours, 16);
    const size_t stride = (row.width * 4 + 31) / 32 * 4;
    const size_t pixelsAt = info.biSize + colours * sizeof(RGBQUAD);
    ASSERT_EQ(bytes.size(), pixelsAt + stride * row.height);

    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(bytes.data() + info.biSize);
    auto pixel = [&](int x, int y) -> const RGBQUAD& {
      const uint8_t packed = static_cast<uint8_t>(bytes[pixelsAt + (row.height - 1 - y) * stride + x / 2]);
      return palette[x % 2 ? packed & 0x0F : packed >> 4];
    };
    for (auto corner : {std::make_pair(0, 0), std::make_pair(row.width - 1, 0), std::make_pair(0, row.height - 1),
                        std::make_pair(row.width - 1, row.height - 1)}) {
      const RGBQUAD& c = pixel(corner.first, corner.second);
      EXPECT_EQ(c.rgbRed + c.rgbGreen + c.rgbBlue, 0) << "corner " << corner.first << "," << corner.second;
    }
    int light = 0;
    for (int y = 0; y < row.height; ++y) {
      for (int x = 0; x < row.width; ++x) {
        const RGBQUAD& c = pixel(x, y);
        if (c.rgbRed + c.rgbGreen + c.rgbBlue > 3 * 160) ++light;
      }
    }
    EXPECT_GT(light, row.width * row.height / 25) << "too little light text";
  }
}

// ---------------------------------------------------------------- icons

struct TIconRow {
  LPCSTR name;
  std::set<std::pair<int, int>> images;  // (size in pixels, bits per pixel)
};

const std::vector<TIconRow>& Icons() {
  static const std::vector<TIconRow> icons = {
      {"MAINICON", {{16, 8}, {16, 32}, {32, 8}, {32, 32}, {48, 8}, {48, 32}}},
      {MAKEINTRESOURCEA(2), {{32, 8}}},    {MAKEINTRESOURCEA(4), {{32, 8}}},    {MAKEINTRESOURCEA(5), {{32, 8}}},
      {MAKEINTRESOURCEA(6), {{32, 32}}},   {MAKEINTRESOURCEA(1001), {{16, 8}}}, {MAKEINTRESOURCEA(1002), {{16, 8}}},
      {MAKEINTRESOURCEA(1003), {{16, 8}}}, {MAKEINTRESOURCEA(1101), {{16, 8}}}, {MAKEINTRESOURCEA(1102), {{16, 8}}},
      {MAKEINTRESOURCEA(1103), {{16, 8}}}, {MAKEINTRESOURCEA(1104), {{16, 8}}},
  };
  return icons;
}

#pragma pack(push, 2)
struct TGroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

// What one icon image shows: transparent pixels by its mask (or alpha), opaque
// ones, and whether any pixel is partly transparent. The system masks the screen
// and then XORs the colours in, so a masked pixel that is not black tints the
// background ("tinted").
struct TIconPixels {
  int transparent = 0, opaque = 0, partial = 0, tinted = 0;
};

TIconPixels CountPixels(const std::string& dib, const BITMAPINFOHEADER& info) {
  TIconPixels count;
  const int size = info.biWidth, bits = info.biBitCount;
  const size_t colours = bits <= 8 ? (info.biClrUsed ? info.biClrUsed : 1u << bits) : 0;
  const size_t colourStride = (size * bits + 31) / 32 * 4, maskStride = (size + 31) / 32 * 4;
  const size_t colourAt = info.biSize + colours * sizeof(RGBQUAD), maskAt = colourAt + colourStride * size;
  if (dib.size() < maskAt + maskStride * size) {
    count.transparent = -1;
    return count;
  }
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const bool masked = (static_cast<uint8_t>(dib[maskAt + y * maskStride + x / 8]) >> (7 - x % 8)) & 1;
      int alpha = masked ? 0 : 255;
      RGBQUAD colour;
      if (bits == 32) {
        std::memcpy(&colour, dib.data() + colourAt + y * colourStride + 4 * x, sizeof colour);
        alpha = colour.rgbReserved;
      } else {
        const uint8_t index = static_cast<uint8_t>(dib[colourAt + y * colourStride + x]);  // 8 bits a pixel
        std::memcpy(&colour, dib.data() + info.biSize + index * sizeof colour, sizeof colour);
      }
      if (masked && colour.rgbRed + colour.rgbGreen + colour.rgbBlue) ++count.tinted;
      if (alpha == 0) ++count.transparent;
      else if (alpha == 255) ++count.opaque;
      else ++count.partial;
    }
  }
  return count;
}

TEST(Icons, HaveTheirSizesAndColourDepthsAndAShape) {
  for (const TIconRow& row : Icons()) {
    SCOPED_TRACE("icon " + NameOf(row.name));
    const std::string group = ResourceBytes(row.name, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    ASSERT_GE(group.size(), 6u);
    WORD count;
    std::memcpy(&count, group.data() + 4, sizeof count);
    ASSERT_EQ(group.size(), 6 + count * sizeof(TGroupEntry));
    std::set<std::pair<int, int>> images;
    for (WORD i = 0; i < count; ++i) {
      TGroupEntry entry;
      std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
      const std::string dib = ResourceBytes(MAKEINTRESOURCEA(entry.id), MAKEINTRESOURCEA(3) /* RT_ICON */);
      ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
      BITMAPINFOHEADER info;
      std::memcpy(&info, dib.data(), sizeof info);
      SCOPED_TRACE("image of " + std::to_string(info.biWidth) + " pixels, " + std::to_string(info.biBitCount) + " bits");
      EXPECT_EQ(info.biHeight, 2 * info.biWidth);  // colour and mask
      EXPECT_EQ(entry.width, info.biWidth % 256);
      EXPECT_EQ(entry.bitCount, info.biBitCount);
      EXPECT_EQ(entry.bytes, dib.size());
      images.insert({info.biWidth, info.biBitCount});

      ASSERT_TRUE(info.biBitCount == 8 || info.biBitCount == 32);
      const TIconPixels pixels = CountPixels(dib, info);
      ASSERT_GE(pixels.transparent, 0) << "the image ends before its mask";
      EXPECT_GT(pixels.transparent, 0) << "no transparent background";
      EXPECT_GT(pixels.opaque, info.biWidth * info.biWidth / 4) << "hardly anything drawn";
      EXPECT_EQ(pixels.tinted, 0) << "transparent pixels that are not black";
      if (info.biBitCount == 32 && info.biWidth >= 32) {
        EXPECT_GT(pixels.partial, 0) << "an alpha channel without soft edges";
      }
    }
    EXPECT_EQ(images, row.images);
  }
}

// ---------------------------------------------------------------- clips

struct TClipRow {
  const char* name;
  double seconds;
};

const TClipRow kClips[] = {
    {"WELCOME", 2.7}, {"HIGHERVERSIONOFWINDOWSREQUIRED", 5.0}, {"WAIT", 1.5}, {"FINISHED", 0.9}};

TEST(Clips, AreGsmMonoAt22050SamplesASecondAndLastTheirTime) {
  for (const TClipRow& row : kClips) {
    SCOPED_TRACE(row.name);
    const std::string bytes = ResourceBytes(row.name, "WAVE");
    ASSERT_GE(bytes.size(), 12u);
    ASSERT_EQ(bytes.substr(0, 4), "RIFF");
    ASSERT_EQ(bytes.substr(8, 4), "WAVE");
    uint32_t riffSize;
    std::memcpy(&riffSize, bytes.data() + 4, 4);
    EXPECT_EQ(riffSize + 8, bytes.size());

    bool haveFormat = false;
    uint32_t samples = 0, dataBytes = 0;
    WORD blockAlign = 0, samplesPerBlock = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
      const std::string id = bytes.substr(at, 4);
      uint32_t size;
      std::memcpy(&size, bytes.data() + at + 4, 4);
      ASSERT_LE(at + 8 + size, bytes.size()) << "chunk " << id << " runs past the end";
      const char* body = bytes.data() + at + 8;
      if (id == "fmt ") {
        // The wave format record, then the GSM codec's samples per block.
        ASSERT_GE(size, 20u);
        auto word = [&](int offset) { return static_cast<WORD>(static_cast<uint8_t>(body[offset]) |
                                                               static_cast<uint8_t>(body[offset + 1]) << 8); };
        EXPECT_EQ(word(0), 0x31);  // GSM 6.10
        EXPECT_EQ(word(2), 1);     // mono
        EXPECT_EQ(word(4) | word(6) << 16, 22050);
        EXPECT_EQ(word(16), 2);    // size of the codec's extra data
        blockAlign = word(12);
        samplesPerBlock = word(18);
        haveFormat = true;
      } else if (id == "fact") {
        std::memcpy(&samples, body, 4);
      } else if (id == "data") {
        dataBytes = size;
      }
      at += 8 + size + (size & 1);
    }
    ASSERT_TRUE(haveFormat);
    EXPECT_EQ(blockAlign, 65);        // two GSM frames
    EXPECT_EQ(samplesPerBlock, 320);  // of 160 samples each
    ASSERT_GT(samples, 0u);
    const uint32_t blocks = (samples + 319) / 320;
    EXPECT_EQ(dataBytes, blocks * 65 + (blocks & 1)) << "every block of samples, padded to an even size";
    EXPECT_NEAR(samples / 22050.0, row.seconds, 0.1);
  }
}

}  // namespace
