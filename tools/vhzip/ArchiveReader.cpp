#include "ArchiveReader.h"

#include <cstdio>
#include <cstring>

#include "CRC_32.h"
#include "Encript.h"
#include "FileIO.h"
#include "FileUtils.h"
#include "PayloadLocation.h"
#include "VhUnZip.h"

using namespace vhz;

int64_t FindArchiveOffset(const uint8_t* file, size_t size) { return FindMarker(file, size); }

namespace {

struct TBodyCursor {
  const TBytes* body;
  int64_t at;
};

int32_t BodyRead(void* buffer, int32_t count, void* user) {
  TBodyCursor* cursor = static_cast<TBodyCursor*>(user);
  if (count > static_cast<int64_t>(cursor->body->size()) - cursor->at) return kExtractBadEntry;
  if (count > 0) std::memcpy(buffer, cursor->body->data() + cursor->at, static_cast<size_t>(count));
  cursor->at += count;
  return kExtractOk;
}

}  // namespace

namespace {

bool BodyCheckMatches(const uint8_t* archive, size_t size, const std::string& passPhrase) {
  if (size < static_cast<size_t>(kBodyCheckSize)) return false;
  TBytes body(archive, archive + size - kBodyCheckSize);
  TKeystream keystream = InitKeystream(passPhrase);
  ApplyKeystream(&keystream, body.data(), static_cast<int32_t>(body.size()));
  return UpdateCrc32(body.data(), static_cast<int32_t>(body.size()), kCheckStart) == GetU32(archive + body.size());
}

}  // namespace

bool SignedAfterUnalignedBundle(const uint8_t* file, size_t size, int64_t offset, int64_t end,
                                const std::string& passPhrase) {
  if (offset <= 0 || end <= offset || end >= static_cast<int64_t>(size)) return false;
  for (int64_t zeros = 1; zeros < 8 && file[end - zeros] == 0; ++zeros) {
    if (BodyCheckMatches(file + offset, static_cast<size_t>(end - zeros - offset), passPhrase)) return true;
  }
  return false;
}

bool ReadArchive(const uint8_t* archive, size_t size, const std::string& passPhrase, TBytes* body,
                 std::vector<TArchiveEntry>* entries, std::string* error) {
  entries->clear();
  body->clear();
  if (size < static_cast<size_t>(kBodyCheckSize) || size >= static_cast<size_t>(kMaxByteCount)) {
    *error = "not a payload archive (too short or too long)";
    return false;
  }
  const size_t bodySize = size - kBodyCheckSize;
  body->assign(archive, archive + bodySize);
  TKeystream keystream = InitKeystream(passPhrase);
  ApplyKeystream(&keystream, body->data(), static_cast<int32_t>(bodySize));
  // The records are walked by the extraction's own rule, also when the check
  // value fails, so that a listing shows what could be read.
  std::string walkError;
  TBodyCursor cursor = {body, 0};
  while (walkError.empty() && MoreEntries(cursor.at, static_cast<int64_t>(bodySize))) {
    const int64_t at = cursor.at;
    TEntryRecord record;
    if (ReadEntryRecord(BodyRead, &cursor, at, static_cast<int64_t>(bodySize), &record) != kExtractOk) {
      walkError = "damaged entry record at body offset " + std::to_string(at);
      break;
    }
    TArchiveEntry e;
    e.name = record.name;
    e.fields = record.fields;
    e.dataOffset = static_cast<size_t>(cursor.at);
    cursor.at += record.fields.dataLength;
    entries->push_back(e);
  }
  const uint32_t stored = GetU32(archive + bodySize);
  if (UpdateCrc32(body->data(), static_cast<int32_t>(bodySize), kCheckStart) != stored) {
    *error = "not a payload archive, or a damaged one (the body check value does not match)";
    return false;
  }
  *error = walkError;
  return walkError.empty();
}

namespace {

std::string AttributeLetters(uint32_t a) {
  std::string s = "----";
  if (a & 0x01) s[0] = 'R';
  if (a & 0x02) s[1] = 'H';
  if (a & 0x04) s[2] = 'S';
  if (a & 0x20) s[3] = 'A';
  return s;
}

std::string DosTimeText(uint32_t v) {
  if (v == kNoDosTime) return "(no time)          ";
  const TDosTimeParts t = DosTimeParts(v);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

}  // namespace

std::string EscapedName(const std::string& name) {
  std::string out;
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", u);
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatListing(const std::vector<TArchiveEntry>& entries) {
  std::string out = "    Length  Attr  Date       Time          Stored  Name\n";
  uint64_t length = 0, stored = 0;
  char line[128];
  for (const TArchiveEntry& e : entries) {
    std::snprintf(line, sizeof line, "%10u  %s  %s  %10u  ", e.fields.fileLength,
                  AttributeLetters(e.fields.attributes).c_str(), DosTimeText(e.fields.dosDateTime).c_str(),
                  e.fields.dataLength);
    out += line + EscapedName(e.name) + "\n";
    length += e.fields.fileLength;
    stored += e.fields.dataLength;
  }
  std::snprintf(line, sizeof line, "%10llu  %u entries%*s%10llu\n", static_cast<unsigned long long>(length),
                static_cast<unsigned>(entries.size()), 17, "", static_cast<unsigned long long>(stored));
  out += line;
  return out;
}
