#include "ArchiveReader.h"

#include <cstdio>
#include <cstring>

#include "CRC_32.h"
#include "Encript.h"

using namespace vhz;

int64_t FindArchiveOffset(const uint8_t* file, size_t size) {
  const size_t n = static_cast<size_t>(kPayloadMarkerLength);
  if (size < n) return 0;
  for (size_t i = 0; i + n <= size; ++i) {
    const void* hit = std::memchr(file + i, kPayloadMarker[0], size - n + 1 - i);
    if (hit == nullptr) break;
    i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - file);
    if (std::memcmp(file + i, kPayloadMarker, n) == 0) return static_cast<int64_t>(i + n);
  }
  return 0;
}

bool ReadArchive(const uint8_t* archive, size_t size, const std::string& passPhrase, TBytes* body,
                 std::vector<TArchiveEntry>* entries, std::string* error) {
  entries->clear();
  if (size < static_cast<size_t>(kBodyCheckSize) || size >= 0x7FFFFFFFu) {
    *error = "not a payload archive (too short or too long)";
    return false;
  }
  size_t bodySize = size - kBodyCheckSize;
  body->assign(archive, archive + bodySize);
  InitKeystream(passPhrase);
  ApplyKeystream(body->data(), static_cast<int32_t>(bodySize));
  uint32_t stored = GetU32(archive + bodySize);
  if (UpdateCrc32(body->data(), static_cast<int32_t>(bodySize), kCheckStart) != stored) {
    *error = "not a payload archive, or a damaged one (the body check value does not match)";
    return false;
  }
  size_t at = 0;
  while (at < bodySize) {
    if (bodySize - at < static_cast<size_t>(kEntryNameLengthSize)) {
      *error = "entry record cut short at body offset " + std::to_string(at);
      return false;
    }
    size_t nameLength = GetU16(body->data() + at);
    size_t fixedEnd = at + kEntryFixedSize + nameLength;
    if (nameLength == 0 || fixedEnd > bodySize) {
      *error = "damaged entry record at body offset " + std::to_string(at);
      return false;
    }
    TArchiveEntry e;
    e.name.assign(reinterpret_cast<const char*>(body->data() + at + kEntryNameLengthSize), nameLength);
    e.fields = GetEntryFields(body->data() + at + kEntryNameLengthSize + nameLength);
    e.dataOffset = fixedEnd;
    if (e.fields.dataLength > bodySize - fixedEnd) {
      *error = "the data of '" + e.name + "' runs past the end of the archive";
      return false;
    }
    at = fixedEnd + e.fields.dataLength;
    entries->push_back(e);
  }
  return true;
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
  if (v == 0xFFFFFFFFu) return "(no time)          ";
  unsigned date = v >> 16, time = v & 0xFFFF;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980, (date >> 5) & 15,
                date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
  return text;
}

}  // namespace

std::string FormatListing(const std::vector<TArchiveEntry>& entries) {
  std::string out = "    Length  Attr  Date       Time          Stored  Name\n";
  uint64_t length = 0, stored = 0;
  char line[128];
  for (const TArchiveEntry& e : entries) {
    std::snprintf(line, sizeof line, "%10u  %s  %s  %10u  ", e.fields.fileLength,
                  AttributeLetters(e.fields.attributes).c_str(), DosTimeText(e.fields.dosDateTime).c_str(),
                  e.fields.dataLength);
    out += line + e.name + "\n";
    length += e.fields.fileLength;
    stored += e.fields.dataLength;
  }
  std::snprintf(line, sizeof line, "%10llu  %u entries%*s%10llu\n", static_cast<unsigned long long>(length),
                static_cast<unsigned>(entries.size()), 17, "", static_cast<unsigned long long>(stored));
  out += line;
  return out;
}
