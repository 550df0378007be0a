#include "GlobalLogic.h"

#include <cstdio>

bool IsXpOrLater(uint32_t majorVersion, uint32_t minorVersion) {
  return majorVersion > 5 || (majorVersion == 5 && minorVersion >= 1);
}

std::string StampYear(const std::string& text, int year) {
  std::string stamped = text;
  const size_t at = stamped.find("YYYY");
  if (at == std::string::npos) return stamped;
  // At least four characters; a year beyond 9999 loses its last digits.
  char field[16];
  std::snprintf(field, sizeof field, "%4d", year);
  stamped.replace(at, 4, field, 4);
  return stamped;
}

std::string UnquoteUninstallString(const std::string& text) {
  std::string command = text;
  if (!command.empty() && command.front() == '"') command.erase(0, 1);
  if (!command.empty() && command.back() == '"') command.pop_back();
  return command;
}

int BrowserMajorVersionOf(const std::string& version) {
  const std::string major = version.substr(0, version.find('.'));
  if (major.empty() || major.size() > 9) return 0;
  int value = 0;
  for (char c : major) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}
