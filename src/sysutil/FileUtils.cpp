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

// The end of the folder name that holds the one ending at end: before its last
// "\\" and any run of them; 0 at a bare drive ("C:") or at the start.
static size_t ParentEnd(const std::string& path, size_t end) {
  const size_t separator = path.find_last_of("\\:", end - 1);
  if (separator == std::string::npos || path[separator] == ':') return 0;
  size_t parent = separator;
  while (parent > 0 && path[parent - 1] == '\\') --parent;
  return parent;
}

void MakeFolderPath(const std::string& path) {
  std::string folder(path);
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (folder.size() < 3 || folder.size() > kPlatformPathLimit) return;
  // Up from the folder to the first one that exists, then down again creating
  // each: one pass each way, however many levels, with the ends as the only
  // memory besides the path.
  std::vector<size_t> missing;
  for (size_t end = folder.size(); end >= 3;) {
    if (IsExistingFolder(folder.substr(0, end))) break;
    missing.push_back(end);
    end = ParentEnd(folder, end);
  }
  for (size_t i = missing.size(); i > 0; --i) CreateFolder(folder.substr(0, missing[i - 1]));
}

namespace {

template <typename TContainer>
bool ReadWholeFileInto(const std::string& path, TContainer* bytes) {
  bytes->clear();
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return false;
  const int64_t size = FileSize(file);
  bool ok = size >= 0 && size < 0x7FFFFFFF;
  if (ok) bytes->resize(static_cast<size_t>(size));
  for (int64_t done = 0; ok && done < size;) {
    int32_t delivered = 0;
    const int32_t ask = static_cast<int32_t>(size - done < (1 << 24) ? size - done : (1 << 24));
    ok = ReadFileBytes(file, &(*bytes)[static_cast<size_t>(done)], ask, &delivered) && delivered > 0;
    done += delivered;
  }
  if (!CloseFile(file)) ok = false;
  if (!ok) bytes->clear();
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* bytes) { return ReadWholeFileInto(path, bytes); }
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) { return ReadWholeFileInto(path, bytes); }

bool WriteFileBeside(const std::string& path, const void* bytes, size_t count, TWriteBytes write) {
  // Beside the file, so that the move below stays on one volume.
  const std::string temporary = path + ".$$$";
  DeleteFilePath(temporary);
  TFileHandle file = CreateNewFile(temporary);
  if (file == kNoFile) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < count;) {
    const int32_t piece = static_cast<int32_t>(count - done < (1u << 24) ? count - done : (1u << 24));
    ok = write(file, static_cast<const uint8_t*>(bytes) + done, piece);
    done += static_cast<size_t>(piece);
  }
  // On the disk before it takes the old file's place: after a power cut the
  // name holds the old bytes or the new ones, never a file that was not written.
  if (ok) ok = FlushFile(file);
  if (!CloseFile(file)) ok = false;
  if (ok) ok = ReplaceFilePath(temporary, path);
  if (!ok) DeleteFilePath(temporary);
  return ok;
}
