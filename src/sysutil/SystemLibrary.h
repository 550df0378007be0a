// Libraries that are not in the setup's import table are loaded through here,
// from the system folder only. A setup is started from a download folder, where
// any file may lie beside it, and Windows looks for a library in the program's
// own folder first: a "version.dll" planted there would run with the setup's
// rights. Only the system's known libraries are imported directly.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

// Narrows the process's library search to the system folder (and removes the
// current folder from it) where the system offers that, so that libraries the
// system's own modules load later on the setup's behalf are safe as well.
// Called first thing at start-up. True when the search could be narrowed.
bool RestrictLibrarySearchToSystem();

// The system folder + "\" + fileName; empty when the system folder is unknown.
std::string SystemLibraryPath(const char* fileName);

// Loads a library of the system by file name ("version.dll") by its full path
// in the system folder, never from the program's folder or the current one, and
// also when a library of that name was loaded from elsewhere before. Null when
// it is missing; release it with FreeLibrary.
HMODULE LoadSystemLibrary(const char* fileName);

// Loads a library of the installation (a document filter) by its full path.
// The libraries it needs are looked for in its own folder and the system
// folder, also once RestrictLibrarySearchToSystem has narrowed the process's
// search, and never in the setup's folder or the current one. Null when it
// does not load; release it with FreeLibrary.
HMODULE LoadLibraryWithItsFolder(const std::string& path);

// A function of a loaded library as the caller's pointer type; null when the
// library lacks it (older systems), which makes the caller's service do nothing.
template <typename TFunction>
TFunction LibraryFunction(HMODULE module, const char* name) {
  if (!module) return nullptr;
  // Through the generic function type, which every function pointer may be
  // converted to and from.
  return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

#endif
