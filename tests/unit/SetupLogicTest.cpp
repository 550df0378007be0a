// The screens' arithmetic, run through whole animations as the timers drive
// them, and the long texts as their controls show them.
#include <gtest/gtest.h>

#include <vector>

#include "SetupLogic.h"
#include "Texts.h"

namespace {

TEST(SetupLogic, VersionGateAndDestinationRules) {
  const struct {
    uint32_t platform, major, minor;
    bool tooOld, xp;
  } kRows[] = {{0, 3, 10, true, false},  {1, 4, 0, true, false},  {1, 4, 10, false, false},
               {2, 4, 0, false, false},  {2, 5, 0, false, false}, {2, 5, 1, false, true}, {2, 6, 0, false, true}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << row.platform << " " << row.major << "." << row.minor);
    EXPECT_EQ(IsWindowsTooOld(row.platform, row.major, row.minor), row.tooOld);
    EXPECT_EQ(UsesXpDialogs(row.platform, row.major, row.minor), row.xp);
  }
  EXPECT_EQ(WithoutTrailingBackslashes("C:\\A\\\\"), "C:\\A");
  EXPECT_EQ(WithoutTrailingBackslashes("C:\\"), "C:");
  EXPECT_EQ(WithoutTrailingBackslashes("\\\\"), "");
  EXPECT_EQ(BrowsedDestination("D:"), "D:\\");
  EXPECT_EQ(DriveRootOf("c:\\VarnTech\\Trawlix"), "C:\\");
  EXPECT_EQ(DriveRootOf("\\\\server\\share"), "\\\\\\") << "no drive: a root whose query fails";
  EXPECT_DOUBLE_EQ(FreeSpaceMB(8, 512, 4095), 15.99609375);
  EXPECT_DOUBLE_EQ(FreeSpaceMB(65536, 32768, 1), 2048.0) << "a cluster of 2 GiB: unsigned";
  EXPECT_DOUBLE_EQ(FreeSpaceMB(65536, 65536, 100), 0.0) << "the cluster size wraps in 32 bits";
}

TEST(SetupLogic, GradientIsDarkBottomLeftLightTopRightWithADarkLine) {
  const int w = 32, h = 768;
  EXPECT_EQ(GradientPixel(0, 0, w, h), 0x182028u);  // t = 0, c = 50, e = 40
  EXPECT_EQ(GradientPixel(w - 2, h - 1, w, h), 0x759CC3u);  // t = 93.75 + 99.87 -> c = 244, e = 195
  for (int y : {0, 767}) EXPECT_EQ(GradientPixel(w - 1, y, w, h), 0u);
  for (int y = 1; y < h; y += 97) {
    const uint32_t below = GradientPixel(5, y - 1, w, h), here = GradientPixel(5, y, w, h);
    EXPECT_GE(here & 0xFF, below & 0xFF);
    EXPECT_GT(here & 0xFF, (here >> 16) & 0xFF) << "blue is the strongest channel";
  }
}

TEST(SetupLogic, AnimationsRunTheirCourse) {
  // The fade-in: 23 ticks up to 46, the welcome clip once, on the fifth.
  int position = 0, ticks = 0, welcomeTick = 0;
  std::vector<int> positions;
  for (TFadeStep step; !(step = FadeInStep(position, welcomeTick != 0)).stop; positions.push_back(position)) {
    ASSERT_LT(++ticks, 100);
    if (step.playWelcome) {
      EXPECT_EQ(welcomeTick, 0);
      welcomeTick = ticks;
    }
    position = step.position;
  }
  ASSERT_EQ(positions.size(), 23u);
  EXPECT_EQ(positions.front(), 2);
  EXPECT_EQ(positions.back(), 46);
  EXPECT_EQ(welcomeTick, 5);
  EXPECT_EQ(MusicVolumeWord(46), 0x2E002E00u);
  int counter = 0;
  for (ticks = 1; !ProgressStep(&counter); ++ticks) ASSERT_LT(ticks, 1000);
  EXPECT_EQ(ticks, 100);  // 30 seconds of 300 ms ticks
  std::string shown;
  counter = 0;
  for (TBlinkStep step = {false, false}; !step.stop && shown.size() < 100; shown += step.show ? '1' : '0')
    step = BlinkStep(&counter);
  EXPECT_EQ(shown, "10101010101");
  int previous = 769;
  for (int n = kRollUpSteps - 1; n >= 0; --n) {
    EXPECT_LE(RollUpHeight(769, n), previous);
    previous = RollUpHeight(769, n);
  }
  EXPECT_EQ(previous, 0);
  EXPECT_EQ(RollUpVolumeWord(79, 46), 0x2D002D00u);  // (79 * 46) / 80 = 45, before the shift
  EXPECT_EQ(RollUpVolumeWord(40, 255), 0x7F007F00u);
  for (int full : {300, 301, 302, 303, 304}) {  // the unroll stops 1 to 4 pixels short
    int height = 0, last = 0;
    while ((height = UnrollHeight(height, full)) >= 0) last = height;
    EXPECT_TRUE(full - last >= 1 && full - last <= 4) << full;
  }
  EXPECT_EQ(CollapseHeight(CollapseHeight(10)), 2);
  EXPECT_LT(CollapseHeight(2), 0);
  EXPECT_EQ(FinishHotKey(true, 11), 0x067B);  // Ctrl + Alt + F12
  EXPECT_EQ(FinishHotKey(false, 3), 0);
  EXPECT_EQ(CentredPlace(0, 0, 1024, 768, 601, 401).left, 211);
  EXPECT_EQ(CentredPlace(0, 0, 1024, 768, 601, 401).top, 167);
}

// An edit control breaks lines only at CR LF (a lone CR or LF shows as a box),
// a message box also at a lone CR; the ANSI dialogs show plain ASCII only.
TEST(ScreenTexts, UseTheLineEndsOfTheirControlAndPlainAscii) {
  const struct {
    const char* text;
    bool crLf;
  } kRows[] = {{kLicenceText, true},          {kWelcomeTemplate, true},        {kFinishText, true},
               {kMessageOldWindows, true},    {kMessageProductRunning, true}, {kMessageLowColourDepth, true},
               {kMessageExtractionFailed, false}};
  for (const auto& row : kRows) {
    const std::string text = row.text;
    SCOPED_TRACE(text.substr(0, 30));
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      const bool inCrLf = c == '\r' ? i + 1 < text.size() && text[i + 1] == '\n' : i > 0 && text[i - 1] == '\r';
      if (c == '\r' || c == '\n') EXPECT_TRUE(row.crLf ? inCrLf : c == '\r') << "line end at " << i;
      else EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "character " << int(c) << " at " << i;
    }
  }
  const std::string welcome = kWelcomeTemplate;
  EXPECT_EQ(welcome.find("YYYY", welcome.find("YYYY") + 1), std::string::npos) << "one year placeholder";
}

}  // namespace
