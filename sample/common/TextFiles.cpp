#include "TextFiles.h"

#include "FileUtils.h"

namespace twx {

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return false;
  const int64_t size = FileSize(file);
  bool ok = size >= 0 && size <= kMaxFileSize;
  if (ok) {
    bytes->resize(static_cast<size_t>(size));
    int32_t done = 0;
    while (ok && done < size) {
      int32_t delivered = 0;
      ok = ReadFileBytes(file, &(*bytes)[done], static_cast<int32_t>(size - done), &delivered) && delivered > 0;
      done += delivered;
    }
  }
  CloseFile(file);
  if (!ok) bytes->clear();
  return ok;
}

bool BeginsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const std::string& line : SplitLines(text)) out += line + "\r\n";
  return out;
}

std::vector<std::string> CommandArguments(const char* commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, inWord = false;
  for (const char* p = commandLine ? commandLine : ""; *p; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((*p == ' ' || *p == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += *p;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  if (!words.empty()) words.erase(words.begin());  // the program itself
  return words;
}

std::string ProgramFolder() { return ParentPart(OwnModulePath()); }

}  // namespace twx
