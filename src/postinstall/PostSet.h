// What turns a folder of freshly extracted files into a working installation:
// the program group, the uninstall entry, the browser button, the programs
// rebuilt from their delta patches, the user's data put back, an earlier
// version's leftovers removed, the language chosen and the search-box helper
// started. Only the delta patches and the user's data files written back
// decide whether the installation succeeded; every other step fails silently
// and the sequence goes on.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "PostSetLogic.h"

// The post-install sequence, run once after a successful extraction into
// destination. Waits about ten seconds first (pumping), then configures. True
// when all three delta patches were applied and the user's data files written
// back; a failed patch skips the patches after it but none of the other steps.
bool RunPostInstall(const std::string& destination, TMessagePump pump);

// The machine's uninstall entry "Trawlmark": its name and the quoted path of
// destination's "uninst.exe". A later setup finds the installation through it.
void WriteUninstallEntry(const std::string& destination);

// On Windows XP and later puts the destination's helper "QBox.exe" into
// sharedFolder when it is newer than the copy there (asking a running helper to
// quit first), makes the folder writable for administrators only, provides the
// instance file every user's helper writes, registers the helper to start at
// log-on and starts it. The destination's copy is deleted in every case.
void InstallSearchBoxHelper(const std::string& destination, const std::string& sharedFolder);

// Makes the settings file name a language whose file is present, falling back
// to the system's language.
void SelectLanguage(const std::string& destination);

// Registers ".twx" query folder files to open in destination's "Trawlix.exe",
// with its icon.
void RegisterQueryFolderType(const std::string& destination);

// Keeps the document filters when the first of them loads on this system;
// otherwise deletes all of them and tells the product through its settings
// file. True when they stay.
bool CheckDocumentFilters(const std::string& destination);

#endif
