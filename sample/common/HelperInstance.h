// The search-box helper's instance file: while a helper runs it keeps
// "QBox.tmp" open in its own folder, so that the file cannot be deleted, and the
// file's first four bytes hold the helper's main window handle (32 bits,
// little-endian). Whoever needs the helper gone (a setup replacing it, the
// uninstaller) posts WM_QUIT to that window and waits until the file can be
// deleted. The setup makes the file, writable for every user, since the helper
// runs as whoever logs on and may not create or delete files in its folder.
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

// Writes the window's handle over the instance file at path (made when
// missing) and keeps the file open; *held receives the handle to pass to
// ReleaseHelperInstance. What a helper that did not end cleanly left in it
// goes.
TInstanceClaim ClaimHelperInstance(const std::string& path, HWND window, HANDLE* held);

// Empties and closes the instance file.
void ReleaseHelperInstance(HANDLE held);

// The window named by an instance file; null when the file cannot be read, is
// shorter than four bytes, or names no existing window.
HWND ReadHelperWindow(const std::string& path);

// Ends a running helper: true when no helper holds the file any more (none was
// running, or it quit within timeoutMs and its file could be removed).
bool StopHelper(const std::string& path, DWORD timeoutMs);

}  // namespace twx
