#include "SetupLogic.h"

#include <cmath>

#include "FileUtils.h"
#include "GlobalLogic.h"
#include "TWXInstIds.h"
#include "Texts.h"

namespace {

// The longest wait for the animations after the work steps (tick counts).
const uint32_t kAnimationWaitMs = 25000;
// Less free space than this asks the user before anything is written.
const double kLowSpaceMB = 16.0;

}  // namespace

bool IsWindowsTooOld(uint32_t platformId, uint32_t major, uint32_t minor) {
  return platformId == 0 || (platformId == 1 && major == 4 && minor == 0);
}

bool UsesXpDialogs(uint32_t platformId, uint32_t major, uint32_t minor) {
  return platformId >= 2 && IsXpOrLater(major, minor);
}

int DestinationDialogId(bool xpDialogs) { return xpDialogs ? IDD_DESTINATION_XP : IDD_DESTINATION; }
int FinishDialogId(bool xpDialogs) { return xpDialogs ? IDD_FINISH_XP : IDD_FINISH; }

bool IsLowColourDepth(int bitsPerPixel) { return bitsPerPixel < 16; }

bool KeepsWaiting(bool captionsRunning, bool progressRunning, uint32_t startTick, uint32_t nowTick) {
  return (captionsRunning || progressRunning) && nowTick - startTick < kAnimationWaitMs;
}

uint32_t GradientPixel(int i, int y, int width, int height) {
  if (i == width - 1) return 0;
  // nearbyint rounds halves to the even neighbour, as the tile was always drawn.
  const double t = static_cast<double>(i) / width * 100 + static_cast<double>(y) / height * 100;
  const double c = std::nearbyint(t) + 50;
  const double e = std::nearbyint(c * 0.8);
  const uint32_t blue = static_cast<uint32_t>(e);
  const uint32_t green = static_cast<uint32_t>(std::nearbyint(e * 0.8));
  const uint32_t red = static_cast<uint32_t>(std::nearbyint(e * 0.6));
  return (red << 16) | (green << 8) | blue;
}

TCaptionPlace CaptionPlace(int k) {
  // The last line stands a little apart from the others.
  return {8, k < kCaptionCount - 1 ? 50 + 70 * k : 410};
}

uint32_t MusicVolumeWord(int level) {
  const uint32_t half = static_cast<uint32_t>(level) << 8;
  return half | (half << 16);
}

int RollUpHeight(int height, int n) { return height * n / kRollUpSteps; }

uint32_t RollUpVolumeWord(int n, int volume) {
  const uint32_t half = static_cast<uint32_t>(n * volume / kRollUpSteps) << 8;
  return half | (half << 16);
}

std::string MusicOpenCommand(const std::string& path) { return kMusicOpenPrefix + path + kMusicOpenSuffix; }

TFadeStep FadeInStep(int position, bool welcomePlayed) {
  if (position >= 45) return {true, position, false};
  const int next = position + 2;
  return {false, next, !welcomePlayed && next > 8};
}

bool ProgressStep(int* counter) {
  ++*counter;
  return *counter >= kProgressEnd;
}

TBlinkStep BlinkStep(int* counter) {
  ++*counter;
  const bool odd = (*counter & 1) != 0;
  return {odd, odd && *counter > 10};
}

int CollapseHeight(int height) { return height - 4; }

int UnrollHeight(int height, int fullHeight) {
  const int next = height + 4;
  return next < fullHeight ? next : -1;
}

uint16_t FinishHotKey(bool wanted, int index) {
  return wanted ? static_cast<uint16_t>(0x0600 + 0x70 + index) : 0;
}

std::string HotKeyChoiceText(int index) { return kHotKeyChoicePrefix + std::to_string(index + 1); }

bool ShowsBrowserNotice(int browserMajorVersion) { return browserMajorVersion < 7; }

std::string DriveRootOf(const std::string& path) {
  std::string root = path.substr(0, 2) + "\\";
  root[0] = UpperAsciiLetter(root[0]);
  return root;
}

double FreeSpaceMB(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters) {
  const uint32_t clusterBytes = sectorsPerCluster * bytesPerSector;
  return static_cast<double>(clusterBytes) / 1024 * freeClusters / 1024;
}

bool IsLowSpace(double freeMB) { return freeMB < kLowSpaceMB; }

std::string BrowsedDestination(const std::string& folder) { return folder.size() == 2 ? folder + "\\" : folder; }

TPlace CentredPlace(int desktopLeft, int desktopTop, int desktopRight, int desktopBottom, int width, int height) {
  return {(desktopLeft + desktopRight - width) / 2, (desktopTop + desktopBottom - height) / 2 - 16};
}

std::string LowSpaceQuestion() {
  return kQuestionLowSpacePrefix + std::to_string(static_cast<int>(kLowSpaceMB)) + kQuestionLowSpaceSuffix;
}

std::string FolderNotCreatedMessage(const std::string& folder) {
  return kMessageNoFolderPrefix + folder + kMessageNoFolderSuffix;
}
