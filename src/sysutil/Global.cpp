#include "Global.h"

#include <vector>

#include "FileUtils.h"
#include "GlobalLogic.h"
#include "Product.h"
#include "SystemLibrary.h"
#include "Texts.h"

OSVERSIONINFOA OsVersion = {};
std::string SharedHelperFolder = kMakerFolder;
std::string DefaultDestination = kProductFolder;
bool ExistingInstallation = false;
std::string WelcomeText = kWelcomeTemplate;
std::string FinishText = kFinishText;

namespace {

const char kWindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kBrowserKey[] = "Software\\Microsoft\\Internet Explorer";

// A string value of an HKLM key read into a buffer of the given size; false
// when the key or the value cannot be read or the value does not fit. The text
// ends at the first zero byte: values stored without their terminating zero
// lose nothing.
bool ReadMachineString(const std::string& key, const std::string& valueName, DWORD bufferSize, std::string* text) {
  HKEY handle;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
  std::vector<char> buffer(bufferSize);
  DWORD size = bufferSize;
  const LONG result = RegQueryValueExA(handle, valueName.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer.data()), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS) return false;
  size_t length = 0;
  while (length < size && length < buffer.size() && buffer[length] != '\0') ++length;
  text->assign(buffer.data(), length);
  return true;
}

typedef DWORD(WINAPI* PGetFileVersionInfoSizeA)(LPCSTR file, LPDWORD handle);
typedef BOOL(WINAPI* PGetFileVersionInfoA)(LPCSTR file, DWORD handle, DWORD size, LPVOID data);
typedef BOOL(WINAPI* PVerQueryValueA)(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length);

// The string value valueName of the Windows key followed by suffix; "C:"
// followed by suffix when it cannot be read.
std::string ReadWindowsFolderValue(const std::string& valueName, const std::string& suffix) {
  std::string folder;
  if (!ReadMachineString(kWindowsKey, valueName, MAX_PATH, &folder)) return "C:" + suffix;
  return folder + suffix;
}

}  // namespace

OSVERSIONINFOA QueryWindowsVersion() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) version = OSVERSIONINFOA();
  return version;
}

std::string ReadUninstallString(const std::string& productName) {
  std::string command;
  if (!ReadMachineString(kUninstallKeys + productName, "UninstallString", MAX_PATH + 1, &command)) return "";
  return UnquoteUninstallString(command);
}

bool GetFileVersion(const std::string& path, unsigned* major, unsigned* minor) {
  *major = 0;
  *minor = 0;
  // Not an import: version.dll is a favourite of libraries planted beside a setup.
  HMODULE library = LoadSystemLibrary("version.dll");
  const PGetFileVersionInfoSizeA infoSize =
      LibraryFunction<PGetFileVersionInfoSizeA>(library, "GetFileVersionInfoSizeA");
  const PGetFileVersionInfoA info = LibraryFunction<PGetFileVersionInfoA>(library, "GetFileVersionInfoA");
  const PVerQueryValueA query = LibraryFunction<PVerQueryValueA>(library, "VerQueryValueA");
  bool found = false;
  if (infoSize && info && query) {
    DWORD handle = 0;
    const DWORD size = infoSize(path.c_str(), &handle);
    if (size != 0) {
      std::vector<char> block(size + 1);
      VS_FIXEDFILEINFO* fixed = nullptr;
      UINT length = 0;
      if (info(path.c_str(), 0, size, block.data()) &&
          query(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length) && fixed &&
          length >= sizeof(VS_FIXEDFILEINFO)) {
        *major = fixed->dwFileVersionMS >> 16;
        *minor = fixed->dwFileVersionMS & 0xFFFF;
        found = true;
      }
    }
  }
  if (library) FreeLibrary(library);
  return found;
}

int GetBrowserMajorVersion() {
  std::string version;
  if (!ReadMachineString(kBrowserKey, "Version", MAX_PATH + 1, &version)) return 0;
  return BrowserMajorVersionOf(version);
}

void ProbeEnvironment() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  WelcomeText = StampYear(WelcomeText, now.wYear);

  OsVersion = QueryWindowsVersion();

  SharedHelperFolder = SharedHelperFolderIn(ReadWindowsFolderValue("CommonFilesDir", ""));

  // The uninstall entry names "uninst.exe" in the installation's folder; the
  // folder counts only while the product's program is still in it.
  const std::string folder = ParentPart(ReadUninstallString(kProductName));
  ExistingInstallation = !folder.empty() && IsExistingFile(ProgramPath(folder));
  DefaultDestination =
      ExistingInstallation ? folder : ReadWindowsFolderValue("ProgramFilesDir", kProductFolder);
}
