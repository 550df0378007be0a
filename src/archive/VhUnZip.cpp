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

const char kTemporaryArchiveName[] = "tempfile.$$$";

namespace {

const int32_t kScanChunk = 65536;
const int32_t kDescrambleChunk = 12596;
const char kArchiveExtension[] = ".vhz";

std::string gPayloadMarker;
TMessagePump gPump = nullptr;

// State of the extraction in progress; one extraction at a time, as the decoder
// buffers are shared too.
struct TExtractState {
  TFileHandle archive = kNoFile;
  TFileHandle output = kNoFile;
  std::string currentPath;  // keeps the last entry's path after the call
  int32_t dataRemaining = 0;
  int32_t dataConsumed = 0;
  int32_t bytesWritten = 0;
  uint32_t outputRegister = vhz::kCheckStart;
  int32_t currentPercent = 0;
  TExtractProgress progress = nullptr;
  bool fileError = false;
  bool writeFiles = true;
};
TExtractState gState;

uint8_t gChunk[kScanChunk];

void Pump(TMessagePump pump) {
  if (pump) pump();
}

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
  const int32_t wanted = std::min(count, gState.dataRemaining);
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

bool IsDeviceName(const std::string& component) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  const std::string stem = UpperAscii(component.substr(0, component.find('.')));
  for (const char* device : kDevices) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// One entry, from its record to its closed file. The archive position is at the
// record on entry and after the entry's data on success.
int32_t ExtractEntry(const std::string& destination, int64_t bodyEnd) {
  uint8_t lengthBytes[vhz::kEntryNameLengthSize];
  bool ioError = false;
  if (!ReadExactly(gState.archive, lengthBytes, sizeof lengthBytes, &ioError))
    return ioError ? kExtractFileError : kExtractBadEntry;
  std::string name(vhz::GetU16(lengthBytes), '\0');
  uint8_t fieldBytes[vhz::kEntryFieldsSize];
  if (!ReadExactly(gState.archive, &name[0], static_cast<int32_t>(name.size()), &ioError) ||
      !ReadExactly(gState.archive, fieldBytes, sizeof fieldBytes, &ioError))
    return ioError ? kExtractFileError : kExtractBadEntry;
  const vhz::TEntryFields fields = vhz::GetEntryFields(fieldBytes);
  const int64_t position = FilePosition(gState.archive);
  // Refused before anything is created: a name that leads elsewhere, or data
  // that would run into the check value behind the body.
  if (!IsSafeEntryName(name) || position < 0 || fields.dataLength > 0x7FFFFFFFu ||
      position + fields.dataLength > bodyEnd)
    return kExtractBadEntry;

  gState.currentPath = gState.writeFiles ? destination + "\\" + name : name;
  if (gState.writeFiles) {
    MakeFolderPath(PathPart(gState.currentPath));
    // An existing file, read-only or not, is always replaced.
    SetAttributes(gState.currentPath, 0);
    DeleteFilePath(gState.currentPath);
    gState.output = CreateFileForWrite(gState.currentPath);
    if (gState.output == kNoFile) return kExtractCannotCreate;
  }
  gState.dataRemaining = static_cast<int32_t>(fields.dataLength);
  gState.dataConsumed = 0;
  gState.bytesWritten = 0;
  gState.outputRegister = vhz::kCheckStart;
  gState.fileError = false;
  const int64_t archiveSize = std::max<int64_t>(FileSize(gState.archive), 1);
  // Halves go to the even neighbour: the default rounding mode.
  gState.currentPercent = static_cast<int32_t>(std::nearbyint(static_cast<double>(position) * 100.0 / archiveSize));
  if (gState.progress) gState.progress(gState.currentPath.c_str(), gState.currentPercent);

  int32_t decoded = DecodeEntryStream(EntryRead, EntryWrite, nullptr);
  if (gState.fileError) return kExtractFileError;
  if (fields.fileLength == 0 && fields.dataLength == vhz::kEmptyShortDataLength && decoded == kEntryFailed)
    decoded = kEntryDecoded;
  if (decoded != kEntryDecoded || gState.dataConsumed != static_cast<int32_t>(fields.dataLength) ||
      gState.bytesWritten != static_cast<int32_t>(fields.fileLength) ||
      gState.outputRegister != fields.contentsCheck)
    return kExtractBadEntry;
  if (gState.writeFiles) {
    SetFileDosTime(gState.output, fields.dosDateTime);
    CloseTwice(gState.output);
    gState.output = kNoFile;
    SetAttributes(gState.currentPath, fields.attributes);
  }
  return kExtractOk;
}

int32_t RunArchive(const char* archivePath, const char* destinationFolder, const char* passPhrase,
                   TExtractProgress progress, bool writeFiles) {
  if (archivePath == nullptr) return kExtractNoArchive;
  if (destinationFolder == nullptr) return kExtractCannotCreate;
  const std::string path = ResolveArchiveName(archivePath, kArchiveExtension);
  gState.progress = progress;
  gState.writeFiles = writeFiles;
  std::string destination = destinationFolder;
  while (!destination.empty() && destination.back() == '\\') destination.pop_back();

  gState.archive = OpenFileForReadWrite(path);
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
    if (at > archiveSize - 5) break;
    const int32_t result = ExtractEntry(destination, bodySize);
    if (result != kExtractOk) {
      CleanUp(path);
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

int64_t FindArchiveOffset(const std::string& path, TMessagePump pump) {
  const std::string& marker = PayloadMarker();
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return -1;
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
    const uint8_t* end = gChunk + got;
    const uint8_t* wanted = reinterpret_cast<const uint8_t*>(marker.data());
    const uint8_t* hit = std::search(static_cast<const uint8_t*>(gChunk), end, wanted, wanted + marker.size());
    if (hit != end) {
      found = position + (hit - gChunk) + vhz::kPayloadMarkerLength;
      break;
    }
    position += got;
  }
  CloseFile(file);
  return failed ? -1 : found;
}

bool CopyArchiveOut(const std::string& sourcePath, const std::string& archivePath, TMessagePump pump) {
  const int64_t offset = FindArchiveOffset(sourcePath, pump);
  if (offset < 0) return false;
  TFileHandle source = OpenFileForRead(sourcePath);
  if (source == kNoFile) return false;
  TFileHandle target = CreateFileForWrite(archivePath);
  bool ok = target != kNoFile && SeekFile(source, offset);
  while (ok) {
    Pump(pump);
    int32_t got = 0;
    if (!ReadFileBytes(source, gChunk, kScanChunk, &got)) ok = false;
    if (!ok || got == 0) break;
    ok = WriteFileBytes(target, gChunk, got);
  }
  if (target != kNoFile && !CloseFile(target)) ok = false;
  CloseFile(source);
  return ok;
}

bool ExtractPayload(const std::string& destinationFolder, TMessagePump pump) {
  gPump = pump;
  const std::string archive = destinationFolder + "\\" + kTemporaryArchiveName;
  bool ok = CopyArchiveOut(OwnModulePath(), archive, pump);
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
    if (folder.empty() || folder.back() != '\\') folder += '\\';
  }
  std::string result = folder + NamePart(path);
  if (ExtensionPart(path).empty()) result += defaultExtension;
  return result;
}

bool IsSafeEntryName(const std::string& name) {
  if (name.empty() || name[0] == '\\') return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ':' || c == '/') return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t end = name.find('\\', start);
    const std::string component = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // Windows drops trailing dots and blanks, so "..", ". ." and "... " all
    // lead to the parent or to the folder itself.
    if (component.find_first_not_of(". ") == std::string::npos) return false;
    if (IsDeviceName(component)) return false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}
