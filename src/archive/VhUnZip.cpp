#include "VhUnZip.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "ApplyPth.h"
#include "CRC_32.h"
#include "Encript.h"
#include "EntryNames.h"
#include "FileIO.h"
#include "FileUtils.h"
#include "PayloadLocation.h"

namespace {

const int32_t kDescrambleChunk = 12596;
const char kArchiveExtension[] = ".vhz";

// One run of the extraction: owned by RunArchive and handed to the decoder's
// callbacks as their context.
struct TExtraction {
  TFileHandle archive = kNoFile;
  TFileHandle output = kNoFile;
  bool writeFiles = true;
  TExtractProgress progress = nullptr;
  TMessagePump pump = nullptr;  // the setup's: called wherever progress would be
  std::string currentPath;
  // 64 bits wide: a stream may produce far more than any entry's length, and
  // that must show, not wrap round to a plausible count.
  int64_t dataRemaining = 0;
  int64_t dataConsumed = 0;
  int64_t bytesWritten = 0;
  int64_t fileLength = 0;
  uint32_t outputRegister = vhz::kCheckStart;
  int32_t currentPercent = 0;
  bool fileError = false;
  bool overrun = false;        // the stream produced more than the file length
  bool outputCreated = false;  // the current entry's file was created
  // An earlier file of the entry's name stays whole until the new one is: the
  // entry is written beside it (outputPath) and moved over it when verified.
  bool replacing = false;
  std::string outputPath;
  uint8_t piece[kDescrambleChunk];
};

// What the last run leaves for CurrentEntryPath and CurrentEntryIsPartial; the
// next run's progress starts from its path.
struct TExtractionOutcome {
  std::string entryPath;
  bool partial = false;
};
TExtractionOutcome gLastRun;

void Report(const TExtraction& run, int32_t percent) {
  if (run.progress) run.progress(run.currentPath.c_str(), percent);
  Pump(run.pump);
}

bool CloseWithOneRetry(TFileHandle file) {
  // A close that fails is tried once more before the handle is given up.
  return file == kNoFile || CloseFile(file) || CloseFile(file);
}

void CleanUp(TExtraction* run, const std::string& archivePath) {
  CloseWithOneRetry(run->archive);
  run->archive = kNoFile;
  DeleteFilePath(archivePath);
  CloseWithOneRetry(run->output);
  run->output = kNoFile;
}

int32_t EntryRead(void* buffer, int32_t count, void* context) {
  TExtraction* run = static_cast<TExtraction*>(context);
  // Once the output ran past the file length the decoder gets nothing more, so
  // it stops at its next block instead of producing gigabytes into nothing.
  if (run->overrun) return 0;
  const int32_t wanted = static_cast<int32_t>(std::min<int64_t>(count, run->dataRemaining));
  if (wanted <= 0) return 0;
  int32_t delivered = 0;
  if (!ReadFileBytes(run->archive, buffer, wanted, &delivered)) {
    run->fileError = true;
    return 0;
  }
  run->dataConsumed += delivered;
  run->dataRemaining -= delivered;
  return delivered;
}

void EntryWrite(const void* buffer, int32_t count, void* context) {
  TExtraction* run = static_cast<TExtraction*>(context);
  if (run->overrun) return;
  if (run->bytesWritten + count > run->fileLength) {
    run->overrun = true;
    return;
  }
  if (run->writeFiles && !WriteFileBytes(run->output, buffer, count)) run->fileError = true;
  run->outputRegister = UpdateCrc32(buffer, count, run->outputRegister);
  run->bytesWritten += count;
  Report(*run, run->currentPercent);
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

int32_t FileRecordRead(void* buffer, int32_t count, void* context) {
  bool ioError = false;
  if (ReadExactly(static_cast<TExtraction*>(context)->archive, buffer, count, &ioError)) return kExtractOk;
  return ioError ? kExtractFileError : kExtractBadEntry;
}

// Makes the folders of the entry's path below the destination and clears the
// entry's own name. Nothing is ever written through a link: a folder that is a
// link (or a junction) fails the entry before anything is created for it, and
// a link at the entry's name is removed itself, never what it leads to.
int32_t PrepareEntryPath(TExtraction* run, const std::string& destination, const std::string& name) {
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
  const std::string& file = run->currentPath;
  const int32_t kind = PathKind(file, false);
  if (kind == kPathLink) {
    RemoveLink(file);
  } else if (kind == kPathFile && BesidePath(file).size() <= kPlatformPathLimit) {
    // A full disk or a damaged entry must not leave a user with half a
    // program where a whole one was.
    run->replacing = true;
  } else if (kind != kPathMissing && kind != kPathFolder) {
    // An existing file, read-only or not, is always replaced.
    DeleteFileName(file);
  }
  return kExtractOk;
}

// The file the entry is written into: beside the earlier file of its name, or
// at the name itself.
TFileHandle CreateEntryOutput(TExtraction* run) {
  if (run->replacing) {
    run->outputPath = BesidePath(run->currentPath);
    const TFileHandle beside = CreateBesideFile(run->currentPath);
    if (beside != kNoFile) return beside;
    // No room for a second name: the earlier file is replaced at once.
    run->replacing = false;
    DeleteFileName(run->currentPath);
  }
  run->outputPath = run->currentPath;
  return CreateNewFile(run->currentPath);
}

// Moves the verified entry over the earlier file; a read-only one is removed
// first, since the move may not replace it.
bool ReplaceEarlierFile(TExtraction* run) {
  if (!run->replacing) return true;
  if (ReplaceFilePath(run->outputPath, run->currentPath)) return true;
  if (DeleteFileName(run->currentPath) && ReplaceFilePath(run->outputPath, run->currentPath)) return true;
  // Once the earlier file has gone (a scanner may still hold its name), the
  // verified copy beside it is the only version left: it stays, for the next
  // run or the user.
  if (PathKind(run->currentPath, false) != kPathFile) run->outputCreated = false;
  return false;
}

// After a failed entry: a copy beside the earlier file goes, the earlier file
// stays as it was.
void DiscardBesideCopy(TExtraction* run) {
  if (!run->replacing || !run->outputCreated) return;
  DeleteFilePath(run->outputPath);
  run->outputCreated = false;
}

// One entry, from its record to its closed file. The archive position is at the
// record on entry and after the entry's data on success.
int32_t ExtractEntry(TExtraction* run, const std::string& destination, int64_t bodyEnd) {
  const int64_t recordAt = FilePosition(run->archive);
  if (recordAt < 0) return kExtractFileError;
  TEntryRecord record;
  const int32_t read = ReadEntryRecord(FileRecordRead, run, recordAt, bodyEnd, &record);
  // Named before any check, so that a failure names this entry.
  run->currentPath = run->writeFiles ? destination + "\\" + record.name : record.name;
  run->outputCreated = false;
  run->replacing = false;
  if (read != kExtractOk) return read;
  const vhz::TEntryFields& fields = record.fields;
  // Refused before anything is created: a name that leads elsewhere, or a path
  // longer than the file functions take.
  if (!IsSafeEntryName(record.name)) return kExtractBadEntry;
  if (run->writeFiles) {
    if (run->currentPath.size() > kPlatformPathLimit) return kExtractBadEntry;
    const int32_t prepared = PrepareEntryPath(run, destination, record.name);
    if (prepared != kExtractOk) return prepared;
    // Exclusively: whatever appeared at the name since it was cleared is not
    // written through.
    run->output = CreateEntryOutput(run);
    if (run->output == kNoFile)
      return PathKind(run->currentPath, false) == kPathLink ? kExtractBadEntry : kExtractCannotCreate;
    run->outputCreated = true;
  }
  const int64_t position = FilePosition(run->archive);
  run->dataRemaining = fields.dataLength;
  run->dataConsumed = 0;
  run->bytesWritten = 0;
  run->fileLength = fields.fileLength;
  run->outputRegister = vhz::kCheckStart;
  run->fileError = false;
  run->overrun = false;
  const int64_t archiveSize = std::max<int64_t>(FileSize(run->archive), 1);
  // Halves go to the even neighbour: the default rounding mode.
  run->currentPercent = static_cast<int32_t>(std::nearbyint(static_cast<double>(position) * 100.0 / archiveSize));
  Report(*run, run->currentPercent);

  int32_t decoded = DecodeEntryStream(EntryRead, EntryWrite, run);
  if (run->fileError) return kExtractFileError;
  if (fields.fileLength == 0 && fields.dataLength == vhz::kEmptyShortDataLength && decoded == kEntryFailed)
    decoded = kEntryDecoded;
  if (decoded != kEntryDecoded || run->overrun || run->dataConsumed != fields.dataLength ||
      run->bytesWritten != fields.fileLength || run->outputRegister != fields.contentsCheck)
    return kExtractBadEntry;
  if (run->writeFiles) {
    SetFileDosTime(run->output, fields.dosDateTime);
    CloseWithOneRetry(run->output);
    run->output = kNoFile;
    if (!ReplaceEarlierFile(run)) return kExtractCannotCreate;
    run->outputCreated = false;
    SetAttributes(run->currentPath, fields.attributes);
  }
  return kExtractOk;
}

// Descrambles the body in place, piece by piece (the keystream and the
// register carry from piece to piece), and checks it against the check value
// behind it. *bodySize receives the body's size.
int32_t DescrambleBody(TExtraction* run, const char* passPhrase, int64_t* bodySize) {
  TKeystream keystream = InitKeystream(passPhrase ? passPhrase : "");
  uint32_t bodyRegister = vhz::kCheckStart;
  *bodySize = FileSize(run->archive) - vhz::kBodyCheckSize;
  for (int64_t left = *bodySize; left > 0;) {
    const int64_t at = FilePosition(run->archive);
    int32_t got = 0;
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(left, kDescrambleChunk));
    // A read that brings nothing would never finish the pass.
    if (at < 0 || !ReadFileBytes(run->archive, run->piece, want, &got) || got <= 0) return kExtractDamaged;
    left -= got;
    ApplyKeystream(&keystream, run->piece, got);
    bodyRegister = UpdateCrc32(run->piece, got, bodyRegister);
    // The plain body goes back into the file: the entries are read from it next.
    if (!SeekFile(run->archive, at) || !WriteFileBytes(run->archive, run->piece, got)) return kExtractFileError;
  }
  uint8_t checkBytes[vhz::kBodyCheckSize];
  bool ioError = false;
  if (*bodySize < 0 || !ReadExactly(run->archive, checkBytes, sizeof checkBytes, &ioError) ||
      GetU32(checkBytes) != bodyRegister)
    return kExtractDamaged;
  return kExtractOk;
}

int32_t ExtractEntries(TExtraction* run, const std::string& destination, int64_t bodySize) {
  if (!SeekFile(run->archive, 0)) return kExtractFileError;
  for (;;) {
    const int64_t at = FilePosition(run->archive);
    if (at < 0) return kExtractFileError;
    if (!MoreEntries(at, bodySize)) return kExtractOk;
    const int32_t result = ExtractEntry(run, destination, bodySize);
    if (result != kExtractOk) return result;
  }
}

int32_t RunArchive(const char* archivePath, const char* destinationFolder, const char* passPhrase,
                   TExtractProgress progress, TMessagePump pump, bool writeFiles) {
  // An empty path would name "<current folder>\\.vhz", and an empty
  // destination the root of the drive: both are refused before anything is
  // opened, created or deleted.
  if (archivePath == nullptr || *archivePath == '\0') return kExtractNoArchive;
  if (destinationFolder == nullptr) return kExtractCannotCreate;
  const std::string path = ResolveArchiveName(archivePath, kArchiveExtension);
  const std::string destination = WithoutTrailingBackslashes(destinationFolder);
  if (writeFiles && destination.empty()) return kExtractCannotCreate;
  TExtraction run;
  run.progress = progress;
  run.pump = pump;
  run.writeFiles = writeFiles;
  run.currentPath = gLastRun.entryPath;

  // The plain body is written back into this file: never through a link, and
  // not into a file that has another name as well.
  run.archive = OpenOwnFileForReadWrite(path);
  int64_t bodySize = 0;
  int32_t result = run.archive == kNoFile ? kExtractNoArchive : DescrambleBody(&run, passPhrase, &bodySize);
  if (result == kExtractOk) result = ExtractEntries(&run, destination, bodySize);
  if (result == kExtractOk) Report(run, 100);
  // Every way out, success included: the archive is consumed.
  CleanUp(&run, path);
  if (result != kExtractOk) DiscardBesideCopy(&run);
  gLastRun.entryPath = run.currentPath;
  gLastRun.partial = run.outputCreated;
  return result;
}

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

int32_t ReadEntryRecord(TRecordRead read, void* user, int64_t position, int64_t bodySize, TEntryRecord* record) {
  record->name.clear();
  uint8_t lengthBytes[vhz::kEntryNameLengthSize];
  int32_t result = read(lengthBytes, sizeof lengthBytes, user);
  if (result != kExtractOk) return result;
  const uint16_t nameLength = GetU16(lengthBytes);
  record->name.assign(nameLength, '\0');
  uint8_t fieldBytes[vhz::kEntryFieldsSize];
  if (nameLength > 0) result = read(&record->name[0], nameLength, user);
  if (result == kExtractOk) result = read(fieldBytes, sizeof fieldBytes, user);
  if (result != kExtractOk) return result;
  record->fields = vhz::GetEntryFields(fieldBytes);
  const int64_t dataStart = position + vhz::kEntryFixedSize + nameLength;
  // Data that would run into the check value behind the body.
  if (record->fields.dataLength > kMaxByteCount || dataStart + record->fields.dataLength > bodySize)
    return kExtractBadEntry;
  return kExtractOk;
}

bool ArchiveStartIsPlausible(const std::string& path, int64_t offset, int64_t end, const char* passPhrase) {
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return false;
  const int64_t bodySize = std::min(FileSize(file), end) - offset - vhz::kBodyCheckSize;
  std::vector<uint8_t> head(vhz::kEntryFixedSize + vhz::kMaxEntryNameLength + vhz::kBlockHeaderSize);
  bool ioError = false;
  const int32_t got = static_cast<int32_t>(std::min<int64_t>(bodySize, static_cast<int64_t>(head.size())));
  const bool read = bodySize >= 0 && SeekFile(file, offset) && ReadExactly(file, head.data(), got, &ioError);
  CloseFile(file);
  if (!read) return false;
  if (bodySize == 0) return true;
  TKeystream keystream = InitKeystream(passPhrase ? passPhrase : "");
  ApplyKeystream(&keystream, head.data(), got);
  TMemoryRecordSource source = {head.data(), got, 0};
  TEntryRecord record;
  if (ReadEntryRecord(MemoryRecordRead, &source, 0, bodySize, &record) != kExtractOk) return false;
  const vhz::TEntryFields& f = record.fields;
  if (f.fileLength == 0 && f.dataLength == vhz::kEmptyShortDataLength) return true;
  if (f.dataLength < static_cast<uint32_t>(vhz::kBlockHeaderSize)) return false;
  // The data, when it is not the empty file's short form, opens with a block
  // header the decoder would take; the head always holds it.
  return IsUsableBlockHeader(vhz::GetBlockHeader(head.data() + source.at));
}

bool ExtractPayload(const std::string& destinationFolder, const std::string& temporaryArchive, TMessagePump pump) {
  TFileHandle image = OpenOwnImage();
  bool ok = image != kNoFile && CopyArchiveOutOf(image, temporaryArchive, pump);
  if (image != kNoFile) CloseFile(image);
  if (ok)
    ok = RunArchive(temporaryArchive.c_str(), destinationFolder.c_str(), nullptr, nullptr, pump, true) == kExtractOk;
  DeleteFilePath(temporaryArchive);
  return ok;
}

int32_t ExtractArchive(const char* archivePath, const char* destinationFolder, const char* passPhrase,
                       TExtractProgress progress) {
  return RunArchive(archivePath, destinationFolder, passPhrase, progress, nullptr, true);
}

int32_t VerifyArchive(const char* archivePath, const char* passPhrase, TExtractProgress progress) {
  return RunArchive(archivePath, "", passPhrase, progress, nullptr, false);
}

const std::string& CurrentEntryPath() { return gLastRun.entryPath; }

bool CurrentEntryIsPartial() { return gLastRun.partial; }

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
