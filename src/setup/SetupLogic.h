// The arithmetic and the decisions of the setup's screens, apart from any
// window: the window procedures only call these and the system. Portable, so
// that the same rules are checked natively and under Wine.
#pragma once
#include <cstdint>
#include <string>

// ---------------------------------------------------------------- start-up
// Win32s, or Windows 95 itself (platform 1, version 4.0): the setup refuses.
bool IsWindowsTooOld(uint32_t platformId, uint32_t major, uint32_t minor);
// Windows XP and later of the NT family get the dialogs with the alpha icon.
bool UsesXpDialogs(uint32_t platformId, uint32_t major, uint32_t minor);
int DestinationDialogId(bool xpDialogs);
int FinishDialogId(bool xpDialogs);
// Fewer than 16 bits per pixel: the screens may look wrong, the user is told.
bool IsLowColourDepth(int bitsPerPixel);
// The wait after the work steps goes on while the captions or the progress bar
// still run, for at most 25,000 ms after start (tick counts; they wrap).
bool KeepsWaiting(bool captionsRunning, bool progressRunning, uint32_t startTick, uint32_t nowTick);

// ---------------------------------------------------------------- backdrop
// The pixel (0x00RRGGBB word, blue in the low byte) at column i of scan line y
// of the gradient tile, scan line 0 being the bottom one. The tile's last
// column is black.
uint32_t GradientPixel(int i, int y, int width, int height);
// Where caption k (0 to 5) stands, from the backdrop's top left corner.
struct TCaptionPlace {
  int x, y;
};
TCaptionPlace CaptionPlace(int k);
const int kCaptionCount = 6;

// ---------------------------------------------------------------- sound
// The MIDI volume word for a level 0 to 255: level x 256 on both channels.
uint32_t MusicVolumeWord(int level);
const uint32_t kFullMidiVolume = 0xFFFFFFFFu;
// Roll-up step n (79 down to 0) of a window h pixels high at music volume v.
const int kRollUpSteps = 80;
int RollUpHeight(int height, int n);
uint32_t RollUpVolumeWord(int n, int volume);
// The open command of the tune at path.
std::string MusicOpenCommand(const std::string& path);

// ---------------------------------------------------------------- status window
// One fade-in tick from slider position p.
struct TFadeStep {
  bool stop;         // p reached 45: the timer ends, nothing else changes
  int position;      // the new slider position and music volume
  bool playWelcome;  // the welcome clip starts now
};
TFadeStep FadeInStep(int position, bool welcomePlayed);
// One progress tick: the counter goes up; true when the bar is full.
const int kProgressEnd = 100;
bool ProgressStep(int* counter);

// ---------------------------------------------------------------- dialogs
// One blink tick: the counter goes up, the notice is shown on odd counts and
// stays after the eleventh.
struct TBlinkStep {
  bool show;
  bool stop;
};
TBlinkStep BlinkStep(int* counter);
// The collapse shrinks by 4 pixels a tick; a negative result ends it.
int CollapseHeight(int height);
// The unroll grows by 4 pixels a tick; -1 when the next height would reach the
// full one (the window then keeps its last height).
int UnrollHeight(int height, int fullHeight);
// The hot-key word of the finish dialog: Ctrl + Alt + F(index + 1), or 0.
const int kHotKeyChoices = 12;
const int kPresetHotKeyIndex = 3;
uint16_t FinishHotKey(bool wanted, int index);
std::string HotKeyChoiceText(int index);
// A browser older than version 7 gets the notice below the destination dialog.
bool ShowsBrowserNotice(int browserMajorVersion);
// The drive root of a path for the free-space query: its first two characters
// and a backslash, the first one made upper case.
std::string DriveRootOf(const std::string& path);
// Free megabytes from the classic query's figures; the cluster size is formed
// in 32 bits and taken as unsigned, as that query's callers always did.
double FreeSpaceMB(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters);
// Less than 16 MB, or unknown (-1.0): the user is asked before anything is written.
bool IsLowSpace(double freeMB);
// A bare drive ("D:") from the folder browser becomes its root.
std::string BrowsedDestination(const std::string& folder);
// Top left corner that centres a window on the desktop, 16 pixels higher.
struct TPlace {
  int left, top;
};
TPlace CentredPlace(int desktopLeft, int desktopTop, int desktopRight, int desktopBottom, int width, int height);
// The two questions and the message of the destination dialog.
std::string LowSpaceQuestion();
std::string FolderNotCreatedMessage(const std::string& folder);
