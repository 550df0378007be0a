// The rules of the system utilities that need nothing of the system: how a
// shortcut's working folder, the parents of a shared folder, the year of the
// welcome text, an uninstall command and the browser's version are read from
// text. Portable, so that they are tested natively as well as under Wine.
#pragma once

#include <string>
#include <vector>

#include "FileUtils.h"

// Paths are limited to MAX_PATH (260) bytes with the terminating zero.
const size_t kMaxPathLength = 259;

// A shortcut's working folder: the target's folder without its final "\", or
// the drive root with it (C:\Trawlix.exe gives C:\).
std::string ShortcutWorkingFolder(const std::string& target, TLeadByteRule lead = IsAnsiLeadByte);

// What must exist before a shared folder can be created.
struct TSharedFolderPlan {
  // Every prefix of the path that ends at a separator followed by more of the
  // path, with "/" written as "\", outermost first (C:\, C:\A\, C:\A\B\ for
  // C:\A\B\C). Each is created plainly when it is missing.
  std::vector<std::string> prefixes;
  // The folder that hands its access list down: the path cut at its last "\"
  // (C: alone for a folder directly below a drive root); empty without one.
  std::string parent;
};
// False, with nothing planned, for a path longer than kMaxPathLength.
bool PlanSharedFolder(const std::string& path, TSharedFolderPlan* plan, TLeadByteRule lead = IsAnsiLeadByte);

// Overwrites the first "YYYY" with the year, right-aligned in four characters.
// A text without the placeholder is returned unchanged.
std::string StampYear(const std::string& text, int year);

// An uninstall command without one leading and one trailing double quote.
std::string UnquoteUninstallString(const std::string& text);

// The number before the first "." of a version text (11.0.9600.17842 gives 11);
// 0 when that part is not a decimal number.
int BrowserMajorVersionOf(const std::string& version);
