// The string half of the file utilities: identical on every platform.
#include "FileUtils.h"

#include <cstring>

int ZStrLength(const char* text) {
  if (text == nullptr) return 0;
  return static_cast<int>(std::strlen(text));
}

std::string UpperAscii(const std::string& text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

int LastSeparatorPos(const char* separators, const std::string& text) {
  for (size_t i = text.size(); i > 0; --i) {
    const char c = text[i - 1];
    // strchr would also match the terminating zero: a NUL byte is never a separator.
    if (c != '\0' && std::strchr(separators, c) != nullptr) return static_cast<int>(i);
  }
  return 0;
}

std::string PathPart(const std::string& path) {
  return path.substr(0, static_cast<size_t>(LastSeparatorPos("\\:", path)));
}

std::string NamePart(const std::string& path) {
  return path.substr(static_cast<size_t>(LastSeparatorPos("\\:", path)));
}

std::string ExtensionPart(const std::string& path) {
  const int p = LastSeparatorPos(".\\:", path);
  if (p > 0 && path[static_cast<size_t>(p - 1)] == '.') return path.substr(static_cast<size_t>(p - 1));
  return std::string();
}

std::string ParentPart(const std::string& path) {
  const int p = LastSeparatorPos("\\:", path);
  std::string result = p > 1 ? path.substr(0, static_cast<size_t>(p - 1)) : std::string();
  while (!result.empty() && result.back() == '\\') result.pop_back();
  return result;
}

bool IsExistingFile(const std::string& path) { return FileDosTime(path) != kNoDosTime; }

void MakeFolderPath(const std::string& path) {
  if (path.empty()) return;
  std::string folder(path);
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (folder.size() < 3 || IsExistingFolder(folder)) return;
  const std::string parent = PathPart(folder);
  if (parent == folder) return;
  MakeFolderPath(parent);
  CreateFolder(folder);
}
