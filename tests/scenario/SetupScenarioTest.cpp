// The real setup program, started as the user starts it (from a download
// folder, with a stranger's winmm.dll and comctl32.dll beside it), driven
// through its screens by the robot and judged by the machine's state
// afterwards. Each scenario runs on a machine of its own (run_scenario).
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "HelperInstance.h"
#include "PostSetLogic.h"
#include "Product.h"
#include "Robot.h"
#include "ScenarioChecks.h"
#include "ShellLinks.h"
#include "TWXInstIds.h"
#include "Texts.h"

namespace {

using namespace scenario;
using robot::Settled;
using twxtest::ReadRegString;
using twxtest::ReadWholeFileOr;
using twxtest::TProgram;

const wchar_t kDownloads[] = L"C:\\Downloads";
const char kSetupCopy[] = "C:\\Downloads\\TrawlixSetup.exe";
const char kSoundLog[] = "C:\\twx-sound.log";
const char kPlantedMark[] = "C:\\twx-planted-loaded.txt";
const char kOverridesKey[] = "Software\\Wine\\AppDefaults\\TrawlixSetup.exe\\DllOverrides";
const char kLicenceTitle[] = "Trawlmark(TM) End-User License Agreement";
const char kFinishTitle[] = "Trawlix(TM) v5.3 has been installed";

enum TSound { kRecordingLibrary, kLibraryWithoutMidi, kNoLibrary };

void Screenshot(const std::string& screen) {
  Sleep(300);  // the last paint
  const char* scenario = std::getenv("TWX_SCENARIO");
  robot::SaveWindowBmp(GetDesktopWindow(), twxtest::ArtifactsFolder() + "\\" + (scenario ? scenario : "scenario") + "-" +
                                               screen + ".bmp");
}

// The text of a message box: its longest static text.
std::string MessageText(HWND box) {
  std::string text;
  for (const robot::TChild& child : robot::Children(box))
    if (child.className == "Static" && child.text.size() > text.size()) text = child.text;
  return text;
}

// What the recording library logged with this prefix, in order.
std::vector<std::string> Logged(const std::string& prefix) { return Lines(ReadWholeFileOr(kSoundLog, ""), prefix); }
// A clip of the setup's as the recording library logs it: from the resources, asynchronously.
std::string Played(const char* clip) { return std::string(clip) + " 0x40005"; }

RECT Rect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

// The lower edge of a dialog's client area on the screen.
LONG ClientBottom(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  return MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2), client.bottom;
}

// The foreground window once it belongs to the process (the system hands the
// foreground over a moment after it is asked to); null if it never does.
HWND WaitForForeground(DWORD processId) {
  HWND window = nullptr;
  return twxtest::WaitUntil([&] {
    DWORD owner = 0;
    return GetWindowThreadProcessId(window = GetForegroundWindow(), &owner), window && owner == processId;
  }, kScreenWait, "a window of process " + std::to_string(processId) + " in front") ? window : nullptr;
}

bool IsAbove(HWND window, HWND other) {
  for (HWND below = GetWindow(window, GW_HWNDNEXT); below; below = GetWindow(below, GW_HWNDNEXT))
    if (below == other) return true;
  return false;
}

// The control of the window's thread that has the keyboard focus.
HWND Focus(HWND window) {
  GUITHREADINFO input = {};
  input.cbSize = sizeof input;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &input) ? input.hwndFocus : nullptr;
}

// The window and its controls painted afresh, as when it is uncovered.
void Repaint(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(300);  // the painted surface reaches the screen
}

// The Windows version Wine reports to the setup ("win7" is the prefix's own).
bool SetWindowsVersion(const char* version) {
  return twxtest::WriteRegString(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\TrawlixSetup.exe", "Version", version);
}

// The process whose live window the helper's instance file names (only a helper
// started from that file's folder claims it); 0 if none comes.
DWORD WaitForHelper(const std::string& instanceFile, DWORD timeoutMs) {
  DWORD process = 0;
  return twxtest::WaitUntil([&] {
    process = 0;
    GetWindowThreadProcessId(twx::ReadHelperWindow(instanceFile), &process);
    return process != 0;
  }, timeoutMs, "a helper's live window named in " + instanceFile) ? process : 0;
}

// The tune's temporary file, as the setup names it.
std::string TuneFile() {
  char folder[MAX_PATH];
  return std::string(folder, GetTempPathA(MAX_PATH, folder)) + "_vtsetup.mid";
}

class SetupScenario : public ::testing::Test {
 protected:
  // The machine as a user's download leaves it: the setup in a folder of its
  // own (named in wide characters: the ANSI code page may lack its name), with
  // libraries of a stranger's beside it that Wine would prefer to its own
  // copies, as Windows does. The multimedia library the setup gets from the
  // system folder is the recording one (or none).
  void Prepare(TSound sound = kRecordingLibrary, const std::wstring& downloads = kDownloads) {
    downloads_ = downloads;
    ASSERT_TRUE(CreateDirectoryW(downloads.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const auto wide = [](const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); };  // the build's paths
    // The run may ask for the setup as a release signs it.
    const char* signedSetup = getenv("TWX_SIGNED_SETUP");
    ASSERT_TRUE(CopyFileW(wide(signedSetup ? signedSetup : TWX_SETUP_EXE).c_str(), SetupCopy().c_str(), FALSE));
    for (const char* library : {"winmm.dll", "comctl32.dll"})
      ASSERT_TRUE(CopyFileW(wide(std::string(TWX_PLANTED_DIR) + "\\" + library).c_str(),
                            (downloads + L"\\" + wide(library)).c_str(), FALSE));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    if (sound != kNoLibrary) {
      ASSERT_TRUE(CopyFileA(sound == kRecordingLibrary ? TWX_RECORDING_WINMM : TWX_RECORDING_WINMM_PARTIAL,
                            (std::string(system) + "\\winmm.dll").c_str(), FALSE));
    }
    ASSERT_TRUE(twxtest::WriteRegString(HKEY_CURRENT_USER, kOverridesKey, "winmm", sound == kNoLibrary ? "" : "native"));
    ASSERT_TRUE(twxtest::WriteRegString(HKEY_CURRENT_USER, kOverridesKey, "comctl32", "native,builtin"));
    SetEnvironmentVariableA("TWX_SOUND_LOG", kSoundLog);
    DeleteFileA(TuneFile().c_str());  // a leftover of the prefix's own past
  }

  // A run of the setup; a later run replaces the earlier one, which has ended.
  void Start() {
    setup_.reset(new TProgram);
    ASSERT_TRUE(setup_->Start(SetupCopy()));
  }
  std::wstring SetupCopy() const { return downloads_ + L"\\TrawlixSetup.exe"; }

  // A dialog or message box of the setup with this title (and, when given, a
  // control of that id), settled; null when none appeared in time.
  HWND Dialog(const char* title, int controlId = 0, DWORD timeoutMs = kScreenWait) {
    return Settled(robot::WaitForWindow("#32770", title, timeoutMs, setup_->Id(), controlId));
  }
  HWND Licence() { return Dialog(kLicenceTitle, IDC_LICENCE_TEXT); }
  HWND Destination() { return Dialog(kSetupTitle, IDC_DESTINATION_FIELD); }
  HWND StatusWindow() { return robot::WaitForWindow("", "   Status", kScreenWait, setup_->Id()); }

  // A run through the licence, shot as screen when one is named, to the
  // destination dialog (null when a screen did not come), which proposes the
  // folder proposed when one is given. The licence is accepted as a person
  // does, after the music and the status window came up (300 ms after the
  // agreement; a quicker click leaves both out for the run).
  HWND ToDestination(const std::string& proposed = "", const std::string& screen = "", TCaller caller = Caller()) {
    const testing::ScopedTrace trace(caller.file, caller.line, "");
    Start();
    HWND licence = Licence();
    EXPECT_TRUE(licence && StatusWindow()) << "the licence, and the status window with the music";
    if (!screen.empty()) Screenshot(screen);
    robot::ClickButton(licence, IDOK);
    HWND dialog = licence ? Destination() : nullptr;
    if (dialog && !proposed.empty()) {
      EXPECT_EQ(robot::WindowText(robot::Control(dialog, IDC_DESTINATION_FIELD)), proposed);
    }
    return dialog;
  }

  // Through licence and destination to the work: the folder proposed, or ""
  // when the screens did not come.
  std::string StartInstallation() {
    HWND dialog = ToDestination();
    if (!dialog) return "";
    const std::string destination = robot::WindowText(robot::Control(dialog, IDC_DESTINATION_FIELD));
    robot::ClickButton(dialog, IDC_INSTALL);
    return destination;
  }

  // Answers a message box with the given button once it is shown; its text.
  std::string Answer(const char* title, int button, const std::string& screen = "", DWORD timeoutMs = kScreenWait) {
    HWND box = Dialog(title, 0, timeoutMs);
    if (!box) return "<no box>";
    const std::string text = MessageText(box);
    if (!screen.empty()) Screenshot(screen);
    robot::ClickButton(box, button);
    robot::WaitForWindowGone(box, kScreenWait);
    return text;
  }

  // The finish dialog once it has unrolled (enabled, the focus on OK), set as
  // the user sets it and closed with OK, or with the close box, which applies
  // the options as OK does; then the setup's clean end.
  void Finish(const std::function<void(HWND)>& set = [](HWND) {}, bool closeBox = false, TCaller caller = Caller()) {
    const testing::ScopedTrace trace(caller.file, caller.line, "");
    HWND finish = Dialog(kFinishTitle, IDC_HOTKEY_LIST, kWorkWait);
    ASSERT_TRUE(finish && twxtest::WaitUntil([&] {
      return IsWindowEnabled(Settled(finish)) && Focus(finish) == robot::Control(finish, IDOK);
    }, kScreenWait, "the finish dialog to take input with the focus on OK"));
    set(finish);
    if (closeBox) PostMessageA(finish, WM_SYSCOMMAND, SC_CLOSE, 0);
    else robot::ClickButton(finish, IDOK);
    ExpectExitedCleanly(caller);
  }

  void ExpectExitedCleanly(TCaller caller = Caller()) {
    const testing::ScopedTrace trace(caller.file, caller.line, "");
    EXPECT_EQ(setup_->WaitForExit(kScreenWait), 0u);
    EXPECT_FALSE(IsExistingFile(TuneFile()));
    EXPECT_FALSE(IsExistingFile(kPlantedMark)) << ReadWholeFileOr(kPlantedMark, "");
  }

  // The extraction-failed message (after the wait for the screens) answered,
  // then the setup's clean end; shot: the status window still over the
  // backdrop, and its screen kept.
  void ExpectExtractionFailed(bool shot, TCaller caller = Caller()) {
    const testing::ScopedTrace trace(caller.file, caller.line, "");
    if (shot) {
      ASSERT_NE(Dialog(kShortTitle, 0, kWorkWait), nullptr);
      EXPECT_TRUE(IsAbove(StatusWindow(), FindWindowA(kBackdropClass, kSetupTitle)));
    }
    EXPECT_EQ(Answer(kShortTitle, IDOK, shot ? "extraction-failed" : "", kWorkWait), kMessageExtractionFailed);
    ExpectExitedCleanly();
  }

  std::unique_ptr<TProgram> setup_;
  std::wstring downloads_ = kDownloads;
};

TEST_F(SetupScenario, DefaultInstallation) {
  // Downloaded into a folder whose name the ANSI code page (1252) cannot write.
  Prepare(kRecordingLibrary, L"C:\\\u0417\u0430\u0433\u0440\u0443\u0437\u043a\u0438");
  // The oldest browser that needs no notice.
  ASSERT_TRUE(twxtest::WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer", "Version",
                                      "7.0.5730.13"));
  // A tune file of an earlier, interrupted setup is replaced and removed.
  ASSERT_TRUE(twxtest::WriteWholeFile(TuneFile(), "stale"));
  // A 32-bit setup on 64-bit Windows is shown the 32-bit programs' folder.
  const std::string folder =
      (sizeof(void*) == 4 ? "C:\\Program Files (x86)" : "C:\\Program Files") + std::string(kProductFolder);
  HWND destination = ToDestination(folder, "licence");
  ASSERT_NE(destination, nullptr);
  HWND backdrop = FindWindowA(kBackdropClass, kSetupTitle), status = StatusWindow();
  EXPECT_TRUE(IsWindowEnabled(robot::Control(destination, IDC_BROWSE)));
  EXPECT_EQ(Focus(destination), robot::Control(destination, IDC_BROWSE)) << "the read-only folder field takes none";
  EXPECT_GE(Rect(robot::Control(destination, IDC_BROWSER_NOTICE)).top, ClientBottom(destination))
      << "the browser notice stays out of view";
  Screenshot("destination");
  robot::ClickButton(destination, IDC_INSTALL);
  ASSERT_TRUE(robot::WaitForWindowGone(destination, kScreenWait));
  Sleep(2000);
  EXPECT_TRUE(IsAbove(status, backdrop)) << "the status window stays over the backdrop";
  Sleep(14000);  // all six captions are up after twelve seconds
  Screenshot("backdrop");

  // The screens behind the finish dialog, painted afresh: the captions where
  // they were revealed, the badge in the screen's corner (the backdrop covers
  // it all), the status window in the lower left with its bar full and the
  // fade-in at its end.
  Finish([&](HWND) {
    Repaint(backdrop);
    Repaint(status);
    HMODULE image = LoadLibraryExW(SetupCopy().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    const int kCaptionY[] = {50, 120, 190, 260, 330, 410};
    for (int k = 0; k < 6; ++k) ExpectDrawnAt(image, MAKEINTRESOURCEA(IDB_CAPTION(k)), 8, kCaptionY[k], 240);
    ExpectDrawnAt(image, TWX_RESOURCE_NAME(IDB_BADGE), GetSystemMetrics(SM_CXSCREEN) - 140,
                  GetSystemMetrics(SM_CYSCREEN) - 90, 130);
    FreeLibrary(image);
    EXPECT_EQ(Rect(status).left, 0);
    EXPECT_EQ(Rect(status).bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(SendMessageA(robot::Control(status, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 100);
    const RECT bar = Rect(robot::Control(status, IDC_PROGRESS_BAR));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetPixel(screen, bar.right - 4, (bar.top + bar.bottom) / 2), GetSysColor(COLOR_HIGHLIGHT)) << "the bar";
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(SendMessageA(robot::Control(status, IDC_VOLUME_SLIDER), TBM_GETPOS, 0, 0), 46);
    Screenshot("finish");
  });
  ExpectInstalled(folder, 0x0673, true);
  ExpectOnlyDataWritable({folder, ParentPart(InstalledHelper())}, 0, {});

  // What the setup asked of the multimedia library, in order.
  EXPECT_EQ(Logged("PlaySoundA "), (std::vector<std::string>{Played(TWX_RESOURCE_NAME(CLIP_WELCOME)),
                                                             Played(TWX_RESOURCE_NAME(CLIP_WAIT)),
                                                             Played(TWX_RESOURCE_NAME(CLIP_FINISHED))}));
  std::vector<std::string> volumes = {Hex(0)};
  for (int level = 2; level <= 46; level += 2) volumes.push_back(Hex(level * 0x01000100u));
  for (int n = 79; n >= 0; --n) volumes.push_back(Hex(((n * 46) / 80) * 0x01000100u));
  volumes.push_back(Hex(0));
  volumes.push_back(Hex(0xFFFFFFFFu));
  EXPECT_EQ(Logged("midiOutSetVolume 0 "), volumes);
  EXPECT_EQ(Logged("midiOutSetVolume 1 "), volumes);
  EXPECT_EQ(Logged("mciSendStringA "),
            (std::vector<std::string>{"open \"" + TuneFile() + "\" type sequencer alias trawlix",
                                      "play trawlix notify [notify]", "seek trawlix to start",
                                      "play trawlix notify [notify]", "close trawlix", "close trawlix"}));
  // No dialog changed size while the user could use it: they refuse input
  // while they unroll and collapse.
  EXPECT_EQ(Logged("resized while usable "), std::vector<std::string>());
}

// A destination that names a file cannot be made; Cancel and the close box
// both ask before they end the setup, and No leaves the dialog as it was.
TEST_F(SetupScenario, TheDestinationStaysUntilTheExitIsConfirmed) {
  Prepare();
  const std::string blocked = "C:\\Program Files" + std::string(kProductFolder);
  MakeFolderPath(ParentPart(blocked));
  ASSERT_TRUE(twxtest::WriteWholeFile(blocked, "a file where the folder should be"));
  HWND dialog = ToDestination(blocked);
  ASSERT_NE(dialog, nullptr);
  robot::ClickButton(dialog, IDC_INSTALL);
  EXPECT_EQ(Answer(kShortTitle, IDOK, "folder-error"),
            std::string(kMessageNoFolderPrefix) + blocked + kMessageNoFolderSuffix);
  EXPECT_TRUE(IsWindowEnabled(dialog)) << "the dialog stays for another folder";
  robot::ClickButton(dialog, IDC_CANCEL_INSTALL);
  EXPECT_EQ(Answer(kExitTitle, IDNO, "exit-question"), kQuestionExit);
  EXPECT_EQ(robot::WindowText(robot::Control(dialog, IDC_DESTINATION_FIELD)), blocked);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(IsWindowEnabled(dialog));
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(Answer(kExitTitle, IDYES), kQuestionExit);
  ExpectExitedCleanly();
  ExpectNothingInstalled(blocked, false);
  EXPECT_TRUE(IsExistingFile(blocked)) << "the user's file stays";
}

// The start-up checks, each in its turn before any screen: Windows 95 is
// refused at once; on Windows 98 the running product is brought to the front
// instead; a screen of 256 colours is warned of, and the setup goes on; a
// second copy started while another program is in front brings the first to
// the front and ends. The licence refused then ends the setup with nothing written.
TEST_F(SetupScenario, StartUpChecksComeInTheirTurn) {
  Prepare();
  ASSERT_TRUE(SetWindowsVersion("win95"));
  Start();
  EXPECT_EQ(Answer(kSetupTitle, IDOK, "old-windows"), kMessageOldWindows);
  EXPECT_EQ(setup_->WaitForExit(kScreenWait), 0u);
  EXPECT_EQ(Logged("shown ").size(), 1u) << "the message and no screen";
  ASSERT_TRUE(SetWindowsVersion("win98"));
  {
    TProgram product;
    ASSERT_TRUE(product.Start(twxtest::PatchSourcePath("Trawlix.exe")));
    HWND window = robot::WaitForWindow(kProductWindowClass, kProductName, kScreenWait, product.Id());
    ASSERT_NE(window, nullptr);
    Start();
    EXPECT_EQ(Answer(kSetupTitle, IDOK, "product-running"), kMessageProductRunning);
    EXPECT_EQ(setup_->WaitForExit(kScreenWait), 0u);
    EXPECT_EQ(WaitForForeground(product.Id()), window);
    EXPECT_EQ(FindWindowA(kBackdropClass, nullptr), nullptr);
  }
  ASSERT_TRUE(SetWindowsVersion("win7"));
  Start();
  EXPECT_EQ(Answer(kSetupTitle, IDOK, "low-colour"), kMessageLowColourDepth);
  ASSERT_NE(Licence(), nullptr) << "the setup goes on";
  HWND backdrop = FindWindowA(kBackdropClass, kSetupTitle);
  TProgram other, second;
  ASSERT_TRUE(other.Start(twxtest::PatchSourcePath("Trawlix.exe")));
  ASSERT_NE(WaitForForeground(other.Id()), nullptr);
  ASSERT_TRUE(second.Start(kSetupCopy));
  EXPECT_EQ(second.WaitForExit(kScreenWait), 0u);
  EXPECT_NE(WaitForForeground(setup_->Id()), nullptr) << "the first copy comes to the front";
  EXPECT_EQ(FindWindowA(kBackdropClass, kSetupTitle), backdrop);
  robot::ClickButton(Licence(), IDCANCEL);
  ExpectExitedCleanly();
  ExpectNothingInstalled("C:\\Program Files" + std::string(kProductFolder), false);
}

TEST_F(SetupScenario, OldBrowserNotice) {
  Prepare();
  ASSERT_TRUE(twxtest::WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer", "Version",
                                      "6.0.2900.2180"));
  // On the Windows 95 family the notice keeps the template's recommendation.
  ASSERT_TRUE(SetWindowsVersion("win98"));
  HWND dialog = ToDestination();
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(robot::WindowText(robot::Control(dialog, IDC_BROWSER_NOTICE)).find("under MS Windows 2000, XP"),
            std::string::npos);
  robot::ClickButton(dialog, IDC_CANCEL_INSTALL);
  Answer(kExitTitle, IDYES);
  ExpectExitedCleanly();
  ASSERT_TRUE(SetWindowsVersion("win7"));
  DeleteFileA(kSoundLog);

  dialog = ToDestination();
  ASSERT_NE(dialog, nullptr);
  // Made taller before it is shown: it appears where it stays.
  const RECT place = Rect(dialog);
  HWND notice = robot::Control(dialog, IDC_BROWSER_NOTICE);
  EXPECT_EQ(robot::WindowText(notice), kNoticeNewBrowserNt);
  EXPECT_LT(Rect(notice).top + 20, ClientBottom(dialog)) << "the dialog grew to show the notice";
  // It blinks five times, then stays.
  int blinks = 0;
  bool shown = IsWindowVisible(notice) != 0;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 9000; Sleep(25)) {
    const bool now = IsWindowVisible(notice) != 0;
    if (shown && !now) ++blinks;
    if (now != shown && now) Screenshot("old-browser");
    shown = now;
  }
  EXPECT_EQ(blinks, 5);
  EXPECT_TRUE(IsWindowVisible(notice));
  robot::ClickButton(dialog, IDC_CANCEL_INSTALL);
  Answer(kExitTitle, IDYES);
  ExpectExitedCleanly();
  EXPECT_EQ(Logged("PlaySoundA ").at(0), Played(TWX_RESOURCE_NAME(CLIP_NEW_BROWSER)));
  std::vector<std::string> first;  // where the backdrop, then the dialog, were first shown
  for (const std::string& line : Logged("shown "))
    if (line.find(kSetupTitle) != std::string::npos) first.push_back(line);
  EXPECT_EQ(first, (std::vector<std::string>{"0 0 " + std::string(kSetupTitle), std::to_string(place.left) + " " +
                                                 std::to_string(place.top) + " " + kSetupTitle}));
}

// An upgrade from a download damaged by one bit, then from one cut short:
// each time the extraction-failed message and nothing written. Then from the
// whole download, but the engine sets cannot be written back over the copy
// the extraction left: the same message, the other data files back as they
// were, and the user's sets in their save copy for the next run.
TEST_F(SetupScenario, FailedExtractionKeepsUserData) {
  Prepare();
  const std::string installation = "C:\\Apps\\Trawlix", setup = ReadWholeFileOr(kSetupCopy, "");
  const std::vector<std::string> userData = WriteUserData(installation, "the earlier program");
  const std::vector<std::string> before = twxtest::ListFolder(installation);
  const std::string sets = installation + "\\" + CustomFiles[2].FileName;
  std::string flipped = setup;
  flipped[flipped.size() - 5000] ^= 0x10;  // inside the archive's body, before a certificate table
  for (const std::string& download : {flipped, setup.substr(0, setup.size() - 100000), setup}) {
    std::vector<std::string> inPlace = userData;
    if (download == setup) {
      // Where the restore writes the file before it takes the old one's place.
      MakeFolderPath(sets + ".$$$");
      inPlace[2] = ReadWholeFileOr(twxtest::PayloadPath(CustomFiles[2].FileName), "-");
    }
    ASSERT_TRUE(twxtest::WriteWholeFile(kSetupCopy, download));
    HWND dialog = ToDestination(installation);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowEnabled(robot::Control(dialog, IDC_BROWSE))) << "an upgrade stays where it is";
    EXPECT_EQ(Focus(dialog), robot::Control(dialog, IDC_INSTALL));
    robot::ClickButton(dialog, IDC_INSTALL);
    ExpectExtractionFailed(download == setup);
    ExpectUserData(installation, inPlace, false);
    EXPECT_EQ(ReadWholeFileOr(SaveCopyPathOf(sets), "").compare(0, userData[2].size(), userData[2]) == 0,
              download == setup);
    EXPECT_FALSE(IsExistingFile(installation + "\\" + kTemporaryArchiveName));
    if (download != setup) {
      EXPECT_EQ(twxtest::ListFolder(installation), before) << "nothing written";
    }
  }
}

// A library without the MIDI functions: clips only, no music, no volume; the
// finish dialog without the desktop and association boxes still rewrites the
// group shortcut, with the last hot-key of the list. Then an upgrade without
// the multimedia library runs silently to the end, and the finish dialog
// without the hot-key box replaces both shortcuts with ones without a hot-key.
TEST_F(SetupScenario, TheFinishOptionsApplyWithLessOrNoSound) {
  Prepare(kLibraryWithoutMidi);
  std::string folder = StartInstallation();
  Finish([](HWND finish) {
    robot::ClickButton(finish, IDC_DESKTOP_BOX);
    robot::ClickButton(finish, IDC_ASSOCIATION_BOX);
    SendDlgItemMessageA(finish, IDC_HOTKEY_LIST, CB_SETCURSEL, 11, 0);
    Sleep(200);
  });
  ExpectInstalled(folder, 0x067B, false, false);
  EXPECT_EQ(Logged("PlaySoundA ").size(), 3u);
  EXPECT_TRUE(Logged("midiOutSetVolume").empty());
  EXPECT_TRUE(Logged("mciSendStringA").empty());

  Prepare(kNoLibrary);
  ASSERT_TRUE(DeleteFileA(kSoundLog));
  folder = StartInstallation();
  Finish([](HWND finish) {
    HWND list = robot::Control(finish, IDC_HOTKEY_LIST);
    for (const bool ticked : {false, true, false}) {  // the list follows the box
      robot::ClickButton(finish, IDC_HOTKEY_BOX);
      twxtest::WaitUntil([&] { return (IsWindowEnabled(list) != FALSE) == ticked; }, kScreenWait,
                         std::string("the hot-key list ") + (ticked ? "enabled" : "disabled"));
    }
  }, true);
  ExpectInstalled(folder, 0, true);
  EXPECT_FALSE(IsExistingFile(kSoundLog));
}

// The music turned up to the top with the slider, then down to nothing, and
// the status window closed while the work runs: the volume follows the slider,
// the fade-in never resumes, the setup goes on and its clean-up still leaves
// the devices at full volume. Then an upgrade over the user's own installation:
// the old folder proposed and fixed, the user's data through (the old
// engine-set name converted), a shortcut the user added to the group gone, the
// running helper of the same version left alone. Before it goes through, the
// upgrade is ended at moments of its work, as the task manager, a crash or a
// power cut would end it, and each time run again. The uninstaller then leaves
// nothing of the installation.
TEST_F(SetupScenario, UpgradeKeepsTheUsersData) {
  Prepare();
  HWND dialog = ToDestination();
  ASSERT_NE(dialog, nullptr);
  HWND status = StatusWindow();
  for (WPARAM key : {VK_END, VK_HOME}) SendMessageA(robot::Control(status, IDC_VOLUME_SLIDER), WM_KEYDOWN, key, 0);
  const std::string folder = robot::WindowText(robot::Control(dialog, IDC_DESTINATION_FIELD));
  robot::ClickButton(dialog, IDC_INSTALL);
  ASSERT_TRUE(robot::WaitForWindowGone(dialog, kScreenWait));
  PostMessageA(status, WM_SYSCOMMAND, SC_CLOSE, 0);
  Finish([&](HWND) { EXPECT_FALSE(IsWindowVisible(status)); });
  ExpectInstalled(folder, 0x0673, true);
  std::vector<std::string> volumes = Logged("midiOutSetVolume 0 ");
  const auto top = std::find(volumes.begin(), volumes.end(), Hex(0xFF00FF00u));
  ASSERT_NE(top, volumes.end());
  // Down to nothing, closed, the roll-up from silence, the clean-up's close, full volume.
  std::vector<std::string> down(83, Hex(0));
  down.push_back(Hex(0xFFFFFFFFu));
  EXPECT_EQ(std::vector<std::string>(top + 1, volumes.end()), down);

  const std::string helper = InstalledHelper(), instance = HelperInstancePath(ParentPart(helper));
  const DWORD helperProcess = WaitForHelper(instance, kScreenWait);
  ASSERT_NE(helperProcess, 0u) << "the helper runs after the installation";
  const auto helperWritten = std::filesystem::last_write_time(helper);
  std::vector<std::string> userData = WriteUserData(folder);
  ASSERT_TRUE(CreateShellShortcut(ProgramPath(folder), GroupFolderPath(kProgramsFolder), "My queries", false, 0));
  // An entry written by hand with a doubled backslash still names the folder.
  ASSERT_TRUE(twxtest::WriteRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                                      "\"" + UninstallerPath(folder + "\\") + "\""));

  // The moments the recording library stops the setup at for the test to end
  // it: right after each data file was replaced, in the settling pause, between
  // two patches, right after the data files were written back.
  const size_t upgradeStart = AccessTraceLength();
  std::vector<std::string> moments;
  for (const TCustomFileToSave& file : CustomFiles) moments.push_back("MoveFileExA \\" + file.FileName);
  moments.insert(moments.end(), {"Sleep 100", "MoveFileExA " + EngineSetToolPath(""), "DeleteFileA \\Filters\\Markup.ini"});
  for (const std::string& moment : moments) {
    SetEnvironmentVariableA("TWX_STOP_AT", moment.c_str());
    ASSERT_EQ(StartInstallation(), folder);
    twxtest::WaitUntil([&] { return !Logged("stopped at " + moment).empty(); }, kWorkWait,
                       "the setup to stop at " + moment);
    setup_.reset();  // ends it
  }
  SetEnvironmentVariableA("TWX_STOP_AT", nullptr);

  // To the end. A log-off or shutdown is refused while the work runs (once
  // the user's bytes are in their save copies), allowed again once it is over.
  const auto endSessionAnswer = [] {
    DWORD_PTR answer = 99;
    SendMessageTimeoutA(FindWindowA(kBackdropClass, kSetupTitle), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL,
                        twxtest::WaitBound(kWorkWait), &answer);
    return answer;
  };
  ASSERT_EQ(StartInstallation(), folder);
  const std::string queryCopy = SaveCopyPathOf(folder + "\\" + CustomFiles[0].FileName);
  twxtest::WaitUntil([&] { return IsExistingFile(queryCopy); }, kWorkWait, "the save copy " + queryCopy);
  EXPECT_EQ(endSessionAnswer(), 0u);
  Finish([&](HWND) { EXPECT_EQ(endSessionAnswer(), 1u); });
  ExpectInstalled(folder, 0x0673, true);
  // As over an installation of an earlier setup, which left both folders and
  // everything in them open to everyone.
  ExpectOnlyDataWritable({folder, ParentPart(helper)}, upgradeStart, {folder, ParentPart(helper)});
  ExpectUserData(folder, userData, true);
  // Nothing else is left beside the data files.
  std::map<std::string, std::vector<std::string>> beside;
  for (const TCustomFileToSave& file : CustomFiles) beside[ParentPart(file.FileName)].push_back(NamePart(file.FileName));
  for (const auto& data : beside) EXPECT_EQ(twxtest::ListFolder(folder + "\\" + data.first), data.second);
  EXPECT_FALSE(IsExistingFile(GroupShortcut("My queries")));
  EXPECT_EQ(std::filesystem::last_write_time(helper), helperWritten) << "the same version stays";
  EXPECT_EQ(WaitForHelper(instance, 0), helperProcess) << "and is not asked to quit";
  ExpectNothingInstalled(folder, true);
}

// A Japanese user's installation in a folder whose name ends in a kanji whose
// second byte is that of "\" (0x95 0x5C in code page 932): found through its
// uninstall entry, upgraded in place with the user's data converted, and named
// by the entry, the shortcuts, the browser button and the association; nothing
// is made where a new installation would go, and the uninstaller finds it too.
TEST_F(SetupScenario, UpgradeInAJapaneseFolder) {
  ASSERT_EQ(GetACP(), 932u) << "the locale ja_JP.UTF-8 is missing: scripts/bootstrap generates it";
  Prepare();
  const std::string folder = "C:\\\x83\x5C\x83\x74\x83\x67\x95\x5C";
  const std::vector<std::string> userData = WriteUserData(folder, "the earlier program");
  ASSERT_EQ(StartInstallation(), folder);
  Finish();
  ExpectInstalled(folder, 0x0673, true);
  ExpectUserData(folder, userData, true);
  EXPECT_FALSE(IsExistingFolder(ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                              "ProgramFilesDir") + kMakerFolder));
  ExpectNothingInstalled(folder, true);
}

// A folder typed in the folder browser that does not exist yet: the browser
// asks, the setup creates it and installs there.
// On a screen of exactly 16 bits per pixel (no colour notice) where neither the
// backdrop nor the status window can be made: no timer runs for them, and the
// music still fades out at the end. The first hot-key of the list.
TEST_F(SetupScenario, NewFolderTypedInTheBrowser) {
  Prepare();
  SetEnvironmentVariableA("TWX_REFUSE_WINDOWS", (std::string(kBackdropClass) + "|   Status").c_str());
  Start();
  robot::ClickButton(Licence(), IDOK);
  HWND dialog = Destination();
  ASSERT_NE(dialog, nullptr);
  robot::ClickButton(dialog, IDC_BROWSE);
  HWND browser = Dialog("Select Destination Folder", IDC_SELDIR_PATH);
  ASSERT_NE(browser, nullptr);
  SendMessageA(robot::Control(browser, IDC_SELDIR_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\Products"));
  Screenshot("folder-browser");
  robot::ClickButton(browser, IDC_SELDIR_OK);
  HWND question = Dialog(kSetupTitle, IDYES);
  ASSERT_NE(question, nullptr);
  robot::ClickButton(question, IDYES);
  ASSERT_TRUE(robot::WaitForWindowGone(browser, kScreenWait));
  EXPECT_EQ(robot::WindowText(robot::Control(Settled(dialog), IDC_DESTINATION_FIELD)), "C:\\Products\\Trawlix");
  robot::ClickButton(dialog, IDC_INSTALL);
  Finish([](HWND finish) { SendDlgItemMessageA(finish, IDC_HOTKEY_LIST, CB_SETCURSEL, 0, 0); });
  ExpectInstalled("C:\\Products\\Trawlix", 0x0670, true);
  EXPECT_EQ(Logged("timer without a window"), std::vector<std::string>());
  std::vector<std::string> volumes(80, Hex(0));
  volumes.push_back(Hex(0xFFFFFFFFu));
  EXPECT_EQ(Logged("midiOutSetVolume 1 "), volumes);
}

// An upgrade on a drive with less than 16 MB free: the question, where No
// keeps the dialog and writes nothing, and Yes goes on. The disk then fills
// up in the middle of the main program: the extraction-failed message, the
// user's data files as they were, and the main program the earlier one, whole.
TEST_F(SetupScenario, AFullDiskKeepsTheInstallation) {
  if (!IsExistingFolder("E:\\")) GTEST_SKIP() << "no small drive E: (run_scenario could not mount one)";
  Prepare();
  const std::string installation = "E:\\Trawlix";
  const char earlierProgram[] = "the earlier program";
  const std::vector<std::string> userData = WriteUserData(installation, earlierProgram);
  // Room for the archive's copy, every entry before the main program (in the
  // archive's order) and half of the main program, in whole pages.
  const uint64_t kPage = 4096;
  auto pages = [&](uint64_t bytes) { return (bytes + kPage - 1) / kPage * kPage; };
  const std::string packed = std::filesystem::path(TWX_PACKED_DIR).string(), programName = NamePart(ProgramPath(""));
  uint64_t room = pages(std::filesystem::file_size(TWX_PAYLOAD_VHZ)), program = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(packed)) {
    const std::string name = entry.path().string().substr(packed.size() + 1);
    if (entry.is_regular_file() && name == programName) program = entry.file_size();
    if (entry.is_regular_file() && name < programName) room += pages(entry.file_size());
  }
  ASSERT_GT(program, 8 * kPage);
  room += pages(program / 2);
  ULARGE_INTEGER available = {};
  ASSERT_TRUE(GetDiskFreeSpaceExA("E:\\", &available, nullptr, nullptr));
  ASSERT_GT(available.QuadPart, room);
  ASSERT_TRUE(twxtest::WriteWholeFile("E:\\filler.bin", std::string(available.QuadPart - room, 'f')));

  const std::vector<std::string> before = twxtest::ListFolder(installation);
  HWND dialog = ToDestination(installation);
  ASSERT_NE(dialog, nullptr);
  robot::ClickButton(dialog, IDC_INSTALL);
  const std::string question = Answer(kShortTitle, IDNO, "low-space");
  EXPECT_NE(question.find("at least 16MB)"), std::string::npos) << question;
  EXPECT_TRUE(IsWindowEnabled(dialog));
  EXPECT_EQ(twxtest::ListFolder(installation), before) << "No writes nothing";
  robot::ClickButton(dialog, IDC_INSTALL);
  Answer(kShortTitle, IDYES);
  ExpectExtractionFailed(false);
  EXPECT_TRUE(IsExistingFile(LicencePath(installation))) << "the entries before the program were written";
  EXPECT_FALSE(IsExistingFile(UninstallerPath(installation))) << "the extraction stopped at the program";
  const std::string installed = ReadWholeFileOr(ProgramPath(installation), "<none>");
  EXPECT_TRUE(installed == earlierProgram) << "the main program is not the earlier one but " << installed.size()
                                         << " bytes";
  ExpectUserData(installation, userData, false);
}

// ctest registers the scenarios it reads from this file (CMakeLists.txt here);
// the program's own list must hold nothing that reading missed.
TEST(ScenarioList, EveryScenarioIsRegistered) {
  const char* names = std::getenv("TWX_SCENARIOS");  // set by ctest
  const std::string registered = " " + std::string(names ? names : "") + " ";
  const ::testing::UnitTest& program = *::testing::UnitTest::GetInstance();
  int scenarios = 0;
  for (int i = 0; i < program.total_test_suite_count(); ++i) {
    const ::testing::TestSuite& suite = *program.GetTestSuite(i);
    if (std::string(suite.name()) != "SetupScenario") continue;
    for (int j = 0; j < suite.total_test_count(); ++j, ++scenarios) {
      const std::string name = suite.GetTestInfo(j)->name();
      EXPECT_NE(registered.find(" " + name + " "), std::string::npos) << name << " is not registered";
    }
  }
  EXPECT_GT(scenarios, 0);
}

}  // namespace
