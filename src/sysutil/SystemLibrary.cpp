#include "SystemLibrary.h"

#include "FileUtils.h"

// Not declared by every SDK the setup is built with; the values are fixed.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#endif

namespace {

typedef BOOL(WINAPI* PSetDefaultDllDirectories)(DWORD flags);
typedef BOOL(WINAPI* PSetDllDirectoryA)(LPCSTR path);

// The search flags of LoadLibraryExA exist exactly where kernel32 exports
// SetDefaultDllDirectories (Windows 8, and Windows 7 and Vista with the update
// that brought it); older systems reject them.
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
  return JoinPath(std::string(folder, length), fileName);
}

HMODULE LoadSystemLibrary(const char* fileName) {
  // Always by full path: a bare name is matched against the libraries already
  // in the process, and a planted copy loaded by anyone before would be taken.
  const std::string path = SystemLibraryPath(fileName);
  if (path.empty()) return nullptr;
  // Either flag keeps the library's own dependencies in the system folder too.
  return LoadLibraryExA(path.c_str(), nullptr,
                        HasSearchFlags() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadLibraryWithItsFolder(const std::string& path) {
  // Where the flags are missing, the process's search was never narrowed, and
  // the altered search puts the library's folder in place of the program's.
  return LoadLibraryExA(path.c_str(), nullptr,
                        HasSearchFlags() ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                                         : LOAD_WITH_ALTERED_SEARCH_PATH);
}
