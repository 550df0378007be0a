// The string half of the file utilities: identical on every platform.
#include "FileUtils.h"

#include <cstring>

size_t NextCharacter(const std::string& text, size_t at, TLeadByteRule lead) {
  // Below 0x80 a byte is a character of its own in every ANSI code page.
  const unsigned char byte = static_cast<unsigned char>(text[at]);
  if (byte >= 0x80 && at + 1 < text.size() && text[at + 1] != '\0' && lead(byte)) return at + 2;
  return at + 1;
}

namespace {

bool IsBackslashAt(const std::string& text, size_t at, size_t next) { return next == at + 1 && text[at] == '\\'; }

// Where the last character of a non-empty text starts.
size_t LastCharacterStart(const std::string& text, TLeadByteRule lead) {
  size_t at = 0;
  for (size_t next; (next = NextCharacter(text, at, lead)) < text.size();) at = next;
  return at;
}

}  // namespace

char UpperAsciiLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperAscii(const std::string& text, TLeadByteRule lead) {
  std::string result(text);
  for (size_t at = 0, next; at < result.size(); at = next) {
    next = NextCharacter(result, at, lead);
    result[at] = UpperAsciiLetter(result[at]);
  }
  return result;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix, TLeadByteRule lead) {
  if (text.size() < suffix.size()) return false;
  const size_t from = text.size() - suffix.size();
  size_t at = 0;
  while (at < from) at = NextCharacter(text, at, lead);
  return at == from && UpperAscii(text.substr(from), lead) == UpperAscii(suffix, lead);
}

int LastSeparatorPos(const char* separators, const std::string& text, TLeadByteRule lead) {
  int found = 0;
  for (size_t at = 0, next; at < text.size(); at = next) {
    next = NextCharacter(text, at, lead);
    const char c = text[at];
    // strchr would also match the terminating zero: a NUL byte is never a separator.
    if (next == at + 1 && c != '\0' && std::strchr(separators, c) != nullptr) found = static_cast<int>(next);
  }
  return found;
}

size_t FindSeparator(const std::string& text, size_t from, TLeadByteRule lead) {
  for (size_t at = from, next; at < text.size(); at = next) {
    next = NextCharacter(text, at, lead);
    if (IsBackslashAt(text, at, next)) return at;
  }
  return std::string::npos;
}

std::string PathPart(const std::string& path, TLeadByteRule lead) {
  return path.substr(0, static_cast<size_t>(LastSeparatorPos("\\:", path, lead)));
}

std::string NamePart(const std::string& path, TLeadByteRule lead) {
  return path.substr(static_cast<size_t>(LastSeparatorPos("\\:", path, lead)));
}

std::string ExtensionPart(const std::string& path, TLeadByteRule lead) {
  const int p = LastSeparatorPos(".\\:", path, lead);
  if (p > 0 && path[static_cast<size_t>(p - 1)] == '.') return path.substr(static_cast<size_t>(p - 1));
  return std::string();
}

std::string ParentPart(const std::string& path, TLeadByteRule lead) {
  const int p = LastSeparatorPos("\\:", path, lead);
  return p > 1 ? WithoutTrailingBackslashes(path.substr(0, static_cast<size_t>(p - 1)), lead) : std::string();
}

bool EndsWithBackslash(const std::string& path, TLeadByteRule lead) {
  return !path.empty() && IsBackslashAt(path, LastCharacterStart(path, lead), path.size());
}

std::string WithoutTrailingBackslashes(const std::string& path, TLeadByteRule lead) {
  size_t keep = 0;
  for (size_t at = 0, next; at < path.size(); at = next) {
    next = NextCharacter(path, at, lead);
    if (!IsBackslashAt(path, at, next)) keep = next;
  }
  return path.substr(0, keep);
}

std::string WithoutOneTrailingBackslash(const std::string& path, TLeadByteRule lead) {
  return EndsWithBackslash(path, lead) ? path.substr(0, path.size() - 1) : path;
}

std::string JoinPath(const std::string& folder, const std::string& name, TLeadByteRule lead) {
  return EndsWithBackslash(folder, lead) ? folder + name : folder + "\\" + name;
}

std::string CollapseBackslashes(const std::string& text, TLeadByteRule lead) {
  std::string collapsed;
  collapsed.reserve(text.size());
  bool afterBackslash = false;
  for (size_t at = 0, next; at < text.size(); at = next) {
    next = NextCharacter(text, at, lead);
    const bool backslash = IsBackslashAt(text, at, next);
    if (!(backslash && afterBackslash)) collapsed.append(text, at, next - at);
    afterBackslash = backslash;
  }
  return collapsed;
}

TDosTimeParts DosTimeParts(TDosDateTime value) {
  const unsigned date = value >> 16, time = value & 0xFFFF;
  TDosTimeParts parts;
  parts.year = static_cast<int>((date >> 9) & 0x7F) + 1980;
  parts.month = static_cast<int>((date >> 5) & 0x0F);
  parts.day = static_cast<int>(date & 0x1F);
  parts.hour = static_cast<int>(time >> 11);
  parts.minute = static_cast<int>((time >> 5) & 0x3F);
  parts.second = static_cast<int>(time & 0x1F) * 2;
  return parts;
}

std::string ShortcutWorkingFolder(const std::string& target, TLeadByteRule lead) {
  std::string folder = target.substr(0, static_cast<size_t>(LastSeparatorPos("\\", target, lead)));
  // A root keeps its backslash: "C:" alone would mean the drive's current folder.
  if (folder.size() > 3) folder.pop_back();
  return folder;
}

bool PlanSharedFolder(const std::string& path, TSharedFolderPlan* plan, TLeadByteRule lead) {
  plan->prefixes.clear();
  plan->parent.clear();
  if (path.size() > kAnsiPathLimit) return false;
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

bool IsExistingFile(const std::string& path) { return FileDosTime(path) != kNoDosTime; }

void MakeFolderPath(const std::string& path, TLeadByteRule lead) {
  const std::string folder = WithoutTrailingBackslashes(path, lead);
  if (folder.size() < 3 || folder.size() > kPlatformPathLimit) return;
  // Up from the folder to the first one that exists, then down again creating
  // each: one pass each way, however many levels, with the ends as the only
  // memory besides the path. A parent ends before its last "\" and any run of
  // them; a bare drive ("C:") or nothing ends the walk.
  std::vector<size_t> missing;
  for (size_t end = folder.size(); end >= 3;) {
    const std::string part = folder.substr(0, end);
    if (IsExistingFolder(part)) break;
    missing.push_back(end);
    const std::string parent = PathPart(part, lead);
    end = parent.empty() || parent.back() == ':' ? 0 : WithoutTrailingBackslashes(parent, lead).size();
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
  bool ok = size >= 0 && size < kMaxByteCount;
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

TFileHandle CreateBesideFile(const std::string& path) {
  const std::string beside = BesidePath(path);
  if (PathKind(beside, false) == kPathLink)
    RemoveLink(beside);
  else
    DeleteFileName(beside);
  return CreateNewFile(beside);
}

bool WriteFileBeside(const std::string& path, const void* bytes, size_t count, TWriteBytes write) {
  const std::string beside = BesidePath(path);
  TFileHandle file = CreateBesideFile(path);
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
  if (ok) ok = ReplaceFilePath(beside, path);
  if (!ok) DeleteFilePath(beside);
  return ok;
}
