#include "SelDir.h"

#include <cstdlib>
#include <vector>

#include "FileUtils.h"
#include "SelDirLogic.h"
#include "SystemLibrary.h"

namespace {

// One dialog at a time: the state lives from BrowseForFolder's call to its
// return; the result path keeps its value until the next call.
HWND gDialog = nullptr;
HICON gClosedFolderIcon = nullptr, gDestinationIcon = nullptr, gOpenFolderIcon = nullptr;
TFolderList gFolderList;
int gSelectedDrive = -1;
std::string gSubfolder;
std::string gCaption;
std::string gResultPath;

typedef DWORD(WINAPI* PWNetGetConnectionA)(LPCSTR localName, LPSTR remoteName, LPDWORD length);

HICON LoadListIcon(int id) {
  // Shared: the system owns them, nothing is destroyed when the dialog ends.
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0,
                                       LR_SHARED));
}

uint32_t LookUpFolder(const std::string& pattern, void*) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError();
  FindClose(search);
  return kLookupFound;
}

std::vector<TFolderEntry> FolderEntries(const std::string& folder) {
  std::vector<TFolderMember> members;
  ListFolder(folder, &members);
  std::vector<TFolderEntry> entries;
  for (const TFolderMember& member : members) entries.push_back({member.name, member.attributes});
  return entries;
}

// path + "\" + the subfolder of the last BrowseForFolder call, unless the
// path's last component already is that name.
std::string AppendSubfolder(const std::string& path) { return AppendSubfolderName(path, gSubfolder); }

// The full path of text (GetFullPathNameA) with every run of backslashes made
// one; empty when the system cannot make it full.
std::string NormalizePath(const std::string& text) {
  std::vector<char> buffer(text.size() + MAX_PATH);
  const DWORD length = GetFullPathNameA(text.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length == 0 || length >= buffer.size()) return std::string();
  return CollapseBackslashes(std::string(buffer.data(), length));
}

std::string ControlText(int id) {
  char buffer[MAX_PATH];
  const UINT length = GetDlgItemTextA(gDialog, id, buffer, sizeof buffer);
  return std::string(buffer, length);
}

// The text of item index of a list box or combo box (the two message numbers
// tell which); empty when there is no such item.
std::string ItemText(HWND control, UINT lengthMessage, UINT textMessage, LRESULT index) {
  if (index < 0) return std::string();
  const LRESULT length = SendMessageA(control, lengthMessage, static_cast<WPARAM>(index), 0);
  if (length <= 0) return std::string();
  std::vector<char> text(static_cast<size_t>(length) + 1);
  const LRESULT got =
      SendMessageA(control, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  return got > 0 ? std::string(text.data(), static_cast<size_t>(got)) : std::string();
}

void FillFolderList(const std::string& path) {
  gFolderList = BuildFolderList(path, gSubfolder, FolderEntries(WithoutOneTrailingBackslash(path)));
  HWND list = GetDlgItem(gDialog, IDC_SELDIR_FOLDERS);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const TFolderItem& item : gFolderList.items) {
    // Inserted at the end, so the template's sorted style does not reorder them.
    const LRESULT index = SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(item.text.c_str()));
    SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(item.indent));
  }
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(gFolderList.currentLevel), 0);
  SendDlgItemMessageA(gDialog, IDC_SELDIR_LABEL, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(gFolderList.label.c_str()));
}

std::string DriveLabel(UINT type, char letter, HMODULE* mpr) {
  char text[MAX_PATH] = "";
  if (type == DRIVE_FIXED) {
    const char root[] = {letter, ':', '\\', '\0'};
    if (!GetVolumeInformationA(root, text, sizeof text, nullptr, nullptr, nullptr, nullptr, 0)) text[0] = '\0';
  } else if (type == DRIVE_REMOTE) {
    // The network library is loaded only when a network drive is listed.
    if (!*mpr) *mpr = LoadSystemLibrary("mpr.dll");
    const PWNetGetConnectionA getConnection = LibraryFunction<PWNetGetConnectionA>(*mpr, "WNetGetConnectionA");
    const char drive[] = {letter, ':', '\0'};
    DWORD length = sizeof text;
    if (!getConnection || getConnection(drive, text, &length) != NO_ERROR) text[0] = '\0';
  }
  return text;
}

void FillDriveList(const std::string& path) {
  HWND drives = GetDlgItem(gDialog, IDC_SELDIR_DRIVES);
  HMODULE mpr = nullptr;
  const char current = path.empty() ? '\0' : UpperAsciiLetter(path[0]);
  // A: and B: are left out: asking a floppy drive without a disk is slow.
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    const UINT type = GetDriveTypeA(root);
    int icon;
    switch (type) {
      case DRIVE_REMOVABLE: icon = IDI_FLOPPY_DRIVE; break;
      case DRIVE_FIXED: icon = IDI_HARD_DISK; break;
      case DRIVE_REMOTE: icon = IDI_NETWORK_DRIVE; break;
      case DRIVE_CDROM: icon = IDI_CD_DRIVE; break;
      case DRIVE_RAMDISK: icon = IDI_HARD_DISK; break;
      default: continue;
    }
    const std::string text = std::string(1, letter) + ": " + DriveLabel(type, letter, &mpr);
    const LRESULT index = SendMessageA(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(drives, CB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(LoadListIcon(icon)));
    if (letter == current) {
      gSelectedDrive = static_cast<int>(index);
      SendMessageA(drives, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
  }
  if (mpr) FreeLibrary(mpr);
}

void InitDialog(HWND dialog, const char* initialPath) {
  gDialog = dialog;
  gSelectedDrive = -1;
  char current[MAX_PATH] = "";
  const DWORD length = GetCurrentDirectoryA(sizeof current, current);
  const std::string path = ExistingStartFolder(NormalizePath(initialPath ? initialPath : ""), LookUpFolder, nullptr,
                                               std::string(current, length < sizeof current ? length : 0));
  gOpenFolderIcon = LoadListIcon(IDI_OPEN_FOLDER);
  gDestinationIcon = LoadListIcon(IDI_DESTINATION);
  gClosedFolderIcon = LoadListIcon(IDI_CLOSED_FOLDER);
  SetDlgItemTextA(dialog, IDC_SELDIR_PATH, path.c_str());
  FillDriveList(path);
  FillFolderList(path);
}

void DrawListItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  if (item.itemID == static_cast<UINT>(-1)) {
    DrawFocusRect(dc, &item.rcItem);
    return;
  }
  // Only the list that has the focus shows its selection highlighted.
  const bool highlighted = (item.itemState & ODS_SELECTED) && (item.itemState & ODS_FOCUS);
  COLORREF oldText = 0, oldBack = 0;
  if (highlighted) {
    oldText = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    oldBack = SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
  }
  HBRUSH brush = CreateSolidBrush(GetBkColor(dc));
  FillRect(dc, &item.rcItem, brush);
  DeleteObject(brush);

  int x;
  HICON icon;
  std::string text;
  if (item.CtlID == static_cast<UINT>(IDC_SELDIR_FOLDERS)) {
    // Indented by level; open folders down to the one shown, closed ones below.
    const int data = static_cast<int>(static_cast<LONG_PTR>(item.itemData));
    x = item.rcItem.left + std::abs(data) + 2;
    icon = data < 0 ? gDestinationIcon
                    : static_cast<int>(item.itemID) <= gFolderList.currentLevel ? gOpenFolderIcon : gClosedFolderIcon;
    text = ItemText(item.hwndItem, LB_GETTEXTLEN, LB_GETTEXT, item.itemID);
  } else {
    x = item.rcItem.left + 2;
    icon = reinterpret_cast<HICON>(item.itemData);
    text = ItemText(item.hwndItem, CB_GETLBTEXTLEN, CB_GETLBTEXT, item.itemID);
  }
  DrawIconEx(dc, x, item.rcItem.top, icon, 0, 0, 0, nullptr, DI_NORMAL);
  x += 20;
  RECT textRect = item.rcItem;
  textRect.left = x;
  ExtTextOutA(dc, x, item.rcItem.top, ETO_OPAQUE, &textRect, text.c_str(), static_cast<UINT>(text.size()), nullptr);
  if (highlighted) {
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
  }
}

void OpenSelectedFolder() {
  const int selected = static_cast<int>(SendDlgItemMessageA(gDialog, IDC_SELDIR_FOLDERS, LB_GETCURSEL, 0, 0));
  const std::string path = SelectedFolderPath(gFolderList, selected);
  if (path.empty()) return;
  SetDlgItemTextA(gDialog, IDC_SELDIR_PATH, path.c_str());
  FillFolderList(path);
}

void ChooseDrive() {
  HWND drives = GetDlgItem(gDialog, IDC_SELDIR_DRIVES);
  const LRESULT index = SendMessageA(drives, CB_GETCURSEL, 0, 0);
  const std::string text = ItemText(drives, CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
  const std::string root = text.substr(0, 2) + "\\";
  const uint32_t outcome = text.size() >= 2 ? LookUpFolder(root + "*.*", nullptr) : ERROR_INVALID_DRIVE;
  if (outcome != kLookupFound && outcome != kLookupFileNotFound) {
    // A drive without a medium cannot be chosen.
    SendMessageA(drives, CB_SETCURSEL, static_cast<WPARAM>(gSelectedDrive), 0);
    return;
  }
  SetDlgItemTextA(gDialog, IDC_SELDIR_PATH, root.c_str());
  gSelectedDrive = static_cast<int>(index);
  FillFolderList(root);
}

void Accept() {
  // Enter on a highlighted folder opens it rather than accepting the dialog.
  HWND list = GetDlgItem(gDialog, IDC_SELDIR_FOLDERS);
  if (GetFocus() == list && SendMessageA(list, LB_GETCURSEL, 0, 0) != gFolderList.currentLevel) {
    SendMessageA(gDialog, WM_COMMAND, MAKEWPARAM(IDC_SELDIR_FOLDERS, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    return;
  }
  const std::string text = ControlText(IDC_SELDIR_PATH);
  const std::string full = IsFullTypedPath(text) ? NormalizePath(text) : std::string();
  if (full.empty()) {
    MessageBoxA(gDialog, InvalidFolderMessage(text).c_str(), gCaption.c_str(), MB_ICONWARNING | MB_OK);
    return;
  }
  const std::string path = AcceptedFolder(full);
  uint32_t outcome = LookUpFolder(AppendSubfolder(path) + "\\*.*", nullptr);
  // Only asked, not created: the destination dialog creates the folder later.
  if (outcome == kLookupPathNotFound &&
      MessageBoxA(gDialog, MissingFolderQuestion(AppendSubfolder(path)).c_str(), gCaption.c_str(),
                  MB_ICONQUESTION | MB_YESNO) == IDYES)
    outcome = kLookupFound;
  if (outcome == kLookupPathNotFound) return;
  gResultPath = path;
  EndDialog(gDialog, 1);
}

BOOL OnCommand(int id, int notification) {
  if (id == IDCANCEL) {
    EndDialog(gDialog, 0);
  } else if (id == IDC_SELDIR_FOLDERS && notification == LBN_DBLCLK) {
    OpenSelectedFolder();
  } else if (id == IDC_SELDIR_DRIVES && notification == CBN_SELENDOK) {
    ChooseDrive();
  } else if (id == IDC_SELDIR_DRIVES && notification == CBN_SELENDCANCEL) {
    SendDlgItemMessageA(gDialog, IDC_SELDIR_DRIVES, CB_SETCURSEL, static_cast<WPARAM>(gSelectedDrive), 0);
  } else if (id == IDC_SELDIR_OK) {
    Accept();
  }
  return TRUE;
}

INT_PTR CALLBACK SelDirProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitDialog(dialog, reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 16;
      return TRUE;
    case WM_DRAWITEM:
      DrawListItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

std::string BrowseForFolder(HWND parent, const std::string& initialPath, const std::string& subfolder,
                            const std::string& caption) {
  gSubfolder = subfolder;
  gCaption = caption;
  gResultPath = initialPath;
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SELDIR), parent, SelDirProc,
                  reinterpret_cast<LPARAM>(initialPath.c_str()));
  gDialog = nullptr;
  return AppendSubfolder(gResultPath);
}
