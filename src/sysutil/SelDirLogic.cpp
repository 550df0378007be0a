#include "SelDirLogic.h"

#include "FileUtils.h"
#include "Texts.h"

namespace {

// Pixels of indentation per level of the folder list.
const int kFolderIndent = 6;

bool IsHiddenOrSystem(uint32_t attributes) { return (attributes & (kAttrHidden | kAttrSystem)) != 0; }

}  // namespace

std::string AppendSubfolderName(const std::string& path, const std::string& subfolder, TLeadByteRule lead) {
  if (UpperAscii(NamePart(path, lead), lead) == UpperAscii(subfolder, lead)) return path;
  return JoinPath(path, subfolder, lead);
}

std::string ExistingStartFolder(const std::string& path, TFolderLookup lookup, void* context,
                                const std::string& currentFolder, TLeadByteRule lead) {
  std::string folder = path;
  while (folder.size() >= 3) {
    folder = WithoutOneTrailingBackslash(folder, lead);
    const uint32_t outcome = lookup(folder + "\\*.*", context);
    if (outcome == kLookupFound || outcome == kLookupFileNotFound) break;
    if (outcome != kLookupPathNotFound) {
      folder.clear();
      break;
    }
    // Missing: go on with the parent, cut just after its backslash.
    folder = folder.substr(0, static_cast<size_t>(LastSeparatorPos("\\", folder, lead)));
  }
  if (folder.size() == 2 && folder[1] == ':') return folder + "\\";
  if (folder.size() < 3) return currentFolder;
  return folder;
}

TFolderList BuildFolderList(const std::string& path, const std::string& subfolder,
                            const std::vector<TFolderEntry>& entries, TLeadByteRule lead) {
  TFolderList list;
  size_t start = FindSeparator(path, 0, lead);
  start = start == std::string::npos ? path.size() : start + 1;
  list.items.push_back({path.substr(0, start), 0});
  while (start < path.size()) {
    size_t end = FindSeparator(path, start, lead);
    if (end == std::string::npos) end = path.size();
    if (end > start) {
      const int index = static_cast<int>(list.items.size());
      list.items.push_back({path.substr(start, end - start), index * kFolderIndent});
    }
    start = end + 1;
  }
  list.currentLevel = static_cast<int>(list.items.size()) - 1;
  const int below = (list.currentLevel + 1) * kFolderIndent;

  // A folder whose name merely ends with the subfolder name counts as the
  // destination here too, though AppendSubfolderName would still append it.
  if (EndsWithNoCase(WithoutOneTrailingBackslash(path, lead), subfolder, lead)) {
    list.items[list.currentLevel].indent = -(list.currentLevel * kFolderIndent);
    list.label = kLabelDestinationFolder;
  } else {
    list.items.push_back({subfolder, -below});
    list.label = kLabelSubfolderAddedPrefix + subfolder + kLabelSubfolderAddedSuffix;
  }
  for (const TFolderEntry& entry : entries) {
    if ((entry.attributes & kAttrDirectory) == 0 || IsHiddenOrSystem(entry.attributes)) continue;
    if (entry.name == "." || entry.name == "..") continue;
    if (UpperAscii(entry.name, lead) == UpperAscii(subfolder, lead)) continue;
    list.items.push_back({entry.name, below});
  }
  return list;
}

std::string SelectedFolderPath(const TFolderList& list, int selected, TLeadByteRule lead) {
  if (selected < 0 || selected >= static_cast<int>(list.items.size())) return std::string();
  // Picking a component of the shown path means its parent's path plus it.
  int level = list.currentLevel;
  if (level >= selected) level = selected - 1;
  std::string path = list.items[selected].text;
  for (int i = level; i >= 0; --i) path = list.items[i].text + "\\" + path;
  // The root item ends with its backslash already.
  return CollapseBackslashes(path, lead);
}

bool IsFullTypedPath(const std::string& text) {
  return text.size() >= 3 && (text[1] == ':' || text[0] == '\\');
}

std::string AcceptedFolder(const std::string& fullPath, TLeadByteRule lead) {
  return WithoutOneTrailingBackslash(fullPath, lead);
}

std::string InvalidFolderMessage(const std::string& text) {
  return kMessageInvalidFolderPrefix + text + kMessageInvalidFolderSuffix;
}

std::string MissingFolderQuestion(const std::string& folder) {
  return kQuestionCreateFolderPrefix + folder + kQuestionCreateFolderSuffix;
}
