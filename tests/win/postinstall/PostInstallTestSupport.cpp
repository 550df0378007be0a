#include "PostInstallTestSupport.h"

#include <cstdint>

#include "FileUtils.h"
#include "HelperInstance.h"

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
  HWND window = twx::ReadHelperWindow(instanceFile);
  DWORD owner = 0;
  return window && GetWindowThreadProcessId(window, &owner) ? owner : 0;
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
