// The screens' arithmetic, run through whole animations as the timers drive
// them, and the long texts as their controls show them.
#include <gtest/gtest.h>

#include <vector>

#include "SetupLogic.h"
#include "Texts.h"

namespace {

TEST(SetupLogic, VersionGateDestinationAndFreeSpace) {
  const struct {
    uint32_t platform, major, minor;
    bool tooOld, xp;
  } kRows[] = {{0, 3, 10, true, false}, {1, 4, 0, true, false}, {1, 4, 10, false, false}, {2, 4, 0, false, false},
               {2, 5, 0, false, false}, {2, 5, 1, false, true}, {2, 6, 0, false, true}};
  for (const auto& row : kRows) {
    EXPECT_EQ(IsWindowsTooOld(row.platform, row.major, row.minor), row.tooOld) << row.major << "." << row.minor;
    EXPECT_EQ(UsesXpDialogs(row.platform, row.major, row.minor), row.xp) << row.major << "." << row.minor;
  }
  EXPECT_EQ(WithoutTrailingBackslashes("C:\\A\\\\") + WithoutTrailingBackslashes("C:\\") + "|" +
                WithoutTrailingBackslashes("\\\\"), "C:\\AC:|");
  EXPECT_EQ(BrowsedDestination("D:"), "D:\\");
  EXPECT_EQ(DriveRootOf("c:\\VarnTech\\Trawlix"), "C:\\");
  EXPECT_EQ(DriveRootOf("\\\\server\\share"), "\\\\\\") << "no drive: a root whose query fails";
  EXPECT_DOUBLE_EQ(FreeSpaceMB(8, 512, 4095), 15.99609375);
  EXPECT_DOUBLE_EQ(FreeSpaceMB(65536, 32768, 1), 2048.0) << "a cluster of 2 GiB: unsigned";
  EXPECT_DOUBLE_EQ(FreeSpaceMB(65536, 65536, 100), 0.0) << "the cluster size wraps in 32 bits";
}

TEST(SetupLogic, GradientIsDarkBottomLeftLightTopRightWithADarkLine) {
  EXPECT_EQ(GradientPixel(0, 0, 32, 768), 0x182028u);     // t = 0, c = 50, e = 40
  EXPECT_EQ(GradientPixel(30, 767, 32, 768), 0x759CC3u);  // t = 93.75 + 99.87 -> c = 244, e = 195
  EXPECT_EQ(GradientPixel(31, 767, 32, 768), 0u);
  for (int y = 1; y < 768; y += 97) EXPECT_GE(GradientPixel(5, y, 32, 768) & 0xFF, GradientPixel(5, y - 1, 32, 768) & 0xFF);
}

TEST(SetupLogic, AnimationsRunTheirCourse) {
  // The fade-in: 23 ticks up to 46, the welcome clip once, on the fifth.
  int position = 0, ticks = 0, welcomeTick = 0;
  for (TFadeStep step; !(step = FadeInStep(position, welcomeTick != 0)).stop; position = step.position) {
    ASSERT_LT(++ticks, 100);
    if (step.playWelcome) EXPECT_EQ(std::exchange(welcomeTick, ticks), 0);
  }
  EXPECT_EQ(ticks, 23);
  EXPECT_EQ(position, 46);
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
  for (int n = kRollUpSteps - 1; n > 0; --n) EXPECT_LE(RollUpHeight(769, n - 1), RollUpHeight(769, n)) << n;
  EXPECT_EQ(RollUpHeight(769, 0), 0);
  EXPECT_EQ(RollUpVolumeWord(79, 46), 0x2D002D00u);  // (79 * 46) / 80 = 45, before the shift
  for (int full : {300, 301, 302, 303, 304}) {  // the unroll stops 1 to 4 pixels short
    int height = 0, last = 0;
    while ((height = UnrollHeight(height, full)) >= 0) last = height;
    EXPECT_TRUE(full - last >= 1 && full - last <= 4) << full;
  }
  EXPECT_EQ(CollapseHeight(CollapseHeight(10)), 2);
  EXPECT_LT(CollapseHeight(2), 0);
  EXPECT_EQ(FinishHotKey(true, 11), 0x067B);  // Ctrl + Alt + F12
  EXPECT_EQ(FinishHotKey(false, 3), 0);
  const TPlace place = CentredPlace(0, 0, 1024, 768, 601, 401);
  EXPECT_TRUE(place.left == 211 && place.top == 167);
}

// An edit control breaks lines only at CR LF (a lone CR or LF shows as a box),
// a message box also at a lone CR; the ANSI dialogs show plain ASCII only.
TEST(ScreenTexts, UseTheLineEndsOfTheirControlAndPlainAscii) {
  for (const char* text : {kLicenceText, kWelcomeTemplate, kFinishText, kMessageOldWindows, kMessageProductRunning,
                           kMessageLowColourDepth, kMessageExtractionFailed}) {
    const std::string t = text;
    const bool crLf = text != kMessageExtractionFailed;
    for (size_t i = 0; i < t.size(); ++i) {
      const bool inCrLf = t[i] == '\r' ? i + 1 < t.size() && t[i + 1] == '\n' : i > 0 && t[i - 1] == '\r';
      if (t[i] == '\r' || t[i] == '\n') EXPECT_TRUE(crLf ? inCrLf : t[i] == '\r') << t.substr(0, 20) << " at " << i;
      else EXPECT_TRUE(t[i] >= 0x20 && t[i] < 0x7F) << t.substr(0, 20) << ": " << int(t[i]) << " at " << i;
    }
  }
  const std::string welcome = kWelcomeTemplate;
  EXPECT_EQ(welcome.find("YYYY", welcome.find("YYYY") + 1), std::string::npos) << "one year placeholder";
}

}  // namespace
