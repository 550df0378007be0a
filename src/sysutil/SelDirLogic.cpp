#include "SelDirLogic.h"

#include "FileUtils.h"

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  return UpperAscii(text.substr(text.size() - suffix.size())) == UpperAscii(suffix);
}

void RemoveOneTrailingBackslash(std::string* path) {
  if (!path->empty() && path->back() == '\\') path->pop_back();
}

bool IsHiddenOrSystem(uint32_t attributes) { return (attributes & (kAttrHidden | kAttrSystem)) != 0; }

}  // namespace

std::string AppendSubfolderName(const std::string& path, const std::string& subfolder) {
  if (UpperAscii(NamePart(path)) == UpperAscii(subfolder)) return path;
  if (!path.empty() && path.back() == '\\') return path + subfolder;
  return path + "\\" + subfolder;
}

std::string CollapseBackslashes(const std::string& text) {
  std::string collapsed;
  collapsed.reserve(text.size());
  for (char c : text) {
    if (c == '\\' && !collapsed.empty() && collapsed.back() == '\\') continue;
    collapsed += c;
  }
  return collapsed;
}

std::string ExistingStartFolder(const std::string& path, TFolderLookup lookup, void* context,
                                const std::string& currentFolder) {
  std::string folder = path;
  while (folder.size() >= 3) {
    RemoveOneTrailingBackslash(&folder);
    const uint32_t outcome = lookup(folder + "\\*.*", context);
    if (outcome == kLookupFound || outcome == kLookupFileNotFound) break;
    if (outcome != kLookupPathNotFound) {
      folder.clear();
      break;
    }
    // Missing: go on with the parent, cut just after its backslash.
    const size_t last = folder.rfind('\\');
    folder = last == std::string::npos ? std::string() : folder.substr(0, last + 1);
  }
  if (folder.size() == 2 && folder[1] == ':') return folder + "\\";
  if (folder.size() < 3) return currentFolder;
  return folder;
}

TFolderList BuildFolderList(const std::string& path, const std::string& subfolder,
                            const std::vector<TFolderEntry>& entries) {
  TFolderList list;
  size_t start = path.find('\\');
  start = start == std::string::npos ? path.size() : start + 1;
  list.items.push_back({path.substr(0, start), 0});
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) {
      const int index = static_cast<int>(list.items.size());
      list.items.push_back({path.substr(start, end - start), index * kFolderIndent});
    }
    start = end + 1;
  }
  list.currentLevel = static_cast<int>(list.items.size()) - 1;
  const int below = (list.currentLevel + 1) * kFolderIndent;

  std::string folder = path;
  RemoveOneTrailingBackslash(&folder);
  // A folder whose name merely ends with the subfolder name counts as the
  // destination here too, though AppendSubfolderName would still append it.
  if (EndsWithNoCase(folder, subfolder)) {
    list.items[list.currentLevel].data = -(list.currentLevel * kFolderIndent);
    list.label = "Destination f&older:";
  } else {
    list.items.push_back({subfolder, -below});
    list.label = "Destination f&older (\"" + subfolder + "\" will be added):";
  }
  for (const TFolderEntry& entry : entries) {
    if ((entry.attributes & kAttrDirectory) == 0 || IsHiddenOrSystem(entry.attributes)) continue;
    if (entry.name == "." || entry.name == "..") continue;
    if (UpperAscii(entry.name) == UpperAscii(subfolder)) continue;
    list.items.push_back({entry.name, below});
  }
  return list;
}

std::string SelectedFolderPath(const TFolderList& list, int selected) {
  if (selected < 0 || selected >= static_cast<int>(list.items.size())) return std::string();
  // Picking a component of the shown path means its parent's path plus it.
  int level = list.currentLevel;
  if (level >= selected) level = selected - 1;
  std::string path = list.items[selected].text;
  for (int i = level; i >= 0; --i) path = list.items[i].text + "\\" + path;
  // The root item ends with its backslash already.
  return CollapseBackslashes(path);
}

bool IsFullTypedPath(const std::string& text) {
  return text.size() >= 3 && (text[1] == ':' || text[0] == '\\');
}

std::string AcceptedFolder(const std::string& fullPath) {
  std::string folder = fullPath;
  RemoveOneTrailingBackslash(&folder);
  return folder;
}

std::string InvalidFolderMessage(const std::string& text) {
  return "The specified folder \"" + text + "\" is invalid.\r\rPlease, enter a full path with drive letter.";
}

std::string MissingFolderQuestion(const std::string& folder) {
  return "The folder \"" + folder + "\" does not exist.\r\rDo you want the folder to be created?";
}
