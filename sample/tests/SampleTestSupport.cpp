#include "SampleTestSupport.h"

#include <cstring>

namespace sampletest {

namespace {

// The build passes "Z:/..." folders; the product's code works with backslashes.
std::string Backslashed(std::string path) {
  for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at)) path[at] = '\\';
  return path;
}

bool CopyTree(const std::string& from, const std::string& to) {
  const DWORD attributes = GetFileAttributesA(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
  CreateDirectoryA(to.c_str(), nullptr);
  bool ok = true;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") ok = CopyTree(from + "\\" + name, to + "\\" + name) && ok;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return ok;
}

}  // namespace

std::string PayloadPath(const std::string& relative) { return Backslashed(TWX_PAYLOAD_DIR) + "\\" + relative; }
std::string PatchSourcePath(const std::string& relative) {
  return Backslashed(TWX_PAYLOAD_SOURCES_DIR) + "\\" + relative;
}

bool MakeInstalledProduct(const std::string& folder) {
  return CopyTree(Backslashed(TWX_PAYLOAD_DIR), folder) && CopyTree(Backslashed(TWX_PAYLOAD_SOURCES_DIR), folder);
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

bool WaitForFile(const std::string& path, bool exists, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) != exists) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

bool WaitForFileSize(const std::string& path, uint64_t size, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    // Attributes only: the file is never opened, so its owner is not disturbed.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
        ((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow) == size)
      return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
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
