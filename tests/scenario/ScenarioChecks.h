// What several scenarios judge of the machine alike, each written once: an
// installation's files, registry values and shortcuts, the user's data files,
// who may change what, what an uninstallation leaves, the setup's bitmaps on
// the screen. A failure names the scenario's calling line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace scenario {

using twxtest::Caller;
using twxtest::TCaller;

const DWORD kScreenWait = 60000;
// The work steps take their settling pause and the progress bar its thirty
// seconds; a loaded machine may take several times as long.
const DWORD kWorkWait = 240000;

// The lines of text that begin with prefix, without it.
std::vector<std::string> Lines(const std::string& text, const std::string& prefix);
std::string Hex(uint32_t value);

// The prefix's shell folders: Wine's user is an administrator, so the group
// goes to the all users' Programs folder; the desktop is the user's.
extern const char kProgramsFolder[];
std::string GroupShortcut(const std::string& name);
std::string DesktopShortcut();
std::string InstalledHelper();  // as the Run value names it

// hotKey 0 means none, desktop false no desktop shortcut, association false no file type.
void ExpectInstalled(const std::string& destination, WORD hotKey, bool desktop, bool association = true,
                     TCaller caller = Caller());
// Nothing of an installation in folder, nor its entries and shortcuts; uninstall: once the uninstaller ran.
void ExpectNothingInstalled(const std::string& folder, bool uninstall, TCaller caller = Caller());

// The user's own data files in folder, what they hold; with earlierProgram an
// earlier installation there, found through its uninstall entry.
std::vector<std::string> WriteUserData(const std::string& folder, const char* earlierProgram = nullptr);
// converted: the engine sets' old set name converted, as an upgrade leaves it.
void ExpectUserData(const std::string& folder, std::vector<std::string> userData, bool converted,
                    TCaller caller = Caller());

// Only data may be changed by users in the folders, by the access lists asked
// for since the server's trace had the length from (AccessTraceLength);
// earlier names folders an earlier setup left open to everyone.
size_t AccessTraceLength();
void ExpectOnlyDataWritable(const std::vector<std::string>& folders, size_t from,
                            const std::vector<std::string>& earlier, TCaller caller = Caller());

// The setup's bitmap drawn at (x, y) with black left transparent; maxX: the columns to look for its ink in.
void ExpectDrawnAt(HMODULE setup, LPCSTR name, int x, int y, int maxX, TCaller caller = Caller());

}  // namespace scenario
