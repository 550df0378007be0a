#include "QueryFolder.h"

#include "TextFiles.h"

namespace twx {

const char kQueryFolderHeader[] = "Trawlmark Query Folder";

bool ParseQueryFolder(const std::string& bytes, TQueryFolder* folder) {
  *folder = TQueryFolder();
  if (!BeginsWith(bytes, kQueryFolderHeader)) return false;
  const std::vector<std::string> lines = SplitLines(bytes);
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (BeginsWith(line, "Name=")) {
      folder->name = line.substr(5);
    } else if (BeginsWith(line, "Query=")) {
      const std::string value = line.substr(6);
      const size_t bar = value.find('|');
      TQuery query;
      query.text = value.substr(0, bar);
      if (bar != std::string::npos) query.engineSet = value.substr(bar + 1);
      if (!query.text.empty()) folder->queries.push_back(query);
    }
  }
  return true;
}

std::string DescribeQueryFolder(const std::string& fileName, const TQueryFolder& folder) {
  std::string text = "Query folder: " + (folder.name.empty() ? fileName : folder.name) + "\r\n";
  text += "File: " + fileName + "\r\n\r\n";
  if (folder.queries.empty()) return text + "This query folder holds no queries yet.\r\n";
  text += std::to_string(folder.queries.size()) + (folder.queries.size() == 1 ? " query" : " queries") + ":\r\n";
  for (size_t i = 0; i < folder.queries.size(); ++i) {
    const TQuery& query = folder.queries[i];
    text += "  " + std::to_string(i + 1) + ". " + query.text + "   [" +
            (query.engineSet.empty() ? std::string("default engine set") : query.engineSet) + "]\r\n";
  }
  return text;
}

}  // namespace twx
