#include "PostInstallTestSupport.h"

#include <cstdint>

#include "FileUtils.h"

namespace postinstalltest {

const char kToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
const char kMappingKey[] = "Software\\Microsoft\\Internet Explorer\\Extensions\\CmdMapping";
const char kLayoutValue[] = "{1E796980-9CC5-11D1-A83F-00C04FC99D61}";

std::string Z(const std::string& text) { return text + std::string(1, '\0'); }

std::string Dword(uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 24)};
  return std::string(bytes, 4);
}

namespace {

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

DWORD HelperProcessOf(const std::string& instanceFile) {
  HANDLE file = CreateFileA(instanceFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  unsigned char bytes[4];
  DWORD read = 0;
  const BOOL ok = ReadFile(file, bytes, 4, &read, nullptr);
  CloseHandle(file);
  if (!ok || read != 4) return 0;
  const uint32_t bits = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(bits)));
  DWORD owner = 0;
  if (!IsWindow(window) || !GetWindowThreadProcessId(window, &owner)) return 0;
  return owner;
}

DWORD WaitForHelper(const std::string& instanceFile, const std::string& image, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD process = HelperProcessOf(instanceFile);
    if (process && UpperAscii(ProcessImage(process)) == UpperAscii(image)) return process;
    if (GetTickCount() - start >= timeoutMs) return 0;
    Sleep(50);
  }
}

bool IsRunning(DWORD processId, DWORD timeoutMs) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (!process) return false;
  const bool running = WaitForSingleObject(process, timeoutMs) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

}  // namespace postinstalltest
