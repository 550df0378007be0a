// Which entry names the extraction writes: a name must lead below the
// destination folder and to an ordinary file there. The packer refuses to
// write an archive with any other name by the same rule.
#pragma once

#include <string>

#include "FileUtils.h"

// False for a name that could write outside the destination folder or somewhere
// unexpected: empty, absolute, with a drive, a ":", a "/", a control character,
// an empty, "." / ".." or dots-and-blanks component, or a device name (also
// with blanks or dots before its extension, "CONIN$", "CONOUT$", "CLOCK$",
// COM and LPT with 0 to 9 or a superscript 1, 2 or 3). Components are split
// where the system will split them: at the backslashes that are characters
// of the ANSI code page.
bool IsSafeEntryName(const std::string& name, TLeadByteRule lead = IsAnsiLeadByte);
