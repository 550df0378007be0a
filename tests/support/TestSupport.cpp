#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "FileIO.h"
#include "FileUtils.h"

#ifdef _WIN32
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>
#endif
#include <unistd.h>

namespace twxtest {

static std::string SystemTempFolder() {
  std::error_code ignored;
  std::string folder = std::filesystem::temp_directory_path(ignored).string();
  while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

#ifdef _WIN32

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  // A link goes itself; what it leads to is not the test's to remove.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (!RemoveDirectoryA(path.c_str())) DeleteFileA(path.c_str());
    return;
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileA(path.c_str());
    return;
  }
  for (const std::string& name : ListFolder(path)) RemoveTree(path + "\\" + name);
  RemoveDirectoryA(path.c_str());
}

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine answers CreateSymbolicLinkA with success and makes nothing, but it
// shows a link that the host made to a folder as a reparse point (a link to a
// file as the file itself): there the host's ln makes it.
static bool MakeLinkOnWineHost(const std::string& target, const std::string& link) {
  typedef char*(CDECL * TUnixName)(LPCWSTR);
  const auto unixName = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return false;
  std::string command = "ln -s";
  for (const std::string* path : {&target, &link}) {
    wchar_t wide[MAX_PATH + 1];
    if (MultiByteToWideChar(CP_ACP, 0, path->c_str(), -1, wide, MAX_PATH + 1) == 0) return false;
    char* name = unixName(wide);
    if (name == nullptr) return false;
    command += std::string(" \"") + name + "\"";
    HeapFree(GetProcessHeap(), 0, name);
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA("Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  // The handle does not follow the host's process: wait for its link instead.
  for (int i = 0; i < 300 && GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(20);
  return true;
}

bool MakeLink(const std::string& target, const std::string& link, bool hard) {
  if (hard) return CreateHardLinkA(link.c_str(), target.c_str(), nullptr) != 0;
  typedef BOOLEAN(WINAPI * TCreateSymbolicLink)(LPCSTR, LPCSTR, DWORD);
  const auto create = reinterpret_cast<TCreateSymbolicLink>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
  const DWORD attributes = GetFileAttributesA(target.c_str());
  const DWORD folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  // 2: allowed without the privilege where developer mode is on.
  // Some systems answer success and make nothing: only a link that is there counts.
  if (create == nullptr || !create(link.c_str(), target.c_str(), folder | 2)) return false;
  if (GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES && (!folder || !MakeLinkOnWineHost(target, link)))
    return false;
  const DWORD made = GetFileAttributesA(link.c_str());
  return made != INVALID_FILE_ATTRIBUTES && (made & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

static const DWORD gProgramStart = GetTickCount();

static uint32_t ProgramTimeLeft() {
  const char* limit = std::getenv("TWX_TIME_LIMIT");
  const DWORD allowed = limit ? static_cast<DWORD>(std::atoi(limit)) * 750 : 0, used = GetTickCount() - gProgramStart;
  return allowed == 0 ? kUntilDone : used < allowed ? allowed - used : 0;
}

uint32_t WaitBound(uint32_t timeoutMs) { return std::min(timeoutMs, ProgramTimeLeft()); }

void NeverCame(const std::string& what, TCaller caller) {
  ADD_FAILURE_AT(caller.file, caller.line) << "waited in vain for " << what
                                           << (ProgramTimeLeft() == 0 ? ": the test's time is up" : "");
}

bool WaitUntil(const std::function<bool()>& done, uint32_t timeoutMs, const std::string& what, TCaller caller) {
  const uint32_t bound = WaitBound(timeoutMs);
  for (const DWORD start = GetTickCount(); !done(); Sleep(20))
    if (GetTickCount() - start >= bound) return NeverCame(what, caller), false;
  return true;
}

bool WaitForEnd(HANDLE object, uint32_t timeoutMs, const std::string& what, TCaller caller) {
  if (WaitForSingleObject(object, WaitBound(timeoutMs)) == WAIT_OBJECT_0) return true;
  return NeverCame(what, caller), false;
}

TLinkInfo ReadLink(const std::string& file) {
  TLinkInfo info;
  if (FAILED(CoInitialize(nullptr))) return info;
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
  IShellLinkA* link = nullptr;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(persist->Load(wide, STGM_READ))) {
    char text[MAX_PATH];
    info.loaded = true;
    if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) info.target = text;
    if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) info.workingFolder = text;
    if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) info.description = text;
    link->GetHotkey(&info.hotKey);
  }
  if (persist) persist->Release();
  if (link) link->Release();
  CoUninitialize();
  return info;
}

namespace {

const char kSandboxParent[] = "Software\\TrawlixTests";

const HKEY kRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS};
const char* const kRootNames[] = {"HKLM", "HKCU", "HKCR", "HKU"};

}  // namespace

RegistrySandbox::RegistrySandbox() {
  static unsigned counter = 0;
  scratch_ = std::string(kSandboxParent) + "\\Sandbox-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(++counter);
  // A sandbox of an earlier, crashed run with the same name would not be empty.
  RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
  active_ = true;
  for (int i = 0; i < 4 && active_; ++i) {
    const std::string path = scratch_ + "\\" + kRootNames[i];
    active_ = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &keys_[i],
                              nullptr) == ERROR_SUCCESS &&
              RegOverridePredefKey(kRoots[i], keys_[i]) == ERROR_SUCCESS;
  }
}

RegistrySandbox::~RegistrySandbox() {
  for (int i = 0; i < 4; ++i) {
    RegOverridePredefKey(kRoots[i], nullptr);
    if (keys_[i]) RegCloseKey(keys_[i]);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, kSandboxParent);  // fails while another sandbox is in it
}

std::string ReadRegRaw(HKEY root, const std::string& key, const std::string& value, DWORD* type) {
  char data[65536];
  DWORD size = sizeof data - 1, found = static_cast<DWORD>(-1);
  HKEY handle;
  LONG rc = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle);
  if (rc == ERROR_SUCCESS) {
    rc = RegQueryValueExA(handle, value.c_str(), nullptr, &found, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
  }
  if (type) *type = rc == ERROR_SUCCESS ? found : static_cast<DWORD>(-1);
  return rc == ERROR_SUCCESS ? std::string(data, size) : std::string();
}

std::string ReadRegString(HKEY root, const std::string& key, const std::string& value) {
  std::string data = ReadRegRaw(root, key, value);
  if (!data.empty() && data.back() == '\0') data.pop_back();
  return data;
}

bool RegKeyExists(HKEY root, const std::string& key, REGSAM view) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

bool WriteRegValue(HKEY root, const std::string& key, const std::string& value, DWORD type, const std::string& data) {
  HKEY handle;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG rc = RegSetValueExA(handle, value.empty() ? nullptr : value.c_str(), 0, type,
                                 reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

bool WriteRegString(HKEY root, const std::string& key, const std::string& value, const std::string& data) {
  return WriteRegValue(root, key, value, REG_SZ, data + std::string(1, '\0'));
}

// The build passes "Z:/..." folders; the product's code works with backslashes.
static std::string Backslashed(const char* path) { return std::filesystem::path(path).make_preferred().string(); }

static bool CopyTree(const char* from, const std::string& to) {
  std::error_code error;
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, error);
  return !error;
}

std::string PayloadPath(const std::string& relative) { return Backslashed(TWX_PAYLOAD_DIR) + "\\" + relative; }
std::string PatchSourcePath(const std::string& relative) {
  return Backslashed(TWX_PAYLOAD_SOURCES_DIR) + "\\" + relative;
}

bool MakeInstalledProduct(const std::string& folder) {
  return CopyTree(TWX_PAYLOAD_DIR, folder) && CopyTree(TWX_PAYLOAD_SOURCES_DIR, folder);
}
bool MakeExtractedPayload(const std::string& folder) { return CopyTree(TWX_PAYLOAD_PACKED_DIR, folder); }

TProgram::~TProgram() {
  if (!process_.hProcess) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
}

bool TProgram::Start(const std::string& exe, const std::string& arguments) {
  exe_ = exe;
  std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_) != 0;
}

bool TProgram::Start(const std::wstring& exe) {
  exe_ = "the program started by its wide name";
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  return CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_) != 0;
}

bool TProgram::WaitUntilIdle(DWORD timeoutMs) {
  const DWORD idle = process_.hProcess ? WaitForInputIdle(process_.hProcess, WaitBound(timeoutMs)) : WAIT_FAILED;
  if (idle == WAIT_TIMEOUT) NeverCame(exe_ + " to wait for input");
  return idle == 0 && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD TProgram::WaitForExit(DWORD timeoutMs) {
  if (!WaitForEnd(process_.hProcess, timeoutMs, "the end of " + exe_)) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

#else

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(NativePath(path), ignored);
}

bool RunningUnderWine() { return false; }

bool MakeLink(const std::string& target, const std::string& link, bool hard) {
  const std::string from = NativePath(target), to = NativePath(link);
  return (hard ? ::link(from.c_str(), to.c_str()) : symlink(from.c_str(), to.c_str())) == 0;
}

#endif

// One folder a process and object: a folder left by an ended process of the same number is passed over.
TempFolder::TempFolder() {
  static unsigned counter = 0;
  std::error_code error;
  do path_ = (std::filesystem::path(SystemTempFolder()) / ("twxtest-" + std::to_string(getpid()) + "-" +
                                                            std::to_string(++counter))).string();
  while (!std::filesystem::create_directory(path_, error) && !error);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(NativePath(path), ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Windows shows its read-only attribute as the absence of every write bit.
bool IsReadOnly(const std::string& path) {
  using std::filesystem::perms;
  std::error_code error;
  const perms bits = std::filesystem::status(NativePath(path), error).permissions();
  return !error && (bits & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  TFileHandle file = CreateFileForWrite(path);
  if (file == kNoFile) return false;
  const bool written = WriteFileBytes(file, bytes.data(), static_cast<int32_t>(bytes.size()));
  return CloseFile(file) && written;
}

std::string ReadWholeFileOr(const std::string& path, const std::string& fallback) {
  std::string bytes;
  return ::ReadWholeFile(path, &bytes) ? bytes : fallback;
}

std::string ArtifactsFolder() {
  const char* folder = std::getenv("TWX_ARTIFACTS");
  if (!folder || !*folder) return SystemTempFolder();
#ifdef _WIN32
  // ctest hands over a Unix path; Wine maps the root folder to drive Z:.
  std::string path = std::string("Z:") + folder;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
#else
  return folder;
#endif
}

namespace {

template <unsigned kCodePage>
bool LeadByteOf(unsigned char byte) {
#ifdef _WIN32
  return IsDBCSLeadByteEx(kCodePage, byte) != 0;
#else
  if (kCodePage == 932) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  return kCodePage != 1252 && byte >= 0x81 && byte <= 0xFE;
#endif
}

}  // namespace

TLeadByteRule LeadBytesOf(unsigned codePage) {
  switch (codePage) {
    case 932: return LeadByteOf<932>;
    case 936: return LeadByteOf<936>;
    case 949: return LeadByteOf<949>;
    case 950: return LeadByteOf<950>;
    default: return LeadByteOf<1252>;
  }
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 engine(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(engine() >> 24);
  return bytes;
}

}  // namespace twxtest
