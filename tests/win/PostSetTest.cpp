// The post-install steps and the start-up probes, where the setup's scenarios
// cannot see them, against a registry of the test's own (every root
// redirected into a scratch key, HKEY_USERS with made-up users).
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

#include "Global.h"
#include "HelperInstance.h"
#include "IEToolbarUnit.h"
#include "PostSet.h"
#include "Product.h"
#include "ShellLinks.h"
#include "SystemLibrary.h"
#include "TestSupport.h"

namespace {

using twxtest::ReadRegRaw;
using twxtest::WriteRegValue;

// The browser's places the button goes to.
const char kToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
const char kMappingKey[] = "Software\\Microsoft\\Internet Explorer\\Extensions\\CmdMapping";
const char kLayoutValue[] = "{1E796980-9CC5-11D1-A83F-00C04FC99D61}";
const char kWindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// A string as REG_SZ data is stored (with its terminating zero); a DWORD's bytes.
std::string Z(const std::string& text) { return text + std::string(1, '\0'); }
std::string Dword(uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

// Every value below key, subkeys included, as "key|name|type|data" lines.
std::string Snapshot(HKEY root, const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "";
  std::string text;
  char name[16384];
  BYTE data[65536];
  DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
  for (DWORD i = 0; RegEnumValueA(handle, i, name, &nameLength, nullptr, &type, data, &dataLength) == ERROR_SUCCESS;
       ++i, nameLength = sizeof name, dataLength = sizeof data)
    text += key + "|" + name + "|" + std::to_string(type) + "|" + std::string(reinterpret_cast<char*>(data), dataLength) + "\n";
  std::vector<std::string> subkeys;
  for (DWORD i = 0; RegEnumKeyA(handle, i, name, sizeof name) == ERROR_SUCCESS; ++i) subkeys.push_back(name);
  RegCloseKey(handle);
  for (const std::string& subkey : subkeys) text += Snapshot(root, key.empty() ? subkey : key + "\\" + subkey);
  return text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The registry as Windows keeps it where Wine is lenient. A REG_SZ is stored
// with exactly the bytes counted: Wine, like Windows NT, adds the terminating
// zero the caller forgot. And a key gives only the rights it was asked for:
// Wine grants more. The rights each key of the code under test was opened or
// created with are recorded; a call that needs another is denied, as on
// Windows, and listed.
struct TOpenKey {
  std::string name;
  REGSAM rights;
};
std::map<HKEY, TOpenKey> gKeys;
std::vector<std::string> gDenied;
decltype(&RegSetValueExA) gSetValue = nullptr;
decltype(&RegCreateKeyExA) gCreateKey = nullptr;
decltype(&RegOpenKeyExA) gOpenKey = nullptr;
decltype(&RegQueryValueExA) gQueryValue = nullptr;
decltype(&RegCloseKey) gCloseKey = nullptr;

bool Granted(HKEY key, REGSAM right, const char* call) {
  const auto found = gKeys.find(key);
  if (found == gKeys.end() || (found->second.rights & right) == right) return true;  // a root, or asked for
  gDenied.push_back(std::string(call) + " on " + found->second.name);
  return false;
}
LONG Opened(LONG result, HKEY parent, LPCSTR name, REGSAM rights, HKEY* key) {
  const auto found = gKeys.find(parent);
  if (result == ERROR_SUCCESS) gKeys[*key] = {(found == gKeys.end() ? "" : found->second.name + "\\") + name, rights};
  return result;
}
LONG WINAPI StoreCountedBytes(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD count) {
  if (!Granted(key, KEY_SET_VALUE, "RegSetValueExA")) return ERROR_ACCESS_DENIED;
  const std::string bytes = std::string(data ? reinterpret_cast<const char*>(data) : "", data ? count : 0) + "x";
  return gSetValue(key, name, reserved, type, reinterpret_cast<const BYTE*>(bytes.data()), count);
}
LONG WINAPI CreateKey(HKEY parent, LPCSTR name, DWORD reserved, LPSTR type, DWORD options, REGSAM rights,
                      SECURITY_ATTRIBUTES* security, HKEY* key, DWORD* disposition) {
  if (!Granted(parent, KEY_CREATE_SUB_KEY, "RegCreateKeyExA")) return ERROR_ACCESS_DENIED;
  return Opened(gCreateKey(parent, name, reserved, type, options, rights, security, key, disposition), parent, name,
                rights, key);
}
LONG WINAPI OpenKey(HKEY parent, LPCSTR name, DWORD options, REGSAM rights, HKEY* key) {
  return Opened(gOpenKey(parent, name, options, rights, key), parent, name, rights, key);
}
LONG WINAPI QueryValue(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
  return Granted(key, KEY_QUERY_VALUE, "RegQueryValueExA") ? gQueryValue(key, name, reserved, type, data, size)
                                                           : ERROR_ACCESS_DENIED;
}
LONG WINAPI CloseKey(HKEY key) {
  gKeys.erase(key);
  return gCloseKey(key);
}

struct THook {
  const char* name;
  void* replacement;
  void** original;
};
const THook kHooks[] = {
    {"RegSetValueExA", reinterpret_cast<void*>(StoreCountedBytes), reinterpret_cast<void**>(&gSetValue)},
    {"RegCreateKeyExA", reinterpret_cast<void*>(CreateKey), reinterpret_cast<void**>(&gCreateKey)},
    {"RegOpenKeyExA", reinterpret_cast<void*>(OpenKey), reinterpret_cast<void**>(&gOpenKey)},
    {"RegQueryValueExA", reinterpret_cast<void*>(QueryValue), reinterpret_cast<void**>(&gQueryValue)},
    {"RegCloseKey", reinterpret_cast<void*>(CloseKey), reinterpret_cast<void**>(&gCloseKey)}};

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox_.Active());
    for (const THook& hook : kHooks) {
      *hook.original = twxtest::ReplaceImport("advapi32.dll", hook.name, hook.replacement);
      ASSERT_NE(*hook.original, nullptr) << hook.name;
    }
  }
  void TearDown() override {
    for (const THook& hook : kHooks)
      if (*hook.original) twxtest::ReplaceImport("advapi32.dll", hook.name, *hook.original);
    EXPECT_EQ(gDenied, std::vector<std::string>()) << "rights a key was not asked for";
    gKeys.clear();
    gDenied.clear();
  }
  twxtest::RegistrySandbox sandbox_;
};

TEST_F(Registry, EveryStringTheSetupWritesIsStoredWithItsTerminatingZero) {
  WriteUninstallEntry("C:\\Program Files\\Old Place");
  WriteUninstallEntry("D:\\My Tools\\Trawl mark");
  EXPECT_EQ(Count(Snapshot(HKEY_LOCAL_MACHINE, kUninstallKey), "\n"), 2u) << "replaced whole";
  // A later setup's probe reads the browser's version with the rights it asked for.
  ASSERT_TRUE(WriteRegValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer", "Version", REG_SZ, Z("7.0")));
  EXPECT_EQ(GetBrowserMajorVersion(), 7);
  const std::string destination = "C:\\Program Files" + std::string(kProductFolder), exe = ProgramPath(destination);
  EXPECT_TRUE(RegisterBrowserExtension(exe));
  EXPECT_EQ(Count(Snapshot(HKEY_LOCAL_MACHINE, kExtensionKey), "|1|"), 8u) << "eight strings";
  // The extension is taken over; what else another program keeps there stays.
  const std::string type = kQueryFolderType, command = type + "\\shell\\open\\command";
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, kQueryFolderExtension, "", REG_SZ, Z("otherapp.document")));
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, kQueryFolderExtension, "Content Type", REG_SZ, Z("text/plain")));
  ASSERT_TRUE(WriteRegValue(HKEY_CLASSES_ROOT, command, "Keep", REG_SZ, Z("x")));
  RegisterQueryFolderType(destination);
  RegisterQueryFolderType(destination);
  const HKEY machine = HKEY_LOCAL_MACHINE, classes = HKEY_CLASSES_ROOT;
  const struct {
    HKEY root;
    std::string key;
    const char* value;
    std::string data;
  } kValues[] = {  // the browser's values as the prefix's Windows, XP or later, has them
      {machine, kUninstallKey, "DisplayName", kProductName},
      {machine, kUninstallKey, "UninstallString", "\"" + UninstallerPath("D:\\My Tools\\Trawl mark") + "\""},
      {machine, kExtensionKey, "ButtonText", "Trawlix"}, {machine, kExtensionKey, "Default Visible", "Yes"},
      {machine, kExtensionKey, "clsid", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"}, {machine, kExtensionKey, "Exec", exe},
      {machine, kExtensionKey, "HotIcon", exe + ",1004"}, {machine, kExtensionKey, "Icon", exe + ",1003"},
      {machine, kExtensionKey, "MenuStatusBar", "Runs Trawlmark"}, {machine, kExtensionKey, "MenuText", "Run Trawlix"},
      {classes, kQueryFolderExtension, "", type},
      {classes, kQueryFolderExtension, "Content Type", "text/plain"},
      {classes, type, "", "Trawlix Query Folder"},
      {classes, type + "\\DefaultIcon", "", exe + ",-204"},
      {classes, command, "", "\"" + exe + "\" \"%1\""},
      {classes, command, "Keep", "x"}};
  for (const auto& row : kValues)
    EXPECT_EQ(ReadRegRaw(row.root, row.key, row.value), Z(row.data)) << row.key << " " << row.value;
}

std::string Record(uint32_t marker, uint32_t command) {
  return Dword(marker) + std::string(16, '\x42') + Dword(command) + Dword(2);
}
std::string ProductRecord(uint32_t id) {
  const char group[] = "\x80\x69\x79\x1E\xC5\x9C\xD1\x11\xA8\x3F\x00\xC0\x4F\xC9\x9D\x61";
  return Dword(id) + std::string(group, 16) + Dword(id) + Dword(4);
}

TEST_F(Registry, TheButtonGoesToEveryLoadedUserWithAKnownLayoutButTheTemplate) {
  const std::string header = Dword(0x0C), r0 = Record(1, 101), r1 = Record(0xFFFFFFFFu, 102), r2 = Record(3, 103);
  // A user as the browser leaves him ("" is the current user); an expected
  // layout "" means the user stays exactly as he is.
  const struct TUser {
    std::string name, layout;
    DWORD layoutType;
    const char* mappingName;
    DWORD mappingType;
    uint32_t mapping;
    std::string expectedLayout;
    uint32_t expectedNextId;
  } users[] = {
      // A fresh identifier from NextId, the button after the first marked record.
      {"", header + r0 + r1 + r2, REG_BINARY, "NextId", REG_DWORD, 0x120, header + r0 + r1 + ProductRecord(0x120) + r2,
       0x121},
      // A user who had the product before (NextId 0x300 too): his identifier is reused.
      {"S-1-5-21-0-0-0-1000", header + r0 + r2, REG_BINARY, kExtensionGuid, REG_DWORD, 0x200,
       header + r0 + r2 + ProductRecord(0x200), 0x300},
      // A header-only layout and a NextId of another type.
      {"S-1-5-21-0-0-0-1001", header, REG_BINARY, "NextId", REG_BINARY, 7, header + ProductRecord(7), 8},
      {".DEFAULT", header + r0, REG_BINARY, "NextId", REG_DWORD, 0x50, "", 0},
      {"S-1-5-21-0-0-0-1003", header + r0 + "xy", REG_BINARY, "NextId", REG_DWORD, 9, "", 0},
      {"S-1-5-21-0-0-0-1004", header + r0, REG_SZ, "NextId", REG_DWORD, 9, "", 0},
      {"S-1-5-21-0-0-0-1006", "", 0, "NextId", REG_DWORD, 9, "", 0},
  };
  auto root = [](const TUser& user) { return user.name.empty() ? HKEY_CURRENT_USER : HKEY_USERS; };
  auto key = [](const TUser& user, const char* key) { return (user.name.empty() ? "" : user.name + "\\") + key; };
  std::vector<std::string> before;
  for (const TUser& user : users) {
    ASSERT_TRUE(!user.layoutType ||
                WriteRegValue(root(user), key(user, kToolbarKey), kLayoutValue, user.layoutType, user.layout));
    ASSERT_TRUE(!user.mappingName || WriteRegValue(root(user), key(user, kMappingKey), user.mappingName,
                                                   user.mappingType, Dword(user.mapping)));
    before.push_back(Snapshot(root(user), user.name));
  }
  ASSERT_TRUE(WriteRegValue(HKEY_USERS, key(users[1], kMappingKey), "NextId", REG_DWORD, Dword(0x300)));
  EXPECT_TRUE(InstallBrowserButton("C:\\Trawlix\\Trawlix.exe"));
  for (size_t i = 0; i < sizeof users / sizeof users[0]; ++i) {
    const TUser& user = users[i];
    SCOPED_TRACE(user.name);
    if (user.expectedLayout.empty()) {
      EXPECT_EQ(Snapshot(root(user), user.name), before[i]);
      continue;
    }
    EXPECT_EQ(ReadRegRaw(root(user), key(user, kToolbarKey), kLayoutValue), user.expectedLayout);
    EXPECT_EQ(ReadRegRaw(root(user), key(user, kMappingKey), kExtensionGuid), Dword(user.mapping));
    DWORD type = 0;
    EXPECT_EQ(ReadRegRaw(root(user), key(user, kMappingKey), "NextId", &type), Dword(user.expectedNextId));
    EXPECT_EQ(type, user.mappingType);
  }
}

// Where a first installation goes and the helper is shared, or the earlier
// installation, as the registry and the disk have them; every value that
// cannot be read, or is too long for its buffer, gives drive C:.
TEST_F(Registry, StartUpProbesFallBackToDriveCForEveryValueTheyCannotRead) {
  twxtest::TempFolder temp;
  const std::string earlier = temp.Join("Earlier"), quoted = "\"" + UninstallerPath(earlier) + "\"";
  MakeFolderPath(earlier);
  ASSERT_TRUE(twxtest::WriteWholeFile(ProgramPath(earlier), "the program"));
  // Doubled backslashes before "uninst.exe" still lead to the folder: a string of so many characters.
  const auto entry = [&](size_t length) {
    return "\"" + earlier + std::string(length - 13 - earlier.size(), '\\') + "\\uninst.exe\"";
  };
  const std::string p259(259, 'p'), c259(259, 'c');
  const struct {
    std::string programFiles, commonFiles, uninstall;  // "-": none
    std::string destination, helper;
  } kRows[] = {{"-", "-", "-", "C:\\VarnTech\\Trawlix", "C:\\VarnTech"},
               {"D:\\Progs", "E:\\Common", quoted, earlier, "E:\\Common\\VarnTech"},
               {"D:\\Progs", "E:\\Common", quoted.substr(1, quoted.size() - 2), earlier, "E:\\Common\\VarnTech"},
               {p259 + "p", c259, entry(261), "C:\\VarnTech\\Trawlix", c259 + "\\VarnTech"},
               {p259, c259 + "c", entry(260), earlier, "C:\\VarnTech"},
               // From here on the earlier folder has lost its program.
               {"D:\\Progs", "E:\\Common", quoted, "D:\\Progs\\VarnTech\\Trawlix", "E:\\Common\\VarnTech"},
               {p259, "-", entry(260), p259 + "\\VarnTech\\Trawlix", "C:\\VarnTech"}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(&row - kRows);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE");
    for (const auto& value : {std::make_tuple(kWindowsKey, "ProgramFilesDir", row.programFiles),
                              {kWindowsKey, "CommonFilesDir", row.commonFiles},
                              {kUninstallKey, "UninstallString", row.uninstall}})
      ASSERT_TRUE(std::get<2>(value) == "-" || twxtest::WriteRegString(HKEY_LOCAL_MACHINE, std::get<0>(value),
                                                                       std::get<1>(value), std::get<2>(value)));
    if (&row == kRows + 5) DeleteFileA(ProgramPath(earlier).c_str());
    ProbeEnvironment();
    EXPECT_EQ(DefaultDestination, row.destination);
    EXPECT_EQ(ExistingInstallation, row.destination == earlier);
    EXPECT_EQ(SharedHelperFolder, row.helper);
  }
}

TEST_F(Registry, TheStartUpStampsTheYearAsGreenwichHasIt) {
  WelcomeText = "(c) YYYY Varnholt";
  ProbeEnvironment();
  SYSTEMTIME now;
  GetSystemTime(&now);
  EXPECT_EQ(WelcomeText, "(c) " + std::to_string(now.wYear) + " Varnholt");
}

// An older helper, run by a thread of the test: its window in the instance
// file, its program held until it has quit, as a running program's is.
struct TOldHelper {
  std::string instance, program;
};
DWORD WINAPI RunOldHelper(LPVOID data) {
  const TOldHelper* old = static_cast<TOldHelper*>(data);
  HANDLE program = CreateFileA(old->program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE held;
  twx::ClaimHelperInstance(old->instance, CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                                          nullptr, nullptr), &held);
  for (MSG message; GetMessageA(&message, nullptr, 0, 0) > 0;) DispatchMessageA(&message);
  Sleep(300);  // a program takes a moment to end
  CloseHandle(program);
  twx::ReleaseHelperInstance(held);
  return 0;
}

// The post-install sequence as the setup runs it after the extraction,
// without its pauses, on Windows 2000 and the Programs folder the test's: a
// patch that fails ends the chain and the result, not the steps after it.
void WINAPI NoPause(DWORD) {}

TEST_F(Registry, EveryPostInstallStepRunsEvenAfterAFailedPatch) {
  twxtest::TempFolder temp;
  ProgramsFolder = temp.Join("Programs");
  ASSERT_TRUE(CreateFolder(ProgramsFolder));
  SharedHelperFolder = temp.Join("Shared");
  OsVersion = {sizeof(OSVERSIONINFOA), 5, 0, 0, 0, {}};
  void* sleep = twxtest::ReplaceImport("kernel32.dll", "Sleep", reinterpret_cast<void*>(NoPause));
  for (const bool whole : {false, true}) {
    SCOPED_TRACE(whole ? "every patch" : "the engine tool's patch missing");
    const std::string destination = temp.Join(whole ? "whole" : "broken");
    ASSERT_TRUE(twxtest::MakeExtractedPayload(destination));
    if (!whole) DeleteFileA(PatchPathOf(EngineSetToolPath(destination)).c_str());
    EXPECT_EQ(RunPostInstall(destination, nullptr), whole);
    for (const char* made : twxtest::kPatchedPrograms)
      EXPECT_TRUE(twxtest::ReadWholeFileOr(destination + "\\" + made, "") ==
                  twxtest::ReadWholeFileOr(whole ? twxtest::PatchSourcePath(made) : twxtest::PayloadPath(made), ""))
          << made;
    EXPECT_EQ(IsExistingFile(PatchPathOf(HelpProgramPath(destination))), !whole) << "not attempted after the failure";
    EXPECT_FALSE(IsExistingFile(PatchPathOf(ProgramPath(destination)))) << "deleted whether it ran or not";
    EXPECT_EQ(twxtest::ListFolder(LanguageFolderPath(destination)),
              (std::vector<std::string>{"English.TWL", "German.TWL", "User Defined(Other).TWL"}));
    // Before XP the helper is left alone and its payload copy deleted.
    EXPECT_FALSE(IsExistingFile(PayloadHelperPath(destination)));
    EXPECT_FALSE(IsExistingFolder(SharedHelperFolder));
    EXPECT_EQ(ReadRegRaw(HKEY_LOCAL_MACHINE, kRunKey, kRunValue), "");
    // Where the payload puts each target, spelled here: a wrong path rule
    // would otherwise agree with itself.
    const std::pair<const char*, const char*> kShortcuts[] = {{"Trawlix", "\\Trawlix.exe"},
                                                              {"Trawlix Help", "\\Help\\TWXHelp.exe"},
                                                              {"Trawlix Report Library", "\\Library"},
                                                              {"Trawlix License Agreement", "\\License.txt"}};
    for (const auto& shortcut : kShortcuts)
      EXPECT_EQ(UpperAscii(twxtest::ReadLink(ShortcutPath(GroupFolderPath(ProgramsFolder), shortcut.first)).target),
                UpperAscii(destination + shortcut.second)) << shortcut.first;
  }
  twxtest::ReplaceImport("kernel32.dll", "Sleep", sleep);
}

// The language kept while its file is there, else the system's (written
// without its file), else left as it was; in section "Queries".
LANGID gLanguage;
LANGID WINAPI SystemLanguage() { return gLanguage; }

TEST(Language, KeptWhileItsFileIsThereElseTheSystemsIsTaken) {
  twxtest::TempFolder temp;
  const std::string settings = SettingsPath(temp.Path()), folder = LanguageFolderPath(temp.Path());
  MakeFolderPath(folder);
  for (const char* file : {"\\English.TWL", "\\German.TWL"}) ASSERT_TRUE(twxtest::WriteWholeFile(folder + file, ""));
  void* language =
      twxtest::ReplaceImport("kernel32.dll", "GetSystemDefaultLangID", reinterpret_cast<void*>(SystemLanguage));
  const std::tuple<const char*, LANGID, const char*> kLanguages[] = {  // before, the system's, after
      {"German", 0x0409, "German"}, {"Dutch", 0x0409, "English"}, {"", 0x0813, "Dutch"}, {"Klingon", 0x041E, "Klingon"},
      {"", 0x0C04, "Chinese Traditional"}, {"", 0x0804, "Chinese Traditional"}, {"", 0x0401, "Arabic"},
      {"", 0x0436, "Afrikaans"}, {"", 0x0418, "Romanian"}, {"x", 0x0609, "x"}};
  for (const auto& row : kLanguages) {
    WritePrivateProfileStringA("Queries", "Language", std::get<0>(row), settings.c_str());
    gLanguage = std::get<1>(row);
    SelectLanguage(temp.Path());
    char value[64];
    GetPrivateProfileStringA("Queries", "Language", "-", value, sizeof value, settings.c_str());
    EXPECT_STREQ(value, std::get<2>(row)) << std::hex << gLanguage;
  }
  twxtest::ReplaceImport("kernel32.dll", "GetSystemDefaultLangID", language);
}

// On XP, over an older helper that runs: asked to quit, and waited for, it
// gives up its program, which the payload's copy then replaces and starts.
TEST_F(Registry, FromXpAnOlderHelperThatRunsIsStoppedReplacedAndStarted) {
  twxtest::TempFolder temp;
  const std::string destination = temp.Path();
  SharedHelperFolder = temp.Join("Shared");
  OsVersion = {sizeof(OSVERSIONINFOA), 5, 1, 0, 0, {}};
  ASSERT_TRUE(CopyFileA(twxtest::PayloadPath(kHelperFileName).c_str(), PayloadHelperPath(destination).c_str(), FALSE));
  MakeFolderPath(SharedHelperFolder);
  TOldHelper old = {HelperInstancePath(SharedHelperFolder), HelperPath(SharedHelperFolder)};
  ASSERT_TRUE(twxtest::WriteWholeFile(old.program, "an older helper, without a version"));
  HANDLE thread = CreateThread(nullptr, 0, RunOldHelper, &old, 0, nullptr);
  const auto helperRuns = [&] { return twx::ReadHelperWindow(old.instance) != nullptr; };
  twxtest::WaitUntil(helperRuns, twxtest::kUntilDone, "the old helper");
  InstallSearchBoxHelper(destination, SharedHelperFolder);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "the old helper has quit";
  EXPECT_TRUE(twxtest::ReadWholeFileOr(old.program, "") ==
              twxtest::ReadWholeFileOr(twxtest::PayloadPath(kHelperFileName), "-"));
  EXPECT_FALSE(IsExistingFile(PayloadHelperPath(destination)));
  EXPECT_EQ(twxtest::ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue), "\"" + old.program + "\"");
  twxtest::WaitUntil(helperRuns, twxtest::kUntilDone, "the new helper");
  EXPECT_TRUE(twx::StopHelper(old.instance, twxtest::WaitBound(twxtest::kUntilDone))) << "the new helper stopped";
  PostThreadMessageA(GetThreadId(thread), WM_QUIT, 0, 0);
  WaitForSingleObject(thread, twxtest::WaitBound(twxtest::kUntilDone));
  CloseHandle(thread);
}

// The first filter of the product, which needs the shared engine beside it,
// checked as the setup checks it: after the process's library search was
// narrowed to the system folder. An engine in the program's folder or the
// current one (a download folder) is never taken.
TEST(DocumentFilters, TheFiltersOwnFolderIsSearchedAndTheProgramsNever) {
  ASSERT_TRUE(RestrictLibrarySearchToSystem());
  twxtest::TempFolder temp;
  char self[MAX_PATH];
  const std::string program = ParentPart(std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)));
  // The engine moved out of "Filters" into the program's folder and the current
  // one; the filter files as the payload has them; the first filter missing.
  const struct {
    const char* moved;
    bool kept;
  } rows[] = {{"TWXParse.dll", false}, {"", true}, {"Textor.dll", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.moved);
    const std::string destination = temp.Join(std::to_string(&row - rows));
    ASSERT_TRUE(twxtest::MakeInstalledProduct(destination));
    if (*row.moved) {
      const std::string file = destination + "\\Filters\\" + row.moved;
      ASSERT_TRUE(CopyFileA(file.c_str(), (program + "\\" + row.moved).c_str(), FALSE));
      ASSERT_TRUE(MoveFileA(file.c_str(), (destination + "\\" + row.moved).c_str()));
    }
    SetCurrentDirectoryA(destination.c_str());
    EXPECT_EQ(CheckDocumentFilters(destination), row.kept);
    SetCurrentDirectoryA(program.c_str());
    if (*row.moved) DeleteFileA((program + "\\" + row.moved).c_str());
    EXPECT_EQ(IsExistingFile(destination + "\\Filters\\Gridor.ini"), row.kept);
    char outdated[8];
    GetPrivateProfileStringA("Options", "Outdated Platform", "", outdated, sizeof outdated,
                             (destination + "\\Trawlix.ini").c_str());
    EXPECT_EQ(std::string(outdated), row.kept ? "" : "1");
  }
}

}  // namespace
