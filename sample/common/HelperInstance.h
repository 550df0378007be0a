// The search-box helper's instance file: while a helper runs it keeps
// "QBox.tmp" open in its own folder, so that the file cannot be deleted, and the
// file's first four bytes hold the helper's main window handle (32 bits,
// little-endian). Whoever needs the helper gone (a setup replacing it, the
// uninstaller) posts WM_QUIT to that window and waits for the file to go.
#pragma once

#include <windows.h>

#include <string>

#include "Product.h"  // kHelperInstanceFileName

namespace twx {

enum TInstanceClaim {
  kInstanceClaimed,  // this process now holds the file
  kInstanceRunning,  // another helper holds it
  kInstanceFailed    // the file could not be written
};

// Writes the window's handle into a new instance file at path and keeps the file
// open; *held receives the handle to pass to ReleaseHelperInstance. A file left
// behind by a helper that did not end cleanly is replaced.
TInstanceClaim ClaimHelperInstance(const std::string& path, HWND window, HANDLE* held);

// Closes and removes the instance file.
void ReleaseHelperInstance(HANDLE held, const std::string& path);

// The window named by an instance file; null when the file cannot be read, is
// shorter than four bytes, or names no existing window.
HWND ReadHelperWindow(const std::string& path);

// Ends a running helper: true when no helper holds the file any more (none was
// running, or it quit within timeoutMs and its file could be removed).
bool StopHelper(const std::string& path, DWORD timeoutMs);

}  // namespace twx
