#include "SysUtilLogic.h"

#include <cstdio>

std::string ShortcutWorkingFolder(const std::string& target) {
  std::string folder = target;
  while (!folder.empty() && folder.back() != '\\') folder.pop_back();
  // A root keeps its backslash: "C:" alone would mean the drive's current folder.
  if (folder.size() > 3) folder.pop_back();
  return folder;
}

bool PlanSharedFolder(const std::string& path, TSharedFolderPlan* plan) {
  plan->prefixes.clear();
  plan->parent.clear();
  if (path.size() > kMaxPathLength) return false;
  std::string buffer;
  buffer.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (c == '\\' || c == '/') {
      buffer += '\\';
      if (i + 1 < path.size()) plan->prefixes.push_back(buffer);
    } else {
      buffer += c;
    }
  }
  const size_t last = buffer.rfind('\\');
  if (last != std::string::npos) plan->parent = buffer.substr(0, last);
  return true;
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
