// The folder browser's path logic, apart from its window: walking up to a folder
// that exists, the items of the folder list, the folder an item stands for, the
// checks of a typed path and the texts shown. Portable, tested natively too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FileUtils.h"

// The system's answers to a folder look-up ("folder\*.*") that the logic tells apart.
const uint32_t kLookupFound = 0;
const uint32_t kLookupFileNotFound = 2;  // the folder exists but is empty (a drive root)
const uint32_t kLookupPathNotFound = 3;  // the folder does not exist

// An item of the folder list, indented by its level (6 pixels a level); a
// negative indentation marks the destination item, the folder the product
// goes into.
struct TFolderItem {
  std::string text;
  int indent;
};

// A folder found by the enumeration: its name and attribute bits.
struct TFolderEntry {
  std::string name;
  uint32_t attributes;
};

struct TFolderList {
  std::vector<TFolderItem> items;
  int currentLevel;   // index of the item that stands for the folder shown
  std::string label;  // text of the label above the path field
};

// Every rule below steps through paths by the characters of the code page
// whose lead bytes lead gives: the system's ANSI one unless a test says.

// path + "\" + subfolder, unless the path's last component already is the
// subfolder (letter case aside); a path ending in "\" gets no second one.
std::string AppendSubfolderName(const std::string& path, const std::string& subfolder,
                                TLeadByteRule lead = IsAnsiLeadByte);

// Walks up from path to the nearest folder whose look-up (lookup(folder +
// "\*.*")) finds it; a bare drive gets its backslash back, and a path that
// cannot be resolved at all gives currentFolder.
typedef uint32_t (*TFolderLookup)(const std::string& pattern, void* context);
std::string ExistingStartFolder(const std::string& path, TFolderLookup lookup, void* context,
                                const std::string& currentFolder, TLeadByteRule lead = IsAnsiLeadByte);

// The list for a folder: its components from the root down (open folders), the
// destination item, then the subfolders in the order found (closed folders;
// hidden, system, "." and ".." and the subfolder name itself left out).
TFolderList BuildFolderList(const std::string& path, const std::string& subfolder,
                            const std::vector<TFolderEntry>& entries, TLeadByteRule lead = IsAnsiLeadByte);

// The folder the item at index selected stands for: a component of the shown
// path gives that ancestor, any other item the shown folder + "\" + its text.
// Empty for an index outside the list.
std::string SelectedFolderPath(const TFolderList& list, int selected, TLeadByteRule lead = IsAnsiLeadByte);

// A typed path is taken when it has at least 3 characters and a drive letter
// with colon or a leading backslash.
bool IsFullTypedPath(const std::string& text);
// The accepted folder from the typed text after the system made it full: one
// trailing backslash removed (a drive root gives the bare drive, "C:").
std::string AcceptedFolder(const std::string& fullPath, TLeadByteRule lead = IsAnsiLeadByte);

std::string InvalidFolderMessage(const std::string& text);
std::string MissingFolderQuestion(const std::string& folder);
