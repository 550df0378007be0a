// What the setup knows about the machine before it shows anything: the Windows
// version, the standard folders, an earlier installation; the two long screen
// texts; and the user data files kept across a re-installation. Everything here
// is filled once at start-up by ProbeEnvironment and read-only afterwards.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "GlobalData.h"

// Zero until ProbeEnvironment; then dwPlatformId, dwMajorVersion and
// dwMinorVersion are what the setup decides by.
extern OSVERSIONINFOA OsVersion;
// Where the search-box helper is shared between products: the Common Files
// folder + "\VarnTech", or "C:\VarnTech".
extern std::string SharedHelperFolder;
// The folder of the earlier installation, or the Program Files folder +
// "\VarnTech\Trawlix", or "C:\VarnTech\Trawlix". Never ends with a backslash.
extern std::string DefaultDestination;
extern bool ExistingInstallation;

// Start-up step: the year stamp, OsVersion, the shared helper folder and the
// earlier installation, in this order.
void ProbeEnvironment();

// The string value valueName of HKLM "Software\Microsoft\Windows\CurrentVersion"
// followed by suffix; "C:" followed by suffix when it cannot be read.
std::string ReadWindowsFolderValue(const std::string& valueName, const std::string& suffix);

// "UninstallString" of the uninstall entry productName, without surrounding
// quotes; empty when there is none.
std::string ReadUninstallString(const std::string& productName);

// The first two parts of a file's version (high and low word of the fixed
// information's dwFileVersionMS). False, with both 0, when the file has none.
bool GetFileVersion(const std::string& path, unsigned* major, unsigned* minor);

// Internet Explorer's major version; 0 when it cannot be determined.
int GetBrowserMajorVersion();

#endif
