#include "ShellLinks.h"

#include <objidl.h>
#include <shlobj.h>

#include "FileUtils.h"
#include "Global.h"

std::string ProgramsFolder;
std::string DesktopFolder;

namespace {

// The shell publishes these; spelled out here so that nothing but ole32 and
// shell32 is needed to reach the shell-link object.
const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::string SpecialFolderPath(int folderId) {
  std::string path;
  LPITEMIDLIST items = nullptr;
  if (SHGetSpecialFolderLocation(nullptr, folderId, &items) >= 0) {
    char buffer[MAX_PATH];
    if (SHGetPathFromIDListA(items, buffer)) path = buffer;
    CoTaskMemFree(items);
  }
  return path;
}

void NotifyFolderChanged(const std::string& folder) {
  SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHA, folder.c_str(), nullptr);
}

int ProgramsFolderIdFor(DWORD platformId, bool administrator) {
  return platformId == VER_PLATFORM_WIN32_NT && administrator ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS;
}

}  // namespace

bool IsAdministrator() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
  if (!manager) return false;
  CloseServiceHandle(manager);
  return true;
}

void LocateShellFolders() {
  // Before the probes: OsVersion is not known yet.
  const OSVERSIONINFOA version = QueryWindowsVersion();
  // The administrator test is asked only on the NT family, where it means something.
  const bool administrator = version.dwPlatformId == VER_PLATFORM_WIN32_NT && IsAdministrator();
  ProgramsFolder = SpecialFolderPath(ProgramsFolderIdFor(version.dwPlatformId, administrator));
  // The desktop is the user's own, also for an administrator.
  DesktopFolder = SpecialFolderPath(CSIDL_DESKTOP);
}

bool CreateShellShortcut(const std::string& target, const std::string& folder, const std::string& name,
                         bool notify, WORD hotKey) {
  if (FAILED(CoInitialize(nullptr))) return false;
  bool saved = false;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    link->SetPath(target.c_str());
    link->SetDescription(name.c_str());
    link->SetWorkingDirectory(ShortcutWorkingFolder(target).c_str());
    if (hotKey != 0) link->SetHotkey(hotKey);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&file)))) {
      const std::string fileName = folder + "\\" + name + ".lnk";
      WCHAR wideName[MAX_PATH];
      if (MultiByteToWideChar(CP_ACP, 0, fileName.c_str(), -1, wideName, MAX_PATH) > 0) {
        // Deleted first, so that a failing save leaves no stale shortcut behind.
        DeleteFileA(fileName.c_str());
        if (notify) NotifyFolderChanged(folder);
        saved = SUCCEEDED(file->Save(wideName, TRUE));
      }
      file->Release();
      if (notify) NotifyFolderChanged(folder);
    }
    link->Release();
  }
  CoUninitialize();
  return saved;
}

bool AddGroupShortcut(const std::string& group, const std::string& name, const std::string& target, WORD hotKey) {
  if (ProgramsFolder.empty()) return false;
  const std::string folder = group.empty() ? ProgramsFolder : ProgramsFolder + "\\" + group;
  return CreateShellShortcut(target, folder, name, true, hotKey);
}

bool AddDesktopShortcut(const std::string& name, const std::string& target, WORD hotKey) {
  if (DesktopFolder.empty()) return false;
  return CreateShellShortcut(target, DesktopFolder, name, false, hotKey);
}

bool CreateGroupFolder(const std::string& group) {
  if (ProgramsFolder.empty()) return false;
  return CreateDirectoryA((ProgramsFolder + "\\" + group).c_str(), nullptr) != 0;
}

void ClearGroupShortcuts(const std::string& group) {
  if (ProgramsFolder.empty()) return;
  const std::string folder = ProgramsFolder + "\\" + group;
  std::vector<TFolderMember> members;
  ListFolder(folder, &members);
  for (const TFolderMember& member : members)
    if (EndsWithNoCase(member.name, ".lnk")) DeleteFileA((folder + "\\" + member.name).c_str());
}
