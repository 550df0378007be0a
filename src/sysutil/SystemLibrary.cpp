#include "SystemLibrary.h"

// Not declared by every SDK the setup is built with; the values are fixed.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

typedef BOOL(WINAPI* PSetDefaultDllDirectories)(DWORD flags);
typedef BOOL(WINAPI* PSetDllDirectoryA)(LPCSTR path);

// The search flags of LoadLibraryExA exist exactly where kernel32 exports
// SetDefaultDllDirectories (Windows 8, and Windows 7 and Vista with the update
// that brought it). Older systems reject the flags, so they get a full path.
template <typename TFunction>
TFunction Kernel32Function(const char* name) {
  return LibraryFunction<TFunction>(GetModuleHandleA("kernel32.dll"), name);
}

bool HasSearchFlags() { return Kernel32Function<PSetDefaultDllDirectories>("SetDefaultDllDirectories") != nullptr; }

}  // namespace

bool RestrictLibrarySearchToSystem() {
  bool narrowed = false;
  PSetDefaultDllDirectories setDefault = Kernel32Function<PSetDefaultDllDirectories>("SetDefaultDllDirectories");
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) narrowed = true;
  // An empty string takes the current folder out of the search (XP SP1 on).
  PSetDllDirectoryA setDirectory = Kernel32Function<PSetDllDirectoryA>("SetDllDirectoryA");
  if (setDirectory) setDirectory("");
  return narrowed;
}

std::string SystemLibraryPath(const char* fileName) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return std::string();
  std::string path(folder, length);
  if (path.back() != '\\') path += '\\';
  return path + fileName;
}

HMODULE LoadSystemLibrary(const char* fileName) {
  if (HasSearchFlags()) {
    // The flag also keeps the library's own dependencies in the system folder.
    HMODULE module = LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module) return module;
  }
  const std::string path = SystemLibraryPath(fileName);
  if (path.empty()) return nullptr;
  // With a full path and the altered search order the library's dependencies
  // are looked for beside it, in the system folder, before anywhere else.
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
