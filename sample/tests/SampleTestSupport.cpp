#include "SampleTestSupport.h"

#include <cstring>
#include <filesystem>

#include "FileUtils.h"
#include "HelperInstance.h"
#include "TestSupport.h"

namespace sampletest {

namespace {

// The build passes "Z:/..." folders; the product's code works with backslashes.
std::string Backslashed(const char* path) { return std::filesystem::path(path).make_preferred().string(); }

bool CopyTree(const char* from, const std::string& to) {
  std::error_code error;
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, error);
  return !error;
}

// The full path of a running process's program; "" when it cannot be asked.
std::string ProcessImage(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return "";
  char path[MAX_PATH * 2];
  DWORD size = sizeof path;
  const BOOL ok = QueryFullProcessImageNameA(process, 0, path, &size);
  CloseHandle(process);
  return ok ? std::string(path, size) : "";
}

}  // namespace

const char kToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
const char kMappingKey[] = "Software\\Microsoft\\Internet Explorer\\Extensions\\CmdMapping";
const char kLayoutValue[] = "{1E796980-9CC5-11D1-A83F-00C04FC99D61}";

std::string Z(const std::string& text) { return text + std::string(1, '\0'); }

std::string Dword(uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 24)};
  return std::string(bytes, 4);
}

DWORD WaitForHelper(const std::string& instanceFile, const std::string& image, DWORD timeoutMs) {
  DWORD process = 0;
  return twxtest::WaitUntil([&] {
    process = 0;
    GetWindowThreadProcessId(twx::ReadHelperWindow(instanceFile), &process);
    return process && UpperAscii(ProcessImage(process)) == UpperAscii(image);
  }, timeoutMs) ? process : 0;
}

std::string PayloadPath(const std::string& relative) { return Backslashed(TWX_PAYLOAD_DIR) + "\\" + relative; }
std::string PatchSourcePath(const std::string& relative) {
  return Backslashed(TWX_PAYLOAD_SOURCES_DIR) + "\\" + relative;
}

bool MakeInstalledProduct(const std::string& folder) {
  return CopyTree(TWX_PAYLOAD_DIR, folder) && CopyTree(TWX_PAYLOAD_SOURCES_DIR, folder);
}

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
  std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_) != 0;
}

bool TProgram::WaitUntilIdle(DWORD timeoutMs) {
  return process_.hProcess && WaitForInputIdle(process_.hProcess, timeoutMs) == 0 &&
         WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD TProgram::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

void* ReplaceImport(const char* library, const char* function, void* replacement) {
  BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  const IMAGE_NT_HEADERS* headers =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), library) != 0) continue;
    auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; name->u1.AddressOfData; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
          std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name, function) != 0)
        continue;
      DWORD protection = 0;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
      void* previous = reinterpret_cast<void*>(slot->u1.Function);
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      return previous;
    }
  }
  return nullptr;
}

}  // namespace sampletest
