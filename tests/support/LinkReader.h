// Reads a shortcut file back as the shell reads it: through the shell-link
// object and IPersistFile::Load.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

namespace twxtest {

struct TLinkInfo {
  bool loaded = false;
  std::string target, workingFolder, description;
  WORD hotKey = 0xFFFF;
};

TLinkInfo ReadLink(const std::string& file);

}  // namespace twxtest

#endif
