// The product's button on the browser's toolbar and its item in the Tools menu:
// declared once for the machine, then put into the toolbar layout of the current
// user and of every other user whose profile is loaded. Everything here fails
// silently; a user whose browser keys look unfamiliar is left as he was.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "IEToolbarLogic.h"

// RegisterBrowserExtension, then the button for each loaded user when that
// succeeded. Its result is RegisterBrowserExtension's.
bool InstallBrowserButton(const std::string& executable);

// Writes the extension key's values (ComposeExtensionValues) to the machine,
// icons chosen by this Windows version. True when the key opened and every value was written
// (each is attempted even after one failed).
bool RegisterBrowserExtension(const std::string& executable);

#endif
