// Query folder files (".twx"): a header line, then "Key=Value" lines. Each
// "Query=" line holds the search text and, after a "|", the engine set to use.
#pragma once

#include <string>
#include <vector>

namespace twx {

extern const char kQueryFolderHeader[];  // "Trawlmark Query Folder"

struct TQuery {
  std::string text;
  std::string engineSet;  // empty: the user's default set
};

struct TQueryFolder {
  std::string name;
  std::vector<TQuery> queries;
};

// False when the bytes do not begin with the header; unknown keys are skipped.
bool ParseQueryFolder(const std::string& bytes, TQueryFolder* folder);

// The text the main window shows for an opened query folder.
std::string DescribeQueryFolder(const std::string& fileName, const TQueryFolder& folder);

}  // namespace twx
