#include "ScenarioChecks.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "AccessTrace.h"
#include "FileUtils.h"
#include "PostSetLogic.h"
#include "Product.h"
#include "ShellLinks.h"
#include "VhUnZip.h"

namespace scenario {

using twxtest::ReadRegString;
using twxtest::ReadWholeFileOr;

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
  return lines;
}

std::string Hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

const char kProgramsFolder[] = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
std::string GroupShortcut(const std::string& name) { return ShortcutPath(GroupFolderPath(kProgramsFolder), name); }
std::string DesktopShortcut() { return ShortcutPath(std::string(std::getenv("USERPROFILE")) + "\\Desktop", kProductName); }

std::string InstalledHelper() {
  const std::string quoted = ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
  return quoted.size() < 2 ? "" : quoted.substr(1, quoted.size() - 2);
}

void ExpectInstalled(const std::string& destination, WORD hotKey, bool desktop, bool association, TCaller caller) {
  const testing::ScopedTrace trace(caller.file, caller.line, "");
  const std::string program = ProgramPath(destination);
  for (const std::string made : twxtest::kPatchedPrograms)
    EXPECT_TRUE(ReadWholeFileOr(destination + "\\" + made, "") == ReadWholeFileOr(twxtest::PatchSourcePath(made), "-"))
        << made << " is the program its patch makes";
  EXPECT_FALSE(IsExistingFile(destination + "\\" + kTemporaryArchiveName));
  // The first document filter loads, its engine beside it: the filters stay.
  EXPECT_EQ(ReadWholeFileOr(SettingsPath(destination), "").find("Outdated Platform"), std::string::npos);
  EXPECT_TRUE(IsExistingFile(destination + "\\Filters\\Textor.dll"));
  EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + UninstallerPath(destination) + "\"");
  // Where the values really are: a 32-bit setup's machine-wide keys lie in
  // the 32-bit view of the registry.
  const std::string realKey = sizeof(void*) == 4 ? "SOFTWARE\\WOW6432Node" + std::string(kUninstallKey).substr(8)
                                                 : std::string(kUninstallKey);
  EXPECT_TRUE(twxtest::RegKeyExists(HKEY_LOCAL_MACHINE, realKey, KEY_WOW64_64KEY)) << realKey;
  EXPECT_TRUE(EndsWithNoCase(InstalledHelper(), HelperPath(kMakerFolder))) << InstalledHelper();
  EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kQueryFolderExtension, ""), association ? kQueryFolderType : "");
  EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, std::string(kQueryFolderType) + "\\shell\\open\\command", ""),
            association ? "\"" + program + "\" \"%1\"" : "");
  EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kExtensionKey, "Exec"), program) << "the browser button";
  const std::pair<std::string, std::string> kShortcuts[] = {
      {GroupShortcut(kProgramShortcutName), kProgramShortcutName}, {DesktopShortcut(), kProductName}};
  for (const auto& shortcut : kShortcuts) {
    SCOPED_TRACE(shortcut.first);
    const twxtest::TLinkInfo link = twxtest::ReadLink(shortcut.first);
    EXPECT_EQ(link.loaded, desktop || &shortcut == kShortcuts);
    if (!link.loaded) continue;
    EXPECT_EQ(UpperAscii(link.target), UpperAscii(program));
    EXPECT_EQ(UpperAscii(link.workingFolder), UpperAscii(destination));
    EXPECT_EQ(link.description, shortcut.second);
    EXPECT_EQ(link.hotKey, hotKey);
    // The word other readers take the hot-key from: offset 0x40 of the file.
    const std::string bytes = ReadWholeFileOr(shortcut.first, "");
    EXPECT_EQ(bytes.size() > 0x41 ? static_cast<uint8_t>(bytes[0x40]) | static_cast<uint8_t>(bytes[0x41]) << 8 : -1, hotKey);
  }
}

void ExpectNothingInstalled(const std::string& folder, bool uninstall, TCaller caller) {
  const testing::ScopedTrace trace(caller.file, caller.line, "");
  if (uninstall) {
    twxtest::TProgram uninstaller;
    ASSERT_TRUE(uninstaller.Start(UninstallerPath(folder), "/S"));
    EXPECT_EQ(uninstaller.WaitForExit(kScreenWait), 0u);
    twxtest::WaitUntil([&] { return !IsExistingFolder(folder); }, kWorkWait, "the uninstalled folder to go");
  }
  EXPECT_FALSE(IsExistingFolder(folder)) << folder;
  EXPECT_FALSE(twxtest::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(IsExistingFolder(GroupFolderPath(kProgramsFolder)));
  EXPECT_FALSE(IsExistingFile(DesktopShortcut()));
  EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue), "");
  EXPECT_FALSE(twxtest::RegKeyExists(HKEY_LOCAL_MACHINE, kExtensionKey));
  EXPECT_FALSE(twxtest::RegKeyExists(HKEY_CLASSES_ROOT, kQueryFolderType));
}

std::vector<std::string> WriteUserData(const std::string& folder, const char* earlierProgram) {
  MakeFolderPath(folder);
  if (earlierProgram) {
    EXPECT_TRUE(twxtest::WriteWholeFile(ProgramPath(folder), earlierProgram));
    EXPECT_TRUE(twxtest::WriteRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                                        "\"" + UninstallerPath(folder) + "\""));
  }
  std::vector<std::string> userData;
  for (const TCustomFileToSave& file : CustomFiles) {
    userData.push_back(file.Header + "\r\nSET=Search In Entire Web\r\nthe user's own lines\r\n");
    MakeFolderPath(ParentPart(folder + "\\" + file.FileName));
    EXPECT_TRUE(twxtest::WriteWholeFile(folder + "\\" + file.FileName, userData.back()));
  }
  return userData;
}

void ExpectUserData(const std::string& folder, std::vector<std::string> userData, bool converted, TCaller caller) {
  const testing::ScopedTrace trace(caller.file, caller.line, "");
  if (converted) userData[2].replace(userData[2].find("Search In Entire Web"), 20, "Search in Web");  // the engine sets
  for (int i = 0; i < kCustomFileCount; ++i)
    EXPECT_EQ(ReadWholeFileOr(folder + "\\" + CustomFiles[i].FileName, ""), userData[i]) << CustomFiles[i].FileName;
}

namespace {

// Who may change what in an installation: only administrators its programs,
// libraries and the folders that hold them; every user its data. relative:
// inside the destination or the helper's folder, upper case.
enum TUse { kProgramUse, kDataUse, kWrittenFileUse };
const char* const kUseNames[] = {"program", "data", "a file users write"};
const DWORD kUsersWrite = FILE_WRITE_DATA | FILE_APPEND_DATA, kAccessControl = WRITE_DAC | WRITE_OWNER;
TUse UseOf(const std::string& relative) {
  if (relative == "TRAWLIX.INI" || relative == "QBOX.TMP") return kWrittenFileUse;
  const std::string first = relative.substr(0, relative.find('\\'));
  return first == "QUERIES" || first == "TWXDATA" || first == "LIBRARY" ? kDataUse : kProgramUse;
}
bool Fits(TUse use, DWORD rights) {
  if (use == kDataUse) return (rights & 0x000101FF) == 0x000101FF && !(rights & kAccessControl);
  if (use == kWrittenFileUse) return (rights & kUsersWrite) == kUsersWrite && !(rights & (DELETE | kAccessControl));
  const DWORD change = kUsersWrite | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | kAccessControl;
  return !(rights & change) && (rights & (FILE_READ_DATA | FILE_EXECUTE)) == (FILE_READ_DATA | FILE_EXECUTE);
}

twxtest::TOwnAccess Inherited(std::vector<std::pair<const char*, DWORD>> entries) {
  twxtest::TOwnAccess access;
  for (const auto& entry : entries)
    access.aces.push_back({entry.first, true, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, entry.second});
  return access;
}

}  // namespace

size_t AccessTraceLength() {
  const char* trace = std::getenv("TWX_ACCESS_TRACE");
  return trace ? ReadWholeFileOr(trace, "").size() : 0;
}

// What Everyone, Users and Authenticated Users may do with every file and
// folder, worked out from the access lists the setup asked for (Wine keeps
// none to read back). The folders above are as a drive's root is on Windows
// Vista and later, where Authenticated Users may change what is made below.
void ExpectOnlyDataWritable(const std::vector<std::string>& folders, size_t from,
                            const std::vector<std::string>& earlier, TCaller caller) {
  const testing::ScopedTrace trace(caller.file, caller.line, "");
  const char* file = std::getenv("TWX_ACCESS_TRACE");
  ASSERT_NE(file, nullptr) << "run_scenario keeps the server's trace when TWX_TRACE_ACCESS is set";
  twxtest::TAccessReplay replay;
  replay.own[twxtest::AccessKey(folders[0].substr(0, 2))] =
      Inherited({{"S-1-5-18", FILE_ALL_ACCESS}, {"S-1-5-32-544", FILE_ALL_ACCESS}, {"S-1-5-11", 0x001301BF},
                 {"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}});
  for (const std::string& folder : earlier) replay.own[twxtest::AccessKey(folder)] = Inherited({{"S-1-1-0", 0x000101FF}});
  std::istringstream lines(ReadWholeFileOr(file, "").substr(from));
  for (std::string line; std::getline(lines, line);) twxtest::Feed(&replay, line);
  EXPECT_EQ(replay.unplaced, std::vector<std::string>());
  std::string wrong;
  size_t objects = 0;
  for (const std::string& folder : folders) {
    std::vector<std::pair<std::string, bool>> found = {{folder, true}};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
      found.push_back({entry.path().string(), entry.is_directory()});
    for (const auto& object : found) {
      const TUse use = UseOf(UpperAscii(object.first.substr(std::min(object.first.size(), folder.size() + 1))));
      const DWORD rights = twxtest::Rights(replay, object.first, object.second, {"S-1-1-0", "S-1-5-32-545", "S-1-5-11"});
      if (!Fits(use, rights)) wrong += object.first + ": " + kUseNames[use] + ", users may " + Hex(rights) + "\n";
      ++objects;
    }
  }
  EXPECT_GT(objects, 25u);
  EXPECT_EQ(wrong, "");
}

// Its first pixel of ink (within the first maxX columns) is on the screen, and
// at its first black one the blue gradient shows through.
void ExpectDrawnAt(HMODULE setup, LPCSTR name, int x, int y, int maxX, TCaller caller) {
  const testing::ScopedTrace trace(caller.file, caller.line,
                                   IS_INTRESOURCE(name) ? std::to_string(LOWORD(name)) : std::string(name));
  HBITMAP bitmap = LoadBitmapA(setup, name);
  BITMAP info = {};
  ASSERT_TRUE(GetObjectA(bitmap, sizeof info, &info));
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  POINT ink = {-1, -1}, clear = {-1, -1};
  for (int py = 0; py < info.bmHeight; ++py)
    for (int px = 0; px < info.bmWidth && px < maxX; ++px) {
      POINT& first = GetPixel(memory, px, py) & 0xFFFFFF ? ink : clear;
      if (first.x < 0) first = {px, py};
    }
  const COLORREF own = GetPixel(memory, ink.x, ink.y), shown = GetPixel(screen, x + ink.x, y + ink.y),
                 through = GetPixel(screen, x + clear.x, y + clear.y);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(ink.x >= 0 && clear.x >= 0);
  EXPECT_EQ(shown, own);
  EXPECT_NE(through, RGB(0, 0, 0));
  EXPECT_GT(GetBValue(through), GetRValue(through));
}

}  // namespace scenario
