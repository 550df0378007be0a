// The rules of the environment probes that need nothing of the system: the
// Windows versions the setup tells apart, and how the year of the welcome
// text, an uninstall command and the browser's version are read from text.
// Portable, so that they are tested natively as well as under Wine.
#pragma once

#include <cstdint>
#include <string>

// Windows XP (5.1) and later, by the version the system reports.
bool IsXpOrLater(uint32_t majorVersion, uint32_t minorVersion);

// Overwrites the first "YYYY" with the year, right-aligned in four characters.
// A text without the placeholder is returned unchanged.
std::string StampYear(const std::string& text, int year);

// An uninstall command without one leading and one trailing double quote.
std::string UnquoteUninstallString(const std::string& text);

// The number before the first "." of a version text (11.0.9600.17842 gives 11);
// 0 when that part is not a decimal number.
int BrowserMajorVersionOf(const std::string& version);
