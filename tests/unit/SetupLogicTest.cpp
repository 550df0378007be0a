// The screens' arithmetic, run through whole animations as the timers drive
// them: what a user sees and hears depends on these sequences, not on single
// values.
#include <gtest/gtest.h>

#include <vector>

#include "SetupLogic.h"

namespace {

TEST(SetupLogic, VersionGateAndDialogVariant) {
  const struct {
    uint32_t platform, major, minor;
    bool tooOld, xp;
  } kRows[] = {
      {0, 3, 10, true, false},   // Win32s
      {1, 4, 0, true, false},    // Windows 95
      {1, 4, 10, false, false},  // Windows 98
      {1, 4, 90, false, false},  // Windows Me
      {2, 4, 0, false, false},   // NT 4
      {2, 5, 0, false, false},   // 2000
      {2, 5, 1, false, true},    // XP
      {2, 6, 0, false, true},    // Vista and later
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << row.platform << " " << row.major << "." << row.minor);
    EXPECT_EQ(IsWindowsTooOld(row.platform, row.major, row.minor), row.tooOld);
    EXPECT_EQ(UsesXpDialogs(row.platform, row.major, row.minor), row.xp);
  }
  EXPECT_EQ(DestinationDialogId(true), 201);
  EXPECT_EQ(FinishDialogId(false), 500);
  EXPECT_TRUE(IsLowColourDepth(8));
  EXPECT_FALSE(IsLowColourDepth(16));
}

TEST(SetupLogic, DestinationAndPathRules) {
  const struct {
    const char* in;
    const char* out;
  } kTrailing[] = {{"D:\\Apps\\", "D:\\Apps"}, {"C:\\", "C:"}, {"\\\\\\", ""}, {"C:\\A\\\\", "C:\\A"}, {"C:\\A", "C:\\A"}};
  for (const auto& row : kTrailing) EXPECT_EQ(WithoutTrailingBackslashes(row.in), row.out) << row.in;
  EXPECT_EQ(BrowsedDestination("D:"), "D:\\");
  EXPECT_EQ(BrowsedDestination("D:\\Trawlix"), "D:\\Trawlix");
  EXPECT_EQ(DriveRootOf("c:\\VarnTech\\Trawlix"), "C:\\");
  // A network path has no drive: the query is asked for a root that fails.
  EXPECT_EQ(DriveRootOf("\\\\server\\share"), "\\\\\\");
}

TEST(SetupLogic, FreeSpaceFromTheClassicQuery) {
  const struct {
    uint32_t sectors, bytes, clusters;
    double mb;
  } kRows[] = {
      {8, 512, 4096, 16.0},           // exactly the threshold
      {8, 512, 4095, 15.99609375},    // one cluster less
      {65536, 32768, 1, 2048.0},      // a cluster of 2 GiB: unsigned, not negative
      {65536, 65536, 100, 0.0},       // the cluster size wraps in 32 bits
  };
  for (const auto& row : kRows) EXPECT_DOUBLE_EQ(FreeSpaceMB(row.sectors, row.bytes, row.clusters), row.mb);
  EXPECT_NE(LowSpaceQuestion().find("at least 16MB). "), std::string::npos);
}

TEST(SetupLogic, GradientTileIsDarkBottomLeftLightTopRightWithADarkLine) {
  const int w = 32, h = 768;
  // Bottom left: t = 0, c = 50, e = 40 -> blue 40, green 32, red 24.
  EXPECT_EQ(GradientPixel(0, 0, w, h), 0x182028u);
  // Top of the second-to-last column: t = 93.75 + 99.87 -> c = 244, e = 195.
  EXPECT_EQ(GradientPixel(w - 2, h - 1, w, h), 0x759CC3u);
  for (int y : {0, 383, 767}) EXPECT_EQ(GradientPixel(w - 1, y, w, h), 0u);
  // Brighter up the tile and to the right, blue always the strongest channel.
  for (int y = 1; y < h; y += 97) {
    const uint32_t below = GradientPixel(5, y - 1, w, h), here = GradientPixel(5, y, w, h);
    EXPECT_GE(here & 0xFF, below & 0xFF);
    EXPECT_GT(here & 0xFF, (here >> 16) & 0xFF);
  }
}

TEST(SetupLogic, CaptionsStandWhereTheyAreRevealed) {
  const int kY[kCaptionCount] = {50, 120, 190, 260, 330, 410};
  for (int k = 0; k < kCaptionCount; ++k) {
    EXPECT_EQ(CaptionPlace(k).x, 8);
    EXPECT_EQ(CaptionPlace(k).y, kY[k]) << k;
  }
}

TEST(SetupLogic, FadeInRunsToFortySixAndWelcomesOnTheFifthTick) {
  int position = 0;
  bool welcomed = false;
  std::vector<int> positions;
  int welcomeTick = 0, ticks = 0;
  for (;;) {
    ++ticks;
    const TFadeStep step = FadeInStep(position, welcomed);
    if (step.stop) break;
    if (step.playWelcome) {
      EXPECT_FALSE(welcomed);
      welcomed = true;
      welcomeTick = ticks;
    }
    position = step.position;
    positions.push_back(position);
    ASSERT_LT(ticks, 100);
  }
  ASSERT_EQ(positions.size(), 23u);
  EXPECT_EQ(positions.front(), 2);
  EXPECT_EQ(positions.back(), 46);
  EXPECT_EQ(welcomeTick, 5);
  // A slider the user moved above 8 before the fade-in got there: no clip later.
  EXPECT_FALSE(FadeInStep(20, true).playWelcome);
  EXPECT_EQ(MusicVolumeWord(46), 0x2E002E00u);
  EXPECT_EQ(MusicVolumeWord(255), 0xFF00FF00u);
}

TEST(SetupLogic, ProgressAndBlinkCounters) {
  int counter = 0, ticks = 0;
  while (!ProgressStep(&counter)) ASSERT_LT(++ticks, 1000);
  EXPECT_EQ(counter, kProgressEnd);
  EXPECT_EQ(ticks + 1, 100);  // 30 seconds of 300 ms ticks

  int blink = 0;
  std::string shown;
  for (;;) {
    const TBlinkStep step = BlinkStep(&blink);
    shown += step.show ? '1' : '0';
    if (step.stop) break;
    ASSERT_LT(blink, 100);
  }
  EXPECT_EQ(shown, "10101010101");  // five blinks, then it stays after the eleventh tick
}

TEST(SetupLogic, RollUpShrinksToNothingAndFadesFromTheCurrentVolume) {
  const int h = 769;
  int previous = h;
  for (int n = kRollUpSteps - 1; n >= 0; --n) {
    const int height = RollUpHeight(h, n);
    EXPECT_LE(height, previous);
    previous = height;
  }
  EXPECT_EQ(RollUpHeight(h, 79), 759);
  EXPECT_EQ(previous, 0);
  EXPECT_EQ(RollUpVolumeWord(79, 46), 0x2D002D00u);  // (79 * 46) / 80 = 45, before the shift
  EXPECT_EQ(RollUpVolumeWord(40, 255), 0x7F007F00u);
  EXPECT_EQ(RollUpVolumeWord(0, 255), 0u);
}

TEST(SetupLogic, CollapseAndUnrollEndWhereTheyShould) {
  // The unroll stops short of the full height by 1 to 4 pixels.
  for (int full : {300, 301, 302, 303, 304}) {
    int height = 0, last = 0;
    while ((height = UnrollHeight(height, full)) >= 0) last = height;
    EXPECT_GE(full - last, 1) << full;
    EXPECT_LE(full - last, 4) << full;
  }
  int height = 10, ticks = 0;
  while (CollapseHeight(height) >= 0) height = CollapseHeight(height), ++ticks;
  EXPECT_EQ(ticks, 2);  // 6, 2, then -2 ends it
}

TEST(SetupLogic, HotKeysAndCentring) {
  EXPECT_EQ(FinishHotKey(true, kPresetHotKeyIndex), 0x0673);
  EXPECT_EQ(FinishHotKey(true, 0), 0x0670);
  EXPECT_EQ(FinishHotKey(true, 11), 0x067B);
  EXPECT_EQ(FinishHotKey(false, 3), 0);
  EXPECT_EQ(HotKeyChoiceText(0), "Ctrl + Alt + F1");
  EXPECT_EQ(HotKeyChoiceText(11), "Ctrl + Alt + F12");
  const TPlace place = CentredPlace(0, 0, 1024, 768, 601, 401);
  EXPECT_EQ(place.left, 211);
  EXPECT_EQ(place.top, 167);
}

}  // namespace
