#include "Dialogs.h"

#include "FileUtils.h"
#include "Global.h"
#include "PostSet.h"
#include "SelDir.h"
#include "Setup.h"
#include "SetupLogic.h"
#include "ShellLinks.h"
#include "Sounds.h"
#include "Texts.h"
#include "WinNTFuncts.h"

namespace {

// Controls of the licence (400), destination (200/201) and finish (500/501) dialogs.
const int kLicenceField = 401;
const int kInstallButton = 201, kCancelButton = 202, kBrowseButton = 203, kWelcomeText = 204;
const int kDestinationField = 206, kNotice = 219;
const int kDesktopBox = 204, kAssociationBox = 205, kHotKeyBox = 207, kFinishField = 208, kHotKeyList = 209;

// The size of the non-client metrics before Vista's padded border: every
// system since Windows 95 fills it.
const UINT kClassicNonClientMetricsSize = 340;
const int kNoticeHeight = 34;

int BlinkCounter = 0;
int FinishFullHeight = 0;

void SetLargeIcon(HWND dialog) {
  SendMessageA(dialog, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconA(GetModuleHandleA(nullptr), "MAINICON")));
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

void ResizeHeight(HWND window, int height) {
  RECT rect;
  GetWindowRect(window, &rect);
  SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

// ---------------------------------------------------------------- destination

void ShowDestination(HWND dialog) { SetDlgItemTextA(dialog, kDestinationField, DestinationFolder.c_str()); }

void SetFieldFont(HWND dialog) {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = kClassicNonClientMetricsSize;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kClassicNonClientMetricsSize, &metrics, 0)) return;
  metrics.lfMessageFont.lfHeight = -11;
  DestinationFieldFont = CreateFontIndirectA(&metrics.lfMessageFont);
  SendDlgItemMessageA(dialog, kDestinationField, WM_SETFONT, reinterpret_cast<WPARAM>(DestinationFieldFont), TRUE);
}

void ShowBrowserNotice(HWND dialog) {
  if (GetBrowserMajorVersion() >= 7) return;
  PlayResourceSound("HIGHERVERSIONOFWINDOWSREQUIRED");
  if (OsVersion.dwPlatformId >= VER_PLATFORM_WIN32_NT) SetDlgItemTextA(dialog, kNotice, kNoticeNewBrowserNt);
  ResizeHeight(dialog, WindowHeight(dialog) + kNoticeHeight);
  SetTimer(dialog, 1, 500, nullptr);
}

void InitDestinationDialog(HWND dialog) {
  SetLargeIcon(dialog);
  SetWindowTextA(dialog, kSetupTitle);
  SetFieldFont(dialog);
  SetDlgItemTextA(dialog, kWelcomeText, WelcomeText.c_str());
  ShowBrowserNotice(dialog);
  DestinationFolder = DefaultDestination;
  ShowDestination(dialog);
  // An upgrade goes where the earlier installation is.
  EnableWindow(GetDlgItem(dialog, kBrowseButton), !ExistingInstallation);
  CentreOnScreen(dialog);
}

void Browse(HWND dialog) {
  DestinationFolder =
      BrowsedDestination(BrowseForFolder(dialog, DestinationFolder, NamePart(DefaultDestination), kSetupTitle));
  ShowDestination(dialog);
}

void Install(HWND dialog) {
  if (FreeDiskSpaceMB(DestinationFolder) < kLowSpaceMB &&
      MessageBoxA(dialog, LowSpaceQuestion().c_str(), kShortTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  if (PrepareDestination(DestinationFolder).empty()) {
    MessageBoxA(dialog, FolderNotCreatedMessage(DestinationFolder).c_str(), kShortTitle, MB_OK | MB_ICONERROR);
    return;
  }
  if (SetTimer(dialog, 0, 20, nullptr))
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
  KillTimer(dialog, 0);
  EndDialog(dialog, 1);
  PlayResourceSound("WAIT");
}

void BlinkTick(HWND dialog) {
  const TBlinkStep step = BlinkStep(&BlinkCounter);
  ShowWindow(GetDlgItem(dialog, kNotice), step.show ? SW_SHOW : SW_HIDE);
  if (step.stop) KillTimer(dialog, 1);
}

// ---------------------------------------------------------------- finish

void InitFinishDialog(HWND dialog) {
  CheckDlgButton(dialog, kDesktopBox, BST_CHECKED);
  CheckDlgButton(dialog, kAssociationBox, BST_CHECKED);
  CheckDlgButton(dialog, kHotKeyBox, BST_CHECKED);
  SetWindowTextA(dialog, kFinishTitle);
  SetLargeIcon(dialog);
  SetDlgItemTextA(dialog, kFinishField, FinishText.c_str());
  for (int index = 0; index < kHotKeyChoices; ++index)
    SendDlgItemMessageA(dialog, kHotKeyList, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(HotKeyChoiceText(index).c_str()));
  SendDlgItemMessageA(dialog, kHotKeyList, CB_SETCURSEL, kPresetHotKeyIndex, 0);
  CentreOnScreen(dialog);
  if (!SetTimer(dialog, 0, 30, nullptr)) return;
  FinishFullHeight = WindowHeight(dialog);
  ResizeHeight(dialog, 0);
  EnableWindow(dialog, FALSE);
}

void UnrollTick(HWND dialog) {
  const int height = UnrollHeight(WindowHeight(dialog), FinishFullHeight);
  if (height >= 0) {
    ResizeHeight(dialog, height);
    return;
  }
  KillTimer(dialog, 0);
  EnableWindow(dialog, TRUE);
  SetFocus(GetDlgItem(dialog, IDOK));
  PlayResourceSound("FINISHED");
}

void ApplyFinishOptions(HWND dialog) {
  KillTimer(dialog, 0);
  const int index = static_cast<int>(SendDlgItemMessageA(dialog, kHotKeyList, CB_GETCURSEL, 0, 0));
  const WORD hotKey = FinishHotKey(IsDlgButtonChecked(dialog, kHotKeyBox) == BST_CHECKED, index);
  const std::string target = DestinationFolder + "\\Trawlix.exe";
  if (IsDlgButtonChecked(dialog, kDesktopBox) == BST_CHECKED) AddDesktopShortcut("Trawlmark", target, hotKey);
  // Always: the group's shortcut of this name gets the hot-key, or loses it.
  AddGroupShortcut("Trawlmark", "Trawlix", target, hotKey);
  if (IsDlgButtonChecked(dialog, kAssociationBox) == BST_CHECKED) RegisterQueryFolderType(DestinationFolder);
  EndDialog(dialog, 1);
}

}  // namespace

INT_PTR CALLBACK LicenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetLargeIcon(dialog);
      SetDlgItemTextA(dialog, kLicenceField, kLicenceText);
      CentreOnScreen(dialog);
      if (!SetTimer(dialog, 0, 300, nullptr)) StartBackgroundMusic();
      return TRUE;
    case WM_TIMER:
      // Once: the music and the status window follow the agreement onto the screen.
      KillTimer(dialog, 0);
      StartBackgroundMusic();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      UnselectOnFocus(dialog, wParam, kLicenceField);
      return TRUE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: InitDestinationDialog(dialog); return TRUE;
    case WM_TIMER:
      if (wParam == 0) CollapseTick(dialog);
      if (wParam == 1) BlinkTick(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == kInstallButton) Install(dialog);
      if (LOWORD(wParam) == kCancelButton) ConfirmExit(dialog);
      if (LOWORD(wParam) == kBrowseButton) Browse(dialog);
      UnselectOnFocus(dialog, wParam, kWelcomeText);
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
      if (LOWORD(wParam) == kHotKeyBox)
        EnableWindow(GetDlgItem(dialog, kHotKeyList), IsDlgButtonChecked(dialog, kHotKeyBox) == BST_CHECKED);
      if (LOWORD(wParam) == IDOK) ApplyFinishOptions(dialog);
      UnselectOnFocus(dialog, wParam, kFinishField);
      return TRUE;
    case WM_CLOSE: ApplyFinishOptions(dialog); return TRUE;
  }
  return FALSE;
}

void CentreOnScreen(HWND window) {
  RECT desktop, rect;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &rect);
  const TPlace place = CentredPlace(desktop.left, desktop.top, desktop.right, desktop.bottom,
                                    rect.right - rect.left, rect.bottom - rect.top);
  SetWindowPos(window, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

double FreeDiskSpaceMB(const std::string& path) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(DriveRootOf(path).c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    return -1.0;
  return FreeSpaceMB(sectorsPerCluster, bytesPerSector, freeClusters);
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void CreateFolderTree(const std::string& path) {
  if (path.empty()) return;
  const std::string folder = path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
  if (folder.size() < 3 || IsDirectory(folder)) return;
  const size_t separator = folder.find_last_of(":\\");
  const std::string parent = separator == std::string::npos ? "" : folder.substr(0, separator + 1);
  if (parent == folder) return;
  CreateFolderTree(parent);
  CreateDirectoryA(folder.c_str(), nullptr);
}

std::string PrepareDestination(const std::string& path) {
  CreateSharedFolder(path);
  CreateFolderTree(path);
  return IsDirectory(path) ? path : "";
}
