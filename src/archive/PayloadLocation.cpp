#include "PayloadLocation.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ArchiveFormat.h"
#include "FileUtils.h"

namespace {

const int32_t kScanChunk = 65536;

std::string gPayloadMarker;

// The image header's fields that lead to the certificate table.
const uint32_t kPeHeaderOffsetField = 0x3C;  // in the DOS header
const int32_t kPeSignatureSize = 4;           // "PE\0\0"
const int32_t kCoffHeaderSize = 20;
const int32_t kOptionalHeaderSizeField = 16;  // in the COFF header
const uint16_t kPe32Magic = 0x10B;
const uint16_t kPe32PlusMagic = 0x20B;
// Where the count of data directory entries and the entries themselves start
// in the optional header, for PE32 and PE32+.
const uint32_t kDirectoryCountField32 = 92, kDirectoryCountField64 = 108;
const uint32_t kSecurityEntry = 4;  // the fifth entry; its address is a file offset
const uint32_t kDirectoryEntrySize = 8;

bool Fits(size_t size, uint64_t at, uint64_t length) { return at <= size && length <= size - at; }

// What work gives for the file opened for reading; failure when it cannot be opened.
template <typename TResult, typename TWork>
TResult WithFileOpen(const std::string& path, TResult failure, TWork work) {
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return failure;
  const TResult result = work(file);
  CloseFile(file);
  return result;
}

int64_t ArchiveOffsetIn(TFileHandle file, TMessagePump pump) {
  const int64_t size = FileSize(file);
  std::vector<uint8_t> chunk(kScanChunk);
  int64_t position = 0, found = 0;
  bool failed = size < 0;
  while (!failed && position < size) {
    Pump(pump);
    // Step back by the marker's length, so that a marker straddling two
    // chunks is whole in the later one.
    if (position > 0) position -= vhz::kPayloadMarkerLength;
    int32_t got = 0;
    if (!SeekFile(file, position) || !ReadFileBytes(file, chunk.data(), kScanChunk, &got) || got <= 0) {
      failed = true;
      break;
    }
    const int64_t end = FindMarker(chunk.data(), static_cast<size_t>(got));
    if (end > 0) {
      found = position + end;
      break;
    }
    position += got;
  }
  return failed ? -1 : found;
}

int64_t ArchiveEndIn(TFileHandle file, int64_t archiveOffset) {
  const int64_t size = FileSize(file);
  std::vector<uint8_t> head(kScanChunk);
  int32_t got = 0;
  const bool read = size >= 0 && SeekFile(file, 0) && ReadFileBytes(file, head.data(), kScanChunk, &got);
  return read ? ArchiveEnd(head.data(), static_cast<size_t>(got), archiveOffset, size) : -1;
}

bool CopyArchiveBetween(TFileHandle source, int64_t offset, int64_t end, const std::string& archivePath,
                        TMessagePump pump) {
  // The destination folder may hold anything under this name, a link to a
  // file elsewhere too: that name goes, and the new file is made exclusively.
  if (!DeleteFileName(archivePath)) RemoveLink(archivePath);
  TFileHandle target = CreateNewFile(archivePath);
  std::vector<uint8_t> chunk(kScanChunk);
  bool ok = target != kNoFile && SeekFile(source, offset);
  for (int64_t position = offset; ok && position < end;) {
    Pump(pump);
    int32_t got = 0;
    if (!ReadFileBytes(source, chunk.data(), static_cast<int32_t>(std::min<int64_t>(kScanChunk, end - position)),
                       &got))
      ok = false;
    if (!ok || got == 0) break;
    ok = WriteFileBytes(target, chunk.data(), got);
    position += got;
  }
  if (target != kNoFile && !CloseFile(target)) ok = false;
  return ok;
}

}  // namespace

void PreparePayloadMarker() { gPayloadMarker = UpperAscii(vhz::kPayloadMarkerLower); }

const std::string& PayloadMarker() {
  if (gPayloadMarker.empty()) PreparePayloadMarker();
  return gPayloadMarker;
}

int64_t FindMarker(const uint8_t* data, size_t size) {
  const std::string& marker = PayloadMarker();
  const size_t n = marker.size();
  for (size_t i = 0; i + n <= size; ++i) {
    const void* hit = std::memchr(data + i, marker[0], size - n + 1 - i);
    if (hit == nullptr) break;
    i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
    if (std::memcmp(data + i, marker.data(), n) == 0) return static_cast<int64_t>(i + n);
  }
  return 0;
}

int64_t FindArchiveOffset(const std::string& path, TMessagePump pump) {
  return WithFileOpen<int64_t>(path, -1, [pump](TFileHandle file) { return ArchiveOffsetIn(file, pump); });
}

bool IsExecutableImage(const uint8_t* head, size_t size) { return size >= 2 && head[0] == 'M' && head[1] == 'Z'; }

int64_t ArchiveEnd(const uint8_t* head, size_t headSize, int64_t archiveOffset, int64_t fileSize) {
  if (archiveOffset <= 0 || !Fits(headSize, 0, kPeHeaderOffsetField + 4) || !IsExecutableImage(head, headSize))
    return fileSize;
  const uint64_t pe = GetU32(head + kPeHeaderOffsetField);
  if (!Fits(headSize, pe, kPeSignatureSize + kCoffHeaderSize + 2) || std::memcmp(head + pe, "PE\0\0", 4) != 0)
    return fileSize;
  const uint64_t optional = pe + kPeSignatureSize + kCoffHeaderSize;
  const uint32_t optionalSize = GetU16(head + pe + kPeSignatureSize + kOptionalHeaderSizeField);
  const uint16_t magic = GetU16(head + optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return fileSize;
  const uint32_t countField = magic == kPe32Magic ? kDirectoryCountField32 : kDirectoryCountField64;
  const uint32_t entry = countField + 4 + kSecurityEntry * kDirectoryEntrySize;
  if (entry + kDirectoryEntrySize > optionalSize || !Fits(headSize, optional, entry + kDirectoryEntrySize) ||
      GetU32(head + optional + countField) <= kSecurityEntry)
    return fileSize;
  const int64_t table = GetU32(head + optional + entry);
  const int64_t tableSize = GetU32(head + optional + entry + 4);
  if (table <= archiveOffset || tableSize == 0 || table + tableSize > fileSize) return fileSize;
  return table;
}

int64_t FindArchiveEnd(const std::string& path, int64_t archiveOffset) {
  return WithFileOpen<int64_t>(path, -1,
                               [archiveOffset](TFileHandle file) { return ArchiveEndIn(file, archiveOffset); });
}

bool CopyArchiveOutOf(TFileHandle source, const std::string& archivePath, TMessagePump pump) {
  const int64_t offset = ArchiveOffsetIn(source, pump);
  const int64_t end = offset >= 0 ? ArchiveEndIn(source, offset) : -1;
  return end >= 0 && CopyArchiveBetween(source, offset, end, archivePath, pump);
}

bool CopyArchiveOut(const std::string& sourcePath, const std::string& archivePath, TMessagePump pump) {
  return WithFileOpen(sourcePath, false,
                      [&](TFileHandle source) { return CopyArchiveOutOf(source, archivePath, pump); });
}

bool CopyArchiveFrom(const std::string& sourcePath, int64_t offset, int64_t end, const std::string& archivePath,
                     TMessagePump pump) {
  return WithFileOpen(sourcePath, false,
                      [&](TFileHandle source) { return CopyArchiveBetween(source, offset, end, archivePath, pump); });
}
