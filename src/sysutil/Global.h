// What the setup knows about the machine before it shows anything: the Windows
// version, where the shared helper and the installation go, an earlier
// installation; and the two long screen texts. ProbeEnvironment fills all of
// it once at start-up; it is read-only afterwards.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

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
// The welcome text of the destination dialog (its "YYYY" replaced by the
// current year) and the text of the finish dialog.
extern std::string WelcomeText;
extern std::string FinishText;

// Start-up step: the year stamp, OsVersion, the shared helper folder and the
// earlier installation, in this order.
void ProbeEnvironment();

// The version the system reports; all zero when it cannot be told. Where
// OsVersion may not be probed yet (start-up, tests), this is asked instead.
OSVERSIONINFOA QueryWindowsVersion();

// "UninstallString" of the uninstall entry productName, without surrounding
// quotes; empty when there is none.
std::string ReadUninstallString(const std::string& productName);

// The first two parts of a file's version (high and low word of the fixed
// information's dwFileVersionMS). False, with both 0, when the file has none.
bool GetFileVersion(const std::string& path, unsigned* major, unsigned* minor);

// Internet Explorer's major version; 0 when it cannot be determined.
int GetBrowserMajorVersion();

#endif
