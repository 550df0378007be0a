#include "Uninstall.h"

#include <windows.h>

#include <vector>

#include "FileUtils.h"
#include "HelperInstance.h"
#include "Product.h"

namespace twx {

namespace {

// Everything the payload and the setup put into the installation folder. The
// whole product folders go, with what the user kept in them (queries, reports).
std::vector<std::string> ProductFiles(const std::string& destination) {
  const std::string program = ProgramPath(destination), tool = EngineSetToolPath(destination);
  return {program, tool, PayloadHelperPath(destination), LicencePath(destination), SettingsPath(destination),
          PatchPathOf(program), PatchPathOf(tool), TemporaryArchivePath(destination), destination + "\\renew.dat",
          destination + "\\renew.exe"};
}
std::vector<std::string> ProductFolders(const std::string& destination) {
  return {destination + "\\Filters", ParentPart(HelpProgramPath(destination)), LanguageFolderPath(destination),
          destination + "\\Queries", destination + "\\TWXData", ReportLibraryPath(destination)};
}

bool SamePath(const std::string& a, const std::string& b) {
  return UpperAscii(WithoutTrailingBackslashes(a)) == UpperAscii(WithoutTrailingBackslashes(b));
}

std::string ReadStringValue(HKEY root, const char* key, const char* value) {
  HKEY opened;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return "";
  char data[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH, type = 0;
  const LONG result = RegQueryValueExA(opened, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(opened);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
  return std::string(data, strnlen(data, size));
}

bool KeyExists(HKEY root, const std::string& key) {
  HKEY opened;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// RegDeleteKeyA removes only keys without subkeys; the file type has two levels.
void DeleteKeyTree(HKEY root, const std::string& key) {
  for (;;) {
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &opened) != ERROR_SUCCESS) return;
    char name[256];
    DWORD length = sizeof name;
    const LONG found = RegEnumKeyExA(opened, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(opened);
    if (found != ERROR_SUCCESS) break;
    const std::string child = key + "\\" + name;
    DeleteKeyTree(root, child);
    if (KeyExists(root, child)) return;  // could not be deleted: stop rather than loop
  }
  RegDeleteKeyA(root, key.c_str());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Deletes a file, read-only or not, trying for up to waitMs while it is in use.
bool DeleteFileWaiting(const std::string& path, DWORD waitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path.c_str()) || !Exists(path)) return true;
    if (GetTickCount() - start >= waitMs) return false;
    Sleep(100);
  }
}

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileWaiting(path, 0);
    return;
  }
  std::vector<TFolderMember> members;
  ListFolder(path, &members);
  for (const TFolderMember& member : members) RemoveTree(path + "\\" + member.name);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(path.c_str());
}

}  // namespace

std::string RegisteredInstallationFolder() {
  std::string command = ReadStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
  if (command.size() >= 2 && command.front() == '"') {
    const size_t close = command.find('"', 1);
    command = command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return command.empty() ? "" : ParentPart(command);
}

std::string SharedHelperFolder() {
  std::string common = ReadStringValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                       "CommonFilesDir");
  if (common.empty()) common = "C:";
  return SharedHelperFolderIn(common);
}

bool IsInstallationFolder(const std::string& destination) {
  if (destination.size() <= 3 || !IsExistingFolder(destination)) return false;  // "", "C:", "C:\"
  return IsExistingFile(ProgramPath(destination)) || SamePath(RegisteredInstallationFolder(), destination);
}

bool OwnsMachineEntries(const std::string& destination) {
  const std::string registered = RegisteredInstallationFolder();
  return registered.empty() || SamePath(registered, destination) || !IsExistingFile(ProgramPath(registered));
}

void RemoveRegistryEntries() {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kExtensionKey);
  HKEY run;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    RegDeleteValueA(run, kRunValue);
    RegCloseKey(run);
  }
  // The extension may meanwhile belong to another program: leave it to that one.
  if (UpperAscii(ReadStringValue(HKEY_CLASSES_ROOT, kQueryFolderExtension, nullptr)) == UpperAscii(kQueryFolderType))
    DeleteKeyTree(HKEY_CLASSES_ROOT, kQueryFolderExtension);
  DeleteKeyTree(HKEY_CLASSES_ROOT, kQueryFolderType);
}

void RemoveProgramGroup(const std::string& programsFolder) {
  if (programsFolder.empty()) return;
  const std::string group = GroupFolderPath(programsFolder);
  std::vector<TFolderMember> members;
  ListFolder(group, &members);
  for (const TFolderMember& member : members)
    if (EndsWithNoCase(member.name, ".lnk")) DeleteFileWaiting(group + "\\" + member.name, 0);
  RemoveDirectoryA(group.c_str());
}

void RemoveSearchBoxHelper(const std::string& helperFolder) {
  if (helperFolder.empty()) return;
  StopHelper(HelperInstancePath(helperFolder), 11000);
  // The helper's file stays in use until its process has quite ended.
  DeleteFileWaiting(HelperPath(helperFolder), 3000);
  RemoveDirectoryA(helperFolder.c_str());
}

bool RemoveProductFiles(const std::string& destination) {
  for (const std::string& file : ProductFiles(destination)) DeleteFileWaiting(file, 0);
  for (const std::string& folder : ProductFolders(destination)) RemoveTree(folder);
  // Last: while the uninstaller's first process ends, its file is still in use.
  DeleteFileWaiting(UninstallerPath(destination), 5000);
  RemoveDirectoryA(destination.c_str());
  return !Exists(destination);
}

bool Uninstall(const TUninstallPlaces& places) {
  if (OwnsMachineEntries(places.destination)) {
    RemoveSearchBoxHelper(places.helperFolder);
    RemoveRegistryEntries();
    RemoveProgramGroup(places.commonPrograms);
    RemoveProgramGroup(places.userPrograms);
    if (!places.desktop.empty()) DeleteFileWaiting(ShortcutPath(places.desktop, kProductName), 0);
  }
  return RemoveProductFiles(places.destination);
}

}  // namespace twx
