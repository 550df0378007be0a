#include "VhUnZip.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "CRC_32.h"
#include "Encript.h"
#include "FileIO.h"
#include "FileUtils.h"

namespace {

const int32_t kScanChunk = 65536;
const int32_t kDescrambleChunk = 12596;
const char kArchiveExtension[] = ".vhz";
// The name an entry is written under beside an earlier file of its name.
const char kBesideSuffix[] = ".$$$";

std::string gPayloadMarker;
TMessagePump gPump = nullptr;

// State of the extraction in progress; one extraction at a time, as the decoder
// buffers are shared too.
struct TExtractState {
  TFileHandle archive = kNoFile;
  TFileHandle output = kNoFile;
  std::string currentPath;  // keeps the last entry's path after the call
  // 64 bits wide: a stream may produce far more than any entry's length, and
  // that must show, not wrap round to a plausible count.
  int64_t dataRemaining = 0;
  int64_t dataConsumed = 0;
  int64_t bytesWritten = 0;
  int64_t fileLength = 0;
  uint32_t outputRegister = vhz::kCheckStart;
  int32_t currentPercent = 0;
  TExtractProgress progress = nullptr;
  bool fileError = false;
  bool overrun = false;      // the stream produced more than the file length
  bool outputCreated = false;  // the current entry's file was created
  // An earlier file of the entry's name stays whole until the new one is: the
  // entry is written beside it (outputPath) and moved over it when verified.
  bool replacing = false;
  std::string outputPath;
  bool writeFiles = true;
};
TExtractState gState;

uint8_t gChunk[kScanChunk];

void PumpAdapter(const char*, int32_t) { Pump(gPump); }

bool CloseTwice(TFileHandle file) {
  // A close that fails is tried once more before the handle is given up.
  return file == kNoFile || CloseFile(file) || CloseFile(file);
}

void CleanUp(const std::string& archivePath) {
  CloseTwice(gState.archive);
  gState.archive = kNoFile;
  DeleteFilePath(archivePath);
  CloseTwice(gState.output);
  gState.output = kNoFile;
}

int32_t EntryRead(void* buffer, int32_t count, void*) {
  // Once the output ran past the file length the decoder gets nothing more, so
  // it stops at its next block instead of producing gigabytes into nothing.
  if (gState.overrun) return 0;
  const int32_t wanted = static_cast<int32_t>(std::min<int64_t>(count, gState.dataRemaining));
  if (wanted <= 0) return 0;
  int32_t delivered = 0;
  if (!ReadFileBytes(gState.archive, buffer, wanted, &delivered)) {
    gState.fileError = true;
    return 0;
  }
  gState.dataConsumed += delivered;
  gState.dataRemaining -= delivered;
  return delivered;
}

void EntryWrite(const void* buffer, int32_t count, void*) {
  if (gState.overrun) return;
  if (gState.bytesWritten + count > gState.fileLength) {
    gState.overrun = true;
    return;
  }
  if (gState.writeFiles && !WriteFileBytes(gState.output, buffer, count)) gState.fileError = true;
  gState.outputRegister = UpdateCrc32(buffer, count, gState.outputRegister);
  gState.bytesWritten += count;
  if (gState.progress) gState.progress(gState.currentPath.c_str(), gState.currentPercent);
}

bool ReadExactly(TFileHandle file, void* buffer, int32_t count, bool* ioError) {
  int32_t done = 0;
  while (done < count) {
    int32_t got = 0;
    if (!ReadFileBytes(file, static_cast<uint8_t*>(buffer) + done, count - done, &got)) {
      *ioError = true;
      return false;
    }
    if (got <= 0) return false;
    done += got;
  }
  return true;
}

bool IsDeviceName(const std::string& component, TLeadByteRule lead) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  // Windows drops blanks before the extension too: "NUL .txt" is NUL.
  std::string stem = UpperAscii(component.substr(0, component.find('.')), lead);
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (const char* device : kDevices) {
    if (stem == device) return true;
  }
  if (stem.size() != 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
  // Digits 0 to 9, and the superscript one, two and three of the ANSI code page.
  const unsigned char digit = static_cast<unsigned char>(stem[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

int32_t FileRecordRead(void* buffer, int32_t count, void*) {
  bool ioError = false;
  if (ReadExactly(gState.archive, buffer, count, &ioError)) return kExtractOk;
  return ioError ? kExtractFileError : kExtractBadEntry;
}

// Makes the folders of the entry's path below the destination and clears the
// entry's own name. Nothing is ever written through a link: a folder that is a
// link (or a junction) fails the entry before anything is created for it, and
// a link at the entry's name is removed itself, never what it leads to.
int32_t PrepareEntryPath(const std::string& destination, const std::string& name) {
  std::string folder = destination;
  for (size_t start = 0;;) {
    const size_t end = FindSeparator(name, start);
    if (end == std::string::npos) break;
    folder += '\\';
    folder.append(name, start, end - start);
    int32_t kind = PathKind(folder, false);
    if (kind == kPathMissing) {
      CreateFolder(folder);
      kind = PathKind(folder, false);
    }
    if (kind == kPathLink) return kExtractBadEntry;
    if (kind != kPathFolder) return kExtractCannotCreate;
    start = end + 1;
  }
  const std::string& file = gState.currentPath;
  const int32_t kind = PathKind(file, false);
  if (kind == kPathLink) {
    RemoveLink(file);
  } else if (kind == kPathFile && file.size() + sizeof kBesideSuffix - 1 <= kPlatformPathLimit) {
    // A full disk or a damaged entry must not leave a user with half a
    // program where a whole one was.
    gState.replacing = true;
  } else if (kind != kPathMissing && kind != kPathFolder) {
    // An existing file, read-only or not, is always replaced.
    DeleteFileName(file);
  }
  return kExtractOk;
}

// The file the entry is written into: beside the earlier file of its name, or
// at the name itself. Whatever lies at the name beside is anyone's and goes
// first, a link without touching its target.
TFileHandle CreateEntryOutput() {
  if (gState.replacing) {
    gState.outputPath = gState.currentPath + kBesideSuffix;
    if (PathKind(gState.outputPath, false) == kPathLink)
      RemoveLink(gState.outputPath);
    else
      DeleteFileName(gState.outputPath);
    const TFileHandle beside = CreateNewFile(gState.outputPath);
    if (beside != kNoFile) return beside;
    // No room for a second name: the earlier file is replaced at once.
    gState.replacing = false;
    DeleteFileName(gState.currentPath);
  }
  gState.outputPath = gState.currentPath;
  return CreateNewFile(gState.currentPath);
}

// Moves the verified entry over the earlier file; a read-only one is removed
// first, since the move may not replace it.
bool ReplaceEarlierFile() {
  if (!gState.replacing) return true;
  if (ReplaceFilePath(gState.outputPath, gState.currentPath)) return true;
  if (DeleteFileName(gState.currentPath) && ReplaceFilePath(gState.outputPath, gState.currentPath)) return true;
  // Once the earlier file has gone (a scanner may still hold its name), the
  // verified copy beside it is the only version left: it stays, for the next
  // run or the user.
  if (PathKind(gState.currentPath, false) != kPathFile) gState.outputCreated = false;
  return false;
}

// After a failed entry: a copy beside the earlier file goes, the earlier file
// stays as it was.
void DiscardBesideCopy() {
  if (!gState.replacing || !gState.outputCreated) return;
  DeleteFilePath(gState.outputPath);
  gState.outputCreated = false;
}

// One entry, from its record to its closed file. The archive position is at the
// record on entry and after the entry's data on success.
int32_t ExtractEntry(const std::string& destination, int64_t bodyEnd) {
  const int64_t recordAt = FilePosition(gState.archive);
  if (recordAt < 0) return kExtractFileError;
  TEntryRecord record;
  const int32_t read = ReadEntryRecord(FileRecordRead, nullptr, recordAt, bodyEnd, &record);
  // Named before any check, so that a failure names this entry.
  gState.currentPath = gState.writeFiles ? destination + "\\" + record.name : record.name;
  gState.outputCreated = false;
  gState.replacing = false;
  if (read != kExtractOk) return read;
  const vhz::TEntryFields& fields = record.fields;
  // Refused before anything is created: a name that leads elsewhere, or a path
  // longer than the file functions take.
  if (!IsSafeEntryName(record.name)) return kExtractBadEntry;
  if (gState.writeFiles) {
    if (gState.currentPath.size() > kPlatformPathLimit) return kExtractBadEntry;
    const int32_t prepared = PrepareEntryPath(destination, record.name);
    if (prepared != kExtractOk) return prepared;
    // Exclusively: whatever appeared at the name since it was cleared is not
    // written through.
    gState.output = CreateEntryOutput();
    if (gState.output == kNoFile)
      return PathKind(gState.currentPath, false) == kPathLink ? kExtractBadEntry : kExtractCannotCreate;
    gState.outputCreated = true;
  }
  const int64_t position = FilePosition(gState.archive);
  gState.dataRemaining = fields.dataLength;
  gState.dataConsumed = 0;
  gState.bytesWritten = 0;
  gState.fileLength = fields.fileLength;
  gState.outputRegister = vhz::kCheckStart;
  gState.fileError = false;
  gState.overrun = false;
  const int64_t archiveSize = std::max<int64_t>(FileSize(gState.archive), 1);
  // Halves go to the even neighbour: the default rounding mode.
  gState.currentPercent = static_cast<int32_t>(std::nearbyint(static_cast<double>(position) * 100.0 / archiveSize));
  if (gState.progress) gState.progress(gState.currentPath.c_str(), gState.currentPercent);

  int32_t decoded = DecodeEntryStream(EntryRead, EntryWrite, nullptr);
  if (gState.fileError) return kExtractFileError;
  if (fields.fileLength == 0 && fields.dataLength == vhz::kEmptyShortDataLength && decoded == kEntryFailed)
    decoded = kEntryDecoded;
  if (decoded != kEntryDecoded || gState.overrun || gState.dataConsumed != fields.dataLength ||
      gState.bytesWritten != fields.fileLength || gState.outputRegister != fields.contentsCheck)
    return kExtractBadEntry;
  if (gState.writeFiles) {
    SetFileDosTime(gState.output, fields.dosDateTime);
    CloseTwice(gState.output);
    gState.output = kNoFile;
    if (!ReplaceEarlierFile()) return kExtractCannotCreate;
    gState.outputCreated = false;
    SetAttributes(gState.currentPath, fields.attributes);
  }
  return kExtractOk;
}

int32_t RunArchive(const char* archivePath, const char* destinationFolder, const char* passPhrase,
                   TExtractProgress progress, bool writeFiles) {
  // An empty path would name "<current folder>\\.vhz", and an empty
  // destination the root of the drive: both are refused before anything is
  // opened, created or deleted.
  if (archivePath == nullptr || *archivePath == '\0') return kExtractNoArchive;
  if (destinationFolder == nullptr) return kExtractCannotCreate;
  const std::string destination = WithoutTrailingBackslashes(destinationFolder);
  if (writeFiles && destination.empty()) return kExtractCannotCreate;
  const std::string path = ResolveArchiveName(archivePath, kArchiveExtension);
  gState.progress = progress;
  gState.writeFiles = writeFiles;
  gState.outputCreated = false;

  // The plain body is written back into this file: never through a link, and
  // not into a file that has another name as well.
  gState.archive = OpenOwnFileForReadWrite(path);
  if (gState.archive == kNoFile) {
    CleanUp(path);
    return kExtractNoArchive;
  }
  InitKeystream(passPhrase ? passPhrase : "");
  uint32_t bodyRegister = vhz::kCheckStart;
  const int64_t archiveSize = FileSize(gState.archive);
  const int64_t bodySize = archiveSize - vhz::kBodyCheckSize;

  // Descramble the body in place, piece by piece; the keystream and the
  // register carry from piece to piece.
  static uint8_t piece[kDescrambleChunk];
  for (int64_t left = bodySize; left > 0;) {
    const int64_t at = FilePosition(gState.archive);
    int32_t got = 0;
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(left, kDescrambleChunk));
    // A read that brings nothing would never finish the pass.
    if (at < 0 || !ReadFileBytes(gState.archive, piece, want, &got) || got <= 0) {
      CleanUp(path);
      return kExtractDamaged;
    }
    left -= got;
    ApplyKeystream(piece, got);
    bodyRegister = UpdateCrc32(piece, got, bodyRegister);
    // The plain body goes back into the file: the entries are read from it next.
    if (!SeekFile(gState.archive, at) || !WriteFileBytes(gState.archive, piece, got)) {
      CleanUp(path);
      return kExtractFileError;
    }
  }
  uint8_t checkBytes[vhz::kBodyCheckSize];
  bool ioError = false;
  if (bodySize < 0 || !ReadExactly(gState.archive, checkBytes, sizeof checkBytes, &ioError) ||
      vhz::GetU32(checkBytes) != bodyRegister) {
    CleanUp(path);
    return kExtractDamaged;
  }

  if (!SeekFile(gState.archive, 0)) {
    CleanUp(path);
    return kExtractFileError;
  }
  for (;;) {
    const int64_t at = FilePosition(gState.archive);
    if (at < 0) {
      CleanUp(path);
      return kExtractFileError;
    }
    if (!MoreEntries(at, bodySize)) break;
    const int32_t result = ExtractEntry(destination, bodySize);
    if (result != kExtractOk) {
      CleanUp(path);
      DiscardBesideCopy();
      return result;
    }
  }
  if (progress) progress(gState.currentPath.c_str(), 100);
  CleanUp(path);
  return kExtractOk;
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

namespace {

// The searches and the copy work on an open file: the setup's own image is
// opened otherwise than by its ANSI name (OpenOwnImage).
int64_t ArchiveOffsetIn(TFileHandle file, TMessagePump pump) {
  const int64_t size = FileSize(file);
  int64_t position = 0, found = 0;
  bool failed = size < 0;
  while (!failed && position < size) {
    Pump(pump);
    // Step back by the marker's length, so that a marker straddling two
    // chunks is whole in the later one.
    if (position > 0) position -= vhz::kPayloadMarkerLength;
    int32_t got = 0;
    if (!SeekFile(file, position) || !ReadFileBytes(file, gChunk, kScanChunk, &got) || got <= 0) {
      failed = true;
      break;
    }
    const int64_t end = FindMarker(gChunk, static_cast<size_t>(got));
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
  int32_t got = 0;
  const bool read = size >= 0 && SeekFile(file, 0) && ReadFileBytes(file, gChunk, kScanChunk, &got);
  return read ? ArchiveEnd(gChunk, static_cast<size_t>(got), archiveOffset, size) : -1;
}

bool CopyArchiveBetween(TFileHandle source, int64_t offset, int64_t end, const std::string& archivePath,
                        TMessagePump pump) {
  // The destination folder may hold anything under this name, a link to a
  // file elsewhere too: that name goes, and the new file is made exclusively.
  if (!DeleteFileName(archivePath)) RemoveLink(archivePath);
  TFileHandle target = CreateNewFile(archivePath);
  bool ok = target != kNoFile && SeekFile(source, offset);
  for (int64_t position = offset; ok && position < end;) {
    Pump(pump);
    int32_t got = 0;
    if (!ReadFileBytes(source, gChunk, static_cast<int32_t>(std::min<int64_t>(kScanChunk, end - position)), &got))
      ok = false;
    if (!ok || got == 0) break;
    ok = WriteFileBytes(target, gChunk, got);
    position += got;
  }
  if (target != kNoFile && !CloseFile(target)) ok = false;
  return ok;
}

bool CopyArchiveOutOf(TFileHandle source, const std::string& archivePath, TMessagePump pump) {
  const int64_t offset = ArchiveOffsetIn(source, pump);
  const int64_t end = offset >= 0 ? ArchiveEndIn(source, offset) : -1;
  return end >= 0 && CopyArchiveBetween(source, offset, end, archivePath, pump);
}

}  // namespace

int64_t FindArchiveOffset(const std::string& path, TMessagePump pump) {
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return -1;
  const int64_t found = ArchiveOffsetIn(file, pump);
  CloseFile(file);
  return found;
}

namespace {

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

}  // namespace

int64_t ArchiveEnd(const uint8_t* head, size_t headSize, int64_t archiveOffset, int64_t fileSize) {
  if (archiveOffset <= 0 || !Fits(headSize, 0, kPeHeaderOffsetField + 4) || head[0] != 'M' || head[1] != 'Z')
    return fileSize;
  const uint64_t pe = vhz::GetU32(head + kPeHeaderOffsetField);
  if (!Fits(headSize, pe, kPeSignatureSize + kCoffHeaderSize + 2) || std::memcmp(head + pe, "PE\0\0", 4) != 0)
    return fileSize;
  const uint64_t optional = pe + kPeSignatureSize + kCoffHeaderSize;
  const uint32_t optionalSize = vhz::GetU16(head + pe + kPeSignatureSize + kOptionalHeaderSizeField);
  const uint16_t magic = vhz::GetU16(head + optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return fileSize;
  const uint32_t countField = magic == kPe32Magic ? kDirectoryCountField32 : kDirectoryCountField64;
  const uint32_t entry = countField + 4 + kSecurityEntry * kDirectoryEntrySize;
  if (entry + kDirectoryEntrySize > optionalSize || !Fits(headSize, optional, entry + kDirectoryEntrySize) ||
      vhz::GetU32(head + optional + countField) <= kSecurityEntry)
    return fileSize;
  const int64_t table = vhz::GetU32(head + optional + entry);
  const int64_t tableSize = vhz::GetU32(head + optional + entry + 4);
  if (table <= archiveOffset || tableSize == 0 || table + tableSize > fileSize) return fileSize;
  return table;
}

int64_t FindArchiveEnd(const std::string& path, int64_t archiveOffset) {
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return -1;
  const int64_t end = ArchiveEndIn(file, archiveOffset);
  CloseFile(file);
  return end;
}

bool CopyArchiveOut(const std::string& sourcePath, const std::string& archivePath, TMessagePump pump) {
  TFileHandle source = OpenFileForRead(sourcePath);
  if (source == kNoFile) return false;
  const bool ok = CopyArchiveOutOf(source, archivePath, pump);
  CloseFile(source);
  return ok;
}

bool CopyArchiveFrom(const std::string& sourcePath, int64_t offset, int64_t end, const std::string& archivePath,
                     TMessagePump pump) {
  TFileHandle source = OpenFileForRead(sourcePath);
  if (source == kNoFile) return false;
  const bool ok = CopyArchiveBetween(source, offset, end, archivePath, pump);
  CloseFile(source);
  return ok;
}

int32_t ReadEntryRecord(TRecordRead read, void* user, int64_t position, int64_t bodySize, TEntryRecord* record) {
  record->name.clear();
  uint8_t lengthBytes[vhz::kEntryNameLengthSize];
  int32_t result = read(lengthBytes, sizeof lengthBytes, user);
  if (result != kExtractOk) return result;
  const uint16_t nameLength = vhz::GetU16(lengthBytes);
  record->name.assign(nameLength, '\0');
  uint8_t fieldBytes[vhz::kEntryFieldsSize];
  if (nameLength > 0) result = read(&record->name[0], nameLength, user);
  if (result == kExtractOk) result = read(fieldBytes, sizeof fieldBytes, user);
  if (result != kExtractOk) return result;
  record->fields = vhz::GetEntryFields(fieldBytes);
  const int64_t dataStart = position + vhz::kEntryFixedSize + nameLength;
  // Data that would run into the check value behind the body.
  if (record->fields.dataLength > 0x7FFFFFFFu || dataStart + record->fields.dataLength > bodySize)
    return kExtractBadEntry;
  return kExtractOk;
}

namespace {

struct TMemoryRecordSource {
  const uint8_t* bytes;
  int64_t size;
  int64_t at;
};

int32_t MemoryRecordRead(void* buffer, int32_t count, void* user) {
  TMemoryRecordSource* source = static_cast<TMemoryRecordSource*>(user);
  if (count > source->size - source->at) return kExtractBadEntry;
  std::memcpy(buffer, source->bytes + source->at, static_cast<size_t>(count));
  source->at += count;
  return kExtractOk;
}

}  // namespace

bool ArchiveStartIsPlausible(const std::string& path, int64_t offset, int64_t end, const char* passPhrase) {
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return false;
  const int64_t bodySize = std::min(FileSize(file), end) - offset - vhz::kBodyCheckSize;
  static uint8_t head[vhz::kEntryFixedSize + vhz::kMaxEntryNameLength + vhz::kBlockHeaderSize];
  bool ioError = false;
  const int32_t got = static_cast<int32_t>(std::min<int64_t>(bodySize, sizeof head));
  const bool read = bodySize >= 0 && SeekFile(file, offset) && ReadExactly(file, head, got, &ioError);
  CloseFile(file);
  if (!read) return false;
  if (bodySize == 0) return true;
  InitKeystream(passPhrase ? passPhrase : "");
  ApplyKeystream(head, got);
  TMemoryRecordSource source = {head, got, 0};
  TEntryRecord record;
  if (ReadEntryRecord(MemoryRecordRead, &source, 0, bodySize, &record) != kExtractOk) return false;
  const vhz::TEntryFields& f = record.fields;
  if (f.fileLength == 0 && f.dataLength == vhz::kEmptyShortDataLength) return true;
  if (f.dataLength < static_cast<uint32_t>(vhz::kBlockHeaderSize)) return false;
  // The data, when it is not the empty file's short form, opens with a block
  // header the decoder would take; the head always holds it.
  return IsUsableBlockHeader(vhz::GetBlockHeader(head + source.at));
}

bool ExtractPayload(const std::string& destinationFolder, TMessagePump pump) {
  gPump = pump;
  const std::string archive = TemporaryArchivePath(destinationFolder);
  TFileHandle image = OpenOwnImage();
  bool ok = image != kNoFile && CopyArchiveOutOf(image, archive, pump);
  if (image != kNoFile) CloseFile(image);
  if (ok) ok = ExtractArchive(archive.c_str(), destinationFolder.c_str(), nullptr, PumpAdapter) == kExtractOk;
  DeleteFilePath(archive);
  return ok;
}

int32_t ExtractArchive(const char* archivePath, const char* destinationFolder, const char* passPhrase,
                       TExtractProgress progress) {
  return RunArchive(archivePath, destinationFolder, passPhrase, progress, true);
}

int32_t VerifyArchive(const char* archivePath, const char* passPhrase, TExtractProgress progress) {
  return RunArchive(archivePath, "", passPhrase, progress, false);
}

const std::string& CurrentEntryPath() { return gState.currentPath; }

bool CurrentEntryIsPartial() { return gState.outputCreated; }

const char* ExtractResultText(int32_t code) {
  switch (code) {
    case kExtractOk: return "every entry was written and verified";
    case kExtractNoArchive: return "the archive cannot be opened for reading and writing";
    case kExtractCannotCreate: return "a file cannot be created in the destination folder";
    case kExtractFileError: return "reading the archive or writing a file failed";
    case kExtractDamaged: return "the archive is damaged, incomplete or not an archive (its check value does not match)";
    case kExtractBadEntry: return "an entry failed its checks or has an unsafe name";
    default: return "unknown result";
  }
}

std::string ResolveArchiveName(const std::string& path, const std::string& defaultExtension) {
  std::string folder = PathPart(path);
  if (folder.empty()) {
    folder = CurrentFolder();
    if (!EndsWithBackslash(folder)) folder += '\\';
  }
  std::string result = folder + NamePart(path);
  if (ExtensionPart(path).empty()) result += defaultExtension;
  return result;
}

bool IsSafeEntryName(const std::string& name, TLeadByteRule lead) {
  if (name.empty() || name[0] == '\\') return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ':' || c == '/') return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t end = FindSeparator(name, start, lead);
    const std::string component = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // Windows drops trailing dots and blanks, so "..", ". ." and "... " all
    // lead to the parent or to the folder itself.
    if (component.find_first_not_of(". ") == std::string::npos) return false;
    if (IsDeviceName(component, lead)) return false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}
