// The setup program: checks the machine, puts up the backdrop and the status
// window, runs the licence and destination dialogs, the three work steps and
// the finish dialog, then rolls the screens up and ends with exit code 0.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "Backdrop.h"
#include "Dialogs.h"
#include "FileUtils.h"
#include "Global.h"
#include "PayloadLocation.h"
#include "PostSet.h"
#include "Product.h"
#include "Setup.h"
#include "SetupLogic.h"
#include "ShellLinks.h"
#include "Sounds.h"
#include "SystemLibrary.h"
#include "TWXInstIds.h"
#include "Texts.h"
#include "VhUnZip.h"

std::string DestinationFolder;
HWND BackdropWindow = nullptr;
HWND StatusWindow = nullptr;
UINT_PTR AnimationRunning = 0;
UINT_PTR ProgressRunning = 0;
int CurrentMusicVolume = 0;
HFONT DestinationFieldFont = nullptr;
bool WorkRunning = false;

namespace {

struct TWindowSearch {
  const char* className;
  const char* titlePrefix;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  TWindowSearch* search = reinterpret_cast<TWindowSearch*>(data);
  char className[128], title[128];
  if (GetClassNameA(window, className, sizeof className) == 0) return TRUE;
  if (strcmp(className, search->className) != 0) return TRUE;
  GetWindowTextA(window, title, sizeof title);
  if (strncmp(title, search->titlePrefix, strlen(search->titlePrefix)) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// The common controls' library from the system folder, never a copy beside
// the setup; its initialisation is looked up, so it is no import. Without it
// the status window cannot be made and the setup goes on without it.
void InitCommonControlsAtRunTime() {
  typedef BOOL(WINAPI * PInitCommonControlsEx)(const INITCOMMONCONTROLSEX*);
  typedef void(WINAPI * PInitCommonControls)();
  HMODULE library = LoadSystemLibrary("comctl32.dll");
  const PInitCommonControlsEx initEx = LibraryFunction<PInitCommonControlsEx>(library, "InitCommonControlsEx");
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  if (initEx && initEx(&classes)) return;
  const PInitCommonControls init = LibraryFunction<PInitCommonControls>(library, "InitCommonControls");
  if (init) init();
}

// Start-up checks; false when the setup must end at once.
bool PassesChecks() {
  if (IsWindowsTooOld(OsVersion.dwPlatformId, OsVersion.dwMajorVersion, OsVersion.dwMinorVersion)) {
    MessageBoxA(nullptr, kMessageOldWindows, kSetupTitle, MB_OK | MB_ICONERROR);
    return false;
  }
  if (HWND other = FindTopLevelWindow(kBackdropClass, kSetupTitle)) {
    SetForegroundWindow(other);
    return false;
  }
  if (HWND product = FindTopLevelWindow(kProductWindowClass, kProductName)) {
    MessageBoxA(nullptr, kMessageProductRunning, kSetupTitle, MB_OK | MB_ICONWARNING);
    SetForegroundWindow(product);
    return false;
  }
  HDC screen = GetDC(nullptr);
  const int bitsPerPixel = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  if (IsLowColourDepth(bitsPerPixel))
    MessageBoxA(nullptr, kMessageLowColourDepth, kSetupTitle, MB_OK | MB_ICONINFORMATION);
  return true;
}

bool RunDialogs(bool xpDialogs) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LICENCE), BackdropWindow, LicenceDialogProc, 0) == 1 &&
         DialogBoxParamA(instance, MAKEINTRESOURCEA(DestinationDialogId(xpDialogs)), BackdropWindow,
                         DestinationDialogProc, 0) == 1;
}

// A log-off or shutdown while the work runs would end the setup half-way:
// the backdrop refuses it then, and from Windows Vista on the system shows the
// user why. Older systems lack the functions for the reason.
void HoldOffSessionEnd(bool hold) {
  typedef BOOL(WINAPI * PReasonCreate)(HWND, LPCWSTR);
  typedef BOOL(WINAPI * PReasonDestroy)(HWND);
  WorkRunning = hold;
  if (!BackdropWindow) return;
  HMODULE user = LoadSystemLibrary("user32.dll");
  if (!hold) {
    if (const PReasonDestroy destroy = LibraryFunction<PReasonDestroy>(user, "ShutdownBlockReasonDestroy"))
      destroy(BackdropWindow);
  } else if (const PReasonCreate create = LibraryFunction<PReasonCreate>(user, "ShutdownBlockReasonCreate")) {
    create(BackdropWindow, kSessionEndRefused);
  }
}

// The extraction step: the payload goes through the temporary archive file in
// the destination folder.
bool ExtractIntoDestination(const std::string& destination, TMessagePump pump) {
  return ExtractPayload(destination, TemporaryArchivePath(destination), pump);
}

// The three work steps; the first failure ends the chain and puts the user's
// data files back as they were (RunWorkSteps of the post-install logic).
bool RunWork() {
  HoldOffSessionEnd(true);
  const bool installed = RunWorkSteps(DestinationFolder, PumpMessages, ExtractIntoDestination, RunPostInstall);
  HoldOffSessionEnd(false);
  return installed;
}

void WaitForAnimations() {
  const DWORD start = GetTickCount();
  while (KeepsWaiting(AnimationRunning != 0, ProgressRunning != 0, start, GetTickCount())) PumpMessages();
  Sleep(1000);
}

// The music fades out over the 80 steps also when there is no backdrop to roll up.
void RollUpBackdrop(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top + 1;
  for (int n = kRollUpSteps - 1; n >= 0; --n) {
    if (window) SetWindowPos(window, nullptr, 0, 0, width, RollUpHeight(height, n), SWP_NOMOVE | SWP_NOZORDER);
    SetMidiVolume(RollUpVolumeWord(n, CurrentMusicVolume));
    Sleep(8);
  }
}

void CleanUp() {
  if (DestinationFieldFont) DeleteObject(DestinationFieldFont);
  if (StatusWindow) ShowWindow(StatusWindow, SW_HIDE);
  RollUpBackdrop(BackdropWindow);
  if (StatusWindow) SendMessageA(StatusWindow, WM_CLOSE, 0, 0);
  if (BackdropWindow) SendMessageA(BackdropWindow, WM_CLOSE, 0, 0);
  SendMusicCommand(kMusicCloseCommand, nullptr);
  if (!MusicFilePath.empty()) DeleteFileA(MusicFilePath.c_str());
  Sleep(1000);
  SetMidiVolume(kFullMidiVolume);
}

// An owned window stays above its owner; Wine lets the backdrop come up over
// the status window when a modal dialog ends, so it is put back on top
// (shown or hidden as it was).
void KeepStatusAboveBackdrop() {
  if (StatusWindow)
    SetWindowPos(StatusWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// A timer of a window that does not exist would never be handled: its flag
// stays 0, as for a timer that could not be started.
UINT_PTR StartTimer(HWND window, UINT_PTR id, UINT periodMs) {
  return window ? SetTimer(window, id, periodMs, nullptr) : 0;
}

void RunSetup() {
  if (!PassesChecks()) return;
  const bool xpDialogs = UsesXpDialogs(OsVersion.dwPlatformId, OsVersion.dwMajorVersion, OsVersion.dwMinorVersion);
  InitCommonControlsAtRunTime();
  BackdropWindow = CreateBackdropWindow(kSetupTitle);
  StatusWindow = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_STATUS), BackdropWindow,
                                    StatusDialogProc, 0);
  const bool proceed = RunDialogs(xpDialogs);
  DestinationFolder = WithoutTrailingBackslashes(DestinationFolder);
  if (proceed) {
    KeepStatusAboveBackdrop();
    AnimationRunning = StartTimer(BackdropWindow, IDT_BACKDROP_CAPTIONS, 2000);
    ProgressRunning = StartTimer(StatusWindow, IDT_STATUS_PROGRESS, 300);
    const bool installed = RunWork();
    WaitForAnimations();
    SetForegroundWindow(BackdropWindow);
    KeepStatusAboveBackdrop();
    if (installed)
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(FinishDialogId(xpDialogs)), BackdropWindow,
                      FinishDialogProc, 0);
    else
      MessageBoxA(BackdropWindow, kMessageExtractionFailed, kShortTitle, MB_OK | MB_ICONERROR);
  }
  CleanUp();
}

}  // namespace

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void ConfirmExit(HWND dialog) {
  if (MessageBoxA(dialog, kQuestionExit, kExitTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
    EndDialog(dialog, 0);
}

HWND FindTopLevelWindow(const char* className, const char* titlePrefix) {
  TWindowSearch search = {className, titlePrefix, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a library on the setup's behalf.
  RestrictLibrarySearchToSystem();

  // Start-up steps, in this order; their values are read-only afterwards.
  LocateShellFolders();
  ProbeEnvironment();
  StartSounds();
  PreparePayloadMarker();

  RunSetup();
  EndSounds();
  return 0;
}
