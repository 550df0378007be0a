#include "HelperInstance.h"

#include <cstdint>

namespace twx {

namespace {

// Window handles are 32-bit values on every Windows; 64-bit code sign-extends them.
uint32_t HandleBits(HWND window) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }
HWND WindowFromBits(uint32_t bits) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(bits)));
}

bool ReadHandleBits(HANDLE file, uint32_t* bits) {
  unsigned char bytes[4];
  DWORD read = 0;
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 || !ReadFile(file, bytes, 4, &read, nullptr) || read != 4)
    return false;
  *bits = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return true;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Removes a file left behind; false when a running helper still holds it.
bool RemoveStaleFile(const std::string& path) {
  if (!Exists(path) || DeleteFileA(path.c_str())) return true;
  if (GetLastError() == ERROR_SHARING_VIOLATION) return false;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path.c_str()) != 0;
}

}  // namespace

TInstanceClaim ClaimHelperInstance(const std::string& path, HWND window, HANDLE* held) {
  *held = INVALID_HANDLE_VALUE;
  if (!RemoveStaleFile(path)) return ReadHelperWindow(path) ? kInstanceRunning : kInstanceFailed;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS ? kInstanceRunning : kInstanceFailed;
  const uint32_t bits = HandleBits(window);
  const unsigned char bytes[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                                  static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes, 4, &written, nullptr) && written == 4;
  CloseHandle(file);
  if (!ok) {
    DeleteFileA(path.c_str());
    return kInstanceFailed;
  }
  // Held for reading only, so that readers asking for read sharing alone can
  // still open it; no delete sharing, so that nobody can remove it meanwhile.
  file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
  if (file == INVALID_HANDLE_VALUE) return kInstanceRunning;
  uint32_t stored = 0;
  if (!ReadHandleBits(file, &stored) || stored != bits) {
    // A second helper started at the same moment replaced the file between our
    // write and our reopening: that one owns it.
    CloseHandle(file);
    return kInstanceRunning;
  }
  *held = file;
  return kInstanceClaimed;
}

void ReleaseHelperInstance(HANDLE held, const std::string& path) {
  if (held == INVALID_HANDLE_VALUE) return;
  CloseHandle(held);
  DeleteFileA(path.c_str());
}

HWND ReadHelperWindow(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  uint32_t bits = 0;
  const bool ok = ReadHandleBits(file, &bits);
  CloseHandle(file);
  return ok && bits != 0 && IsWindow(WindowFromBits(bits)) ? WindowFromBits(bits) : nullptr;
}

bool StopHelper(const std::string& path, DWORD timeoutMs) {
  if (RemoveStaleFile(path)) return true;
  HWND window = ReadHelperWindow(path);
  if (!window) return false;
  PostMessageA(window, WM_QUIT, 0, 0);
  const DWORD start = GetTickCount();
  for (;;) {
    if (!Exists(path) || DeleteFileA(path.c_str())) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(100);
  }
}

}  // namespace twx
