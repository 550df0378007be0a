// The built setup program loaded as a data file (nothing of it runs), for the
// tests of its resources.
#pragma once

#include <windows.h>

#include <string>

namespace twxres {

// The built TWXInst.exe of this build, loaded once; null when it cannot be loaded.
inline HMODULE SetupModule() {
  static HMODULE module = LoadLibraryExA(TWX_SETUP_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  return module;
}

// The bytes of a resource of the setup program; empty when there is none.
inline std::string ResourceBytes(LPCSTR name, LPCSTR type) {
  HRSRC found = SetupModule() ? FindResourceA(SetupModule(), name, type) : nullptr;
  const void* data = found ? LockResource(LoadResource(SetupModule(), found)) : nullptr;
  return data ? std::string(static_cast<const char*>(data), SizeofResource(SetupModule(), found)) : std::string();
}

}  // namespace twxres
