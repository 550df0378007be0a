#include "HelperInstance.h"

#include <cstdint>

#include "LittleEndian.h"

namespace twx {

namespace {

// Window handles are 32-bit values on every Windows; 64-bit code sign-extends them.
uint32_t HandleBits(HWND window) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }
HWND WindowFromBits(uint32_t bits) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(bits)));
}

bool ReadHandleBits(HANDLE file, uint32_t* bits) {
  uint8_t bytes[4];
  DWORD read = 0;
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 || !ReadFile(file, bytes, 4, &read, nullptr) || read != 4)
    return false;
  *bits = GetU32(bytes);
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

// Opened for writing and held with read sharing only: no second helper can
// open it for writing, and nobody can delete it, while this one runs. A file
// that is there is opened as it is, since a helper started by a user may write
// it but neither create nor delete anything in its folder.
HANDLE OpenInstanceFile(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TInstanceClaim ClaimHelperInstance(const std::string& path, HWND window, HANDLE* held) {
  *held = INVALID_HANDLE_VALUE;
  // A stale file left read-only could be neither written nor deleted.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  HANDLE file = OpenInstanceFile(path);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_SHARING_VIOLATION && ReadHelperWindow(path) ? kInstanceRunning : kInstanceFailed;
  uint8_t bytes[4];
  PutLE(bytes, HandleBits(window), 4);
  DWORD written = 0;
  // Whatever a helper that was ended left there goes.
  if (!WriteFile(file, bytes, 4, &written, nullptr) || written != 4 || !SetEndOfFile(file)) {
    CloseHandle(file);
    return kInstanceFailed;
  }
  *held = file;
  return kInstanceClaimed;
}

void ReleaseHelperInstance(HANDLE held) {
  if (held == INVALID_HANDLE_VALUE) return;
  // Emptied, not deleted: the next helper may be started by a user who could
  // not make it again. Nobody takes an empty file for a running helper.
  SetFilePointer(held, 0, nullptr, FILE_BEGIN);
  SetEndOfFile(held);
  CloseHandle(held);
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
    if (RemoveStaleFile(path)) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(100);
  }
}

}  // namespace twx
