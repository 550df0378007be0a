#include "Dialogs.h"

#include "FileUtils.h"
#include "Global.h"
#include "PostSet.h"
#include "Product.h"
#include "SelDir.h"
#include "Setup.h"
#include "SetupLogic.h"
#include "ShellLinks.h"
#include "Sounds.h"
#include "TWXInstIds.h"
#include "Texts.h"
#include "WinNTFuncts.h"

namespace {

// The size of the non-client metrics before Vista's padded border: every
// system since Windows 95 fills it.
const UINT kClassicNonClientMetricsSize = 340;
const int kNoticeHeight = 34;

int BlinkCounter = 0;
int FinishFullHeight = 0;

void SetLargeIcon(HWND dialog) {
  SendMessageA(dialog, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconA(GetModuleHandleA(nullptr), TWX_RESOURCE_NAME(IDI_MAIN))));
}

// A read-only text is not shown highlighted when it takes the focus.
void UnselectOnFocus(HWND dialog, WPARAM wParam, int id) {
  if (LOWORD(wParam) == id && HIWORD(wParam) == EN_SETFOCUS)
    PostMessageA(GetDlgItem(dialog, id), EM_SETSEL, 0, 0);
}

int WindowHeight(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return rect.bottom - rect.top;
}

// The animations show the window at each step; made taller before it is
// shown, a dialog stays hidden until the dialog manager shows it where it
// was placed.
void ResizeHeight(HWND window, int height, UINT show = SWP_SHOWWINDOW) {
  RECT rect;
  GetWindowRect(window, &rect);
  SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, height, SWP_NOMOVE | SWP_NOZORDER | show);
}

// Centres the window on the desktop, 16 pixels higher; size and z-order stay.
void CentreOnScreen(HWND window) {
  RECT desktop, rect;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &rect);
  const TPlace place = CentredPlace(desktop.left, desktop.top, desktop.right, desktop.bottom,
                                    rect.right - rect.left, rect.bottom - rect.top);
  SetWindowPos(window, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Free megabytes on the drive named by the path's first two characters; -1.0
// when they cannot be read.
double FreeDiskSpaceMB(const std::string& path) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(DriveRootOf(path).c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    return -1.0;
  return FreeSpaceMB(sectorsPerCluster, bytesPerSector, freeClusters);
}

// The path when it is an existing folder afterwards, otherwise "".
std::string PrepareDestination(const std::string& path) {
  // Before anything is extracted: nothing written from here on may be
  // replaced by a user, also over an installation that was open to everyone.
  // Only where that fails is the folder made plainly.
  if (!CreateProgramFolder(path)) MakeFolderPath(path);
  return IsExistingFolder(path) ? path : "";
}

// ---------------------------------------------------------------- destination

void ShowDestination(HWND dialog) { SetDlgItemTextA(dialog, IDC_DESTINATION_FIELD, DestinationFolder.c_str()); }

void SetFieldFont(HWND dialog) {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = kClassicNonClientMetricsSize;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kClassicNonClientMetricsSize, &metrics, 0)) return;
  metrics.lfMessageFont.lfHeight = -11;
  DestinationFieldFont = CreateFontIndirectA(&metrics.lfMessageFont);
  SendDlgItemMessageA(dialog, IDC_DESTINATION_FIELD, WM_SETFONT, reinterpret_cast<WPARAM>(DestinationFieldFont), TRUE);
}

void ShowBrowserNotice(HWND dialog) {
  if (!ShowsBrowserNotice(GetBrowserMajorVersion())) return;
  PlayResourceSound(TWX_RESOURCE_NAME(CLIP_NEW_BROWSER));
  if (OsVersion.dwPlatformId >= VER_PLATFORM_WIN32_NT) SetDlgItemTextA(dialog, IDC_BROWSER_NOTICE, kNoticeNewBrowserNt);
  ResizeHeight(dialog, WindowHeight(dialog) + kNoticeHeight, 0);
  SetTimer(dialog, IDT_DESTINATION_BLINK, 500, nullptr);
}

void InitDestinationDialog(HWND dialog) {
  SetLargeIcon(dialog);
  SetWindowTextA(dialog, kSetupTitle);
  SetFieldFont(dialog);
  SetDlgItemTextA(dialog, IDC_WELCOME_TEXT, WelcomeText.c_str());
  ShowBrowserNotice(dialog);
  DestinationFolder = DefaultDestination;
  ShowDestination(dialog);
  // An upgrade goes where the earlier installation is.
  EnableWindow(GetDlgItem(dialog, IDC_BROWSE), !ExistingInstallation);
  CentreOnScreen(dialog);
}

void Browse(HWND dialog) {
  DestinationFolder =
      BrowsedDestination(BrowseForFolder(dialog, DestinationFolder, NamePart(DefaultDestination), kSetupTitle));
  ShowDestination(dialog);
}

void Install(HWND dialog) {
  if (IsLowSpace(FreeDiskSpaceMB(DestinationFolder)) &&
      MessageBoxA(dialog, LowSpaceQuestion().c_str(), kShortTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  if (PrepareDestination(DestinationFolder).empty()) {
    MessageBoxA(dialog, FolderNotCreatedMessage(DestinationFolder).c_str(), kShortTitle, MB_OK | MB_ICONERROR);
    return;
  }
  if (SetTimer(dialog, IDT_DESTINATION_COLLAPSE, 20, nullptr))
    EnableWindow(dialog, FALSE);
  else
    EndDialog(dialog, 1);
}

void CollapseTick(HWND dialog) {
  const int height = CollapseHeight(WindowHeight(dialog));
  if (height >= 0) {
    ResizeHeight(dialog, height);
    return;
  }
  KillTimer(dialog, IDT_DESTINATION_COLLAPSE);
  EndDialog(dialog, 1);
  PlayResourceSound(TWX_RESOURCE_NAME(CLIP_WAIT));
}

void BlinkTick(HWND dialog) {
  const TBlinkStep step = BlinkStep(&BlinkCounter);
  ShowWindow(GetDlgItem(dialog, IDC_BROWSER_NOTICE), step.show ? SW_SHOW : SW_HIDE);
  if (step.stop) KillTimer(dialog, IDT_DESTINATION_BLINK);
}

// ---------------------------------------------------------------- finish

void InitFinishDialog(HWND dialog) {
  CheckDlgButton(dialog, IDC_DESKTOP_BOX, BST_CHECKED);
  CheckDlgButton(dialog, IDC_ASSOCIATION_BOX, BST_CHECKED);
  CheckDlgButton(dialog, IDC_HOTKEY_BOX, BST_CHECKED);
  SetWindowTextA(dialog, kFinishTitle);
  SetLargeIcon(dialog);
  SetDlgItemTextA(dialog, IDC_FINISH_TEXT, FinishText.c_str());
  for (int index = 0; index < kHotKeyChoices; ++index)
    SendDlgItemMessageA(dialog, IDC_HOTKEY_LIST, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(HotKeyChoiceText(index).c_str()));
  SendDlgItemMessageA(dialog, IDC_HOTKEY_LIST, CB_SETCURSEL, kPresetHotKeyIndex, 0);
  CentreOnScreen(dialog);
  if (!SetTimer(dialog, IDT_FINISH_UNROLL, 30, nullptr)) return;
  // Disabled before it is shown: no input while it unrolls.
  EnableWindow(dialog, FALSE);
  FinishFullHeight = WindowHeight(dialog);
  ResizeHeight(dialog, 0);
}

void UnrollTick(HWND dialog) {
  const int height = UnrollHeight(WindowHeight(dialog), FinishFullHeight);
  if (height >= 0) {
    ResizeHeight(dialog, height);
    return;
  }
  KillTimer(dialog, IDT_FINISH_UNROLL);
  EnableWindow(dialog, TRUE);
  SetFocus(GetDlgItem(dialog, IDOK));
  PlayResourceSound(TWX_RESOURCE_NAME(CLIP_FINISHED));
}

void ApplyFinishOptions(HWND dialog) {
  KillTimer(dialog, IDT_FINISH_UNROLL);
  const int index = static_cast<int>(SendDlgItemMessageA(dialog, IDC_HOTKEY_LIST, CB_GETCURSEL, 0, 0));
  const WORD hotKey = FinishHotKey(IsDlgButtonChecked(dialog, IDC_HOTKEY_BOX) == BST_CHECKED, index);
  const std::string target = ProgramPath(DestinationFolder);
  if (IsDlgButtonChecked(dialog, IDC_DESKTOP_BOX) == BST_CHECKED) AddDesktopShortcut(kProductName, target, hotKey);
  // Always: the group's shortcut of this name gets the hot-key, or loses it.
  AddGroupShortcut(kGroupName, kProgramShortcutName, target, hotKey);
  if (IsDlgButtonChecked(dialog, IDC_ASSOCIATION_BOX) == BST_CHECKED) RegisterQueryFolderType(DestinationFolder);
  EndDialog(dialog, 1);
}

}  // namespace

INT_PTR CALLBACK LicenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetLargeIcon(dialog);
      SetDlgItemTextA(dialog, IDC_LICENCE_TEXT, kLicenceText);
      CentreOnScreen(dialog);
      if (!SetTimer(dialog, IDT_LICENCE_MUSIC, 300, nullptr)) StartBackgroundMusic();
      return TRUE;
    case WM_TIMER:
      // Once: the music and the status window follow the agreement onto the screen.
      KillTimer(dialog, IDT_LICENCE_MUSIC);
      StartBackgroundMusic();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      UnselectOnFocus(dialog, wParam, IDC_LICENCE_TEXT);
      return TRUE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: InitDestinationDialog(dialog); return TRUE;
    case WM_TIMER:
      if (wParam == IDT_DESTINATION_COLLAPSE) CollapseTick(dialog);
      if (wParam == IDT_DESTINATION_BLINK) BlinkTick(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_INSTALL) Install(dialog);
      if (LOWORD(wParam) == IDC_CANCEL_INSTALL) ConfirmExit(dialog);
      if (LOWORD(wParam) == IDC_BROWSE) Browse(dialog);
      UnselectOnFocus(dialog, wParam, IDC_WELCOME_TEXT);
      return TRUE;
    case WM_CLOSE: ConfirmExit(dialog); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK FinishDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: InitFinishDialog(dialog); return TRUE;
    case WM_TIMER: UnrollTick(dialog); return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_HOTKEY_BOX)
        EnableWindow(GetDlgItem(dialog, IDC_HOTKEY_LIST), IsDlgButtonChecked(dialog, IDC_HOTKEY_BOX) == BST_CHECKED);
      if (LOWORD(wParam) == IDOK) ApplyFinishOptions(dialog);
      UnselectOnFocus(dialog, wParam, IDC_FINISH_TEXT);
      return TRUE;
    case WM_CLOSE: ApplyFinishOptions(dialog); return TRUE;
  }
  return FALSE;
}
