#include "PostSet.h"

#include <cstdint>

#include "FileUtils.h"
#include "Global.h"
#include "GlobalLogic.h"
#include "IEToolbarUnit.h"
#include "LittleEndian.h"
#include "Product.h"
#include "ShellLinks.h"
#include "SystemLibrary.h"
#include "WinNTFuncts.h"

namespace {

// Long enough for the screens to settle after the extraction.
const int kSettlingSteps = 100;
const DWORD kSettlingStepMs = 100;

// How long a running helper gets to quit before its copy is replaced anyway.
const int kHelperQuitPolls = 21;
const DWORD kHelperQuitPollMs = 500;

// The language file format the product reads contains this marker; the user's
// own files are named "... (Other).TWL".
const char kCodePageMarker[] = "CODEPAGE=";
const char kUserLanguageTag[] = "(OTHER)";

// A REG_SZ value stored, as Windows expects, with its terminating zero.
LONG SetStringValue(HKEY key, const char* name, const std::string& data) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
}

// Creates or opens subKey of root with the given rights and sets its unnamed
// value; false when the key could not be had.
bool SetDefaultValue(HKEY root, const std::string& subKey, REGSAM rights, const std::string& data) {
  HKEY key;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, rights, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  SetStringValue(key, nullptr, data);
  RegCloseKey(key);
  return true;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The window a running helper named in its instance file; null when the file
// cannot be read, is too short or names no window.
HWND HelperWindow(const std::string& instanceFile) {
  HANDLE file = CreateFileA(instanceFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  uint8_t bytes[4];
  DWORD read = 0;
  const BOOL ok = ReadFile(file, bytes, sizeof bytes, &read, nullptr);
  CloseHandle(file);
  if (!ok || read != sizeof bytes) return nullptr;
  // Window handles are 32-bit values on every Windows; 64-bit code sign-extends them.
  const uint32_t bits = GetU32(bytes);
  HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(bits)));
  return IsWindow(window) ? window : nullptr;
}

// A running helper holds its instance file open. Asks it to quit and gives it
// a while; the copy that follows fails harmlessly if it did not.
void StopRunningHelper(const std::string& instanceFile) {
  if (!IsExistingFile(instanceFile) || DeleteFileA(instanceFile.c_str())) return;
  HWND window = HelperWindow(instanceFile);
  if (!window) return;
  PostMessageA(window, WM_QUIT, 0, 0);
  for (int i = 0; i < kHelperQuitPolls; ++i) {
    Sleep(kHelperQuitPollMs);
    if (!IsExistingFile(instanceFile) || DeleteFileA(instanceFile.c_str())) return;
  }
}

// Replaces every shortcut of the "Trawlmark" program group with the four of
// this installation (program, help, report library, licence), pumping after
// each piece.
void CreateProgramGroup(const std::string& destination, TMessagePump pump) {
  ClearGroupShortcuts(kGroupName);
  Pump(pump);
  CreateGroupFolder(kGroupName);
  Pump(pump);
  AddGroupShortcut(kGroupName, kProgramShortcutName, ProgramPath(destination), 0);
  Pump(pump);
  AddGroupShortcut(kGroupName, kHelpShortcutName, HelpProgramPath(destination), 0);
  Pump(pump);
  // The product writes its reports there; it may exist from before.
  if (!CreateFolder(ReportLibraryPath(destination))) SetLastError(ERROR_SUCCESS);
  AddGroupShortcut(kGroupName, kReportLibraryShortcutName, ReportLibraryPath(destination), 0);
  Pump(pump);
  AddGroupShortcut(kGroupName, kLicenceShortcutName, LicencePath(destination), 0);
  Pump(pump);
}

// Lets every user write what the product writes at run time: its data
// folders and their contents, and the settings file (made when missing).
void ShareProductData(const std::string& destination) {
  for (const char* folder : kDataFolderNames) CreateSharedFolder(destination + "\\" + folder);
  CreateSharedFile(SettingsPath(destination));
}

// The product's name of the system's default language; "" when it has none.
std::string GetSystemLanguageName() { return LanguageNameOf(GetSystemDefaultLangID()); }

// Deletes the language files of the earlier format from destination's
// "Language" folder (the user's own "(Other)" files stay), pumping after each
// file found.
void PruneLanguageFiles(const std::string& destination, TMessagePump pump) {
  const std::string folder = LanguageFolderPath(destination) + "\\";
  std::vector<TFolderMember> members;
  ListFolder(LanguageFolderPath(destination), &members);
  for (const TFolderMember& member : members) {
    const std::string& name = member.name;
    if (!EndsWithNoCase(name, ".TWL")) continue;
    if (UpperAscii(name).find(kUserLanguageTag) == std::string::npos) {
      std::string contents;
      // A file that cannot be read is kept: better an old file than none.
      if (ReadFileToString(folder + name, &contents) && contents.find(kCodePageMarker) == std::string::npos)
        DeleteFileA((folder + name).c_str());
    }
    Pump(pump);
  }
}

}  // namespace

void WriteUninstallEntry(const std::string& destination) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  SetStringValue(key, "DisplayName", kProductName);
  // Quoted whole, so that a folder with blanks names one program.
  SetStringValue(key, "UninstallString", Quoted(UninstallerPath(destination)));
  RegCloseKey(key);
}

void InstallSearchBoxHelper(const std::string& destination, const std::string& sharedFolder) {
  const std::string payloadCopy = PayloadHelperPath(destination);
  if (IsXpOrLater(OsVersion.dwMajorVersion, OsVersion.dwMinorVersion)) {
    const std::string installed = HelperPath(sharedFolder);
    unsigned newMajor, newMinor, oldMajor, oldMinor;
    GetFileVersion(payloadCopy, &newMajor, &newMinor);
    GetFileVersion(installed, &oldMajor, &oldMinor);
    // Other products of the maker share the helper: never replace a newer one.
    const bool newer = IsNewerHelperVersion(newMajor, newMinor, oldMajor, oldMinor);
    if (newer) StopRunningHelper(HelperInstancePath(sharedFolder));
    // Every user's log-on starts the helper: only administrators may change
    // its folder, also one an earlier setup left open to everyone.
    if (newer || IsExistingFolder(sharedFolder)) CreateProgramFolder(sharedFolder);
    if (newer) CopyFileA(payloadCopy.c_str(), installed.c_str(), FALSE);
    // The helper, started by whoever logs on, writes its window into this file
    // and may neither create nor delete files in the folder.
    CreateSharedFile(HelperInstancePath(sharedFolder));
    HKEY run;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &run, nullptr) == ERROR_SUCCESS) {
      // The shared folder lies below "Common Files": unquoted, Windows would
      // try "C:\Program.exe" first, at every log-on.
      const std::string command = Quoted(installed);
      SetStringValue(run, kRunValue, command);
      RegCloseKey(run);
      WinExec(command.c_str(), SW_SHOWNORMAL);
    }
  }
  DeleteFileA(payloadCopy.c_str());
}

void SelectLanguage(const std::string& destination) {
  const std::string settings = SettingsPath(destination);
  char buffer[512];
  GetPrivateProfileStringA("Queries", "Language", "", buffer, sizeof buffer, settings.c_str());
  const std::string language = buffer;
  if (!language.empty() && IsExistingFile(LanguageFolderPath(destination) + "\\" + language + ".TWL")) return;
  const std::string fallback = GetSystemLanguageName();
  if (!fallback.empty()) WritePrivateProfileStringA("Queries", "Language", fallback.c_str(), settings.c_str());
}

void RegisterQueryFolderType(const std::string& destination) {
  if (!SetDefaultValue(HKEY_CLASSES_ROOT, kQueryFolderExtension, KEY_SET_VALUE, kQueryFolderType)) return;
  HKEY type;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kQueryFolderType, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &type, nullptr) != ERROR_SUCCESS)
    return;
  SetStringValue(type, nullptr, "Trawlix Query Folder");
  const std::string program = ProgramPath(destination);
  SetDefaultValue(type, "DefaultIcon", KEY_SET_VALUE, program + ",-204");
  SetDefaultValue(type, "shell\\open\\command", KEY_SET_VALUE, Quoted(program) + " " + Quoted("%1"));
  RegCloseKey(type);
}

bool CheckDocumentFilters(const std::string& destination) {
  // A filter that needs what this Windows lacks must not stop the setup with
  // the system's "cannot load" box. The filters' own libraries lie beside
  // them, where the setup's narrowed search would not look.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE filter = LoadLibraryWithItsFolder(destination + DocumentFilterFiles[0]);
  SetErrorMode(oldMode);
  if (filter) {
    FreeLibrary(filter);
    return true;
  }
  for (const char* file : DocumentFilterFiles) DeleteFileA((destination + file).c_str());
  WritePrivateProfileStringA("Options", "Outdated Platform", "1", SettingsPath(destination).c_str());
  return false;
}

bool RunPostInstall(const std::string& destination, TMessagePump pump) {
  for (int i = 0; i < kSettlingSteps; ++i) {
    Pump(pump);
    Sleep(kSettlingStepMs);
  }
  CreateProgramGroup(destination, pump);

  bool patched = true;
  WriteUninstallEntry(destination);
  const std::string program = ProgramPath(destination);
  InstallBrowserButton(program);
  Pump(pump);

  // All three patches take the payload's main program as their base, so the
  // main program is patched in place last.
  const std::string tool = EngineSetToolPath(destination), help = HelpProgramPath(destination);
  patched = ApplyPatch(program, tool, PatchPathOf(tool));
  Pump(pump);
  if (patched) patched = ApplyPatch(program, help, PatchPathOf(help));
  Pump(pump);
  if (patched) patched = ApplyPatch(program, program, PatchPathOf(program));
  DeleteFilePath(PatchPathOf(program));
  Pump(pump);

  // A user file that cannot be written back is no success, though the steps
  // after it run as after a failed patch; its save copy stays for the next run.
  const bool restored = RestoreCustomFiles(destination);
  Pump(pump);
  RemoveObsoleteFiles(destination, pump);
  CheckDocumentFilters(destination);
  Pump(pump);
  PruneLanguageFiles(destination, pump);
  SelectLanguage(destination);
  ShareProductData(destination);
  Pump(pump);
  InstallSearchBoxHelper(destination, SharedHelperFolder);
  Pump(pump);
  Pump(pump);
  return patched && restored;
}
