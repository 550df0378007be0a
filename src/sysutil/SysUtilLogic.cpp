#include "SysUtilLogic.h"

#include <cstdio>

#include "FileUtils.h"

std::string ShortcutWorkingFolder(const std::string& target, TLeadByteRule lead) {
  std::string folder = target.substr(0, static_cast<size_t>(LastSeparatorPos("\\", target, lead)));
  // A root keeps its backslash: "C:" alone would mean the drive's current folder.
  if (folder.size() > 3) folder.pop_back();
  return folder;
}

bool PlanSharedFolder(const std::string& path, TSharedFolderPlan* plan, TLeadByteRule lead) {
  plan->prefixes.clear();
  plan->parent.clear();
  if (path.size() > kMaxPathLength) return false;
  std::string buffer;
  buffer.reserve(path.size());
  for (size_t at = 0, next; at < path.size(); at = next) {
    next = NextCharacter(path, at, lead);
    const char c = path[at];
    if (next == at + 1 && (c == '\\' || c == '/')) {
      buffer += '\\';
      if (next < path.size()) plan->prefixes.push_back(buffer);
    } else {
      buffer.append(path, at, next - at);
    }
  }
  const int last = LastSeparatorPos("\\", buffer, lead);
  if (last > 0) plan->parent = buffer.substr(0, static_cast<size_t>(last - 1));
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
