// Extraction of the payload archive: the archive copied out of an executable
// (PayloadLocation.h) into a temporary file in the destination folder is
// descrambled, verified and written entry by entry, every file with its time
// stamp and attributes. Portable: the same code runs in the setup and in the
// packer.
#pragma once

#include <cstdint>
#include <string>

#include "ArchiveFormat.h"
#include "MessagePump.h"

// fileName is the full path of the current entry's file, percent 0 to 100.
typedef void (*TExtractProgress)(const char* fileName, int32_t percent);

// Result codes of ExtractArchive and VerifyArchive.
const int32_t kExtractOk = 0;
const int32_t kExtractNoArchive = -1;    // no (or an empty) path, or the archive cannot be opened for reading and writing
const int32_t kExtractCannotCreate = -2; // no (or an empty) destination, or an entry's file cannot be created
const int32_t kExtractFileError = -3;    // reading the archive or writing a file failed during an entry
const int32_t kExtractDamaged = -5;      // the body check value does not match (damaged, short, not an archive)
const int32_t kExtractBadEntry = -6;     // an entry failed its checks, its name is unsafe, its path too long,
                                         // or a link lies in its way

// One entry record as it stands in the plain body: the walk over the records
// that the extraction and the packer share.
struct TEntryRecord {
  std::string name;
  vhz::TEntryFields fields;
};
// Delivers exactly count bytes of the plain body from where the walk stands:
// kExtractOk, kExtractBadEntry when the body ends first, kExtractFileError
// when reading failed.
typedef int32_t (*TRecordRead)(void* buffer, int32_t count, void* user);
// Reads the record at position of a plain body of bodySize bytes; its data
// follows it. kExtractOk; kExtractBadEntry for a record cut short or data that
// would run past the body; kExtractFileError. record holds what was read.
int32_t ReadEntryRecord(TRecordRead read, void* user, int64_t position, int64_t bodySize, TEntryRecord* record);
// True while a record can start at position: at least one body byte is left.
inline bool MoreEntries(int64_t position, int64_t bodySize) { return position < bodySize; }

// False when the archive from offset to end in the file cannot be one: too
// short for its check value, or (descrambled with passPhrase) its first record
// cut short, its data running past the end, or not starting with a block
// header. Reads only the first record, so a large file that holds no archive
// is refused before it is copied.
bool ArchiveStartIsPlausible(const std::string& path, int64_t offset, int64_t end, const char* passPhrase);

// The setup's extraction step: the payload of the running executable into
// destinationFolder (an existing folder, given without a trailing backslash),
// through the temporary archive file temporaryArchive, which is gone
// afterwards. Calls pump while it searches, copies and writes.
bool ExtractPayload(const std::string& destinationFolder, const std::string& temporaryArchive, TMessagePump pump);

// Descrambles, verifies and extracts the archive file into destinationFolder.
// passPhrase and progress may be null. The archive file is consumed: it is
// deleted afterwards, whatever the result.
int32_t ExtractArchive(const char* archivePath, const char* destinationFolder, const char* passPhrase,
                       TExtractProgress progress);

// Makes every check ExtractArchive makes without creating any file. The
// archive file is consumed in the same way.
int32_t VerifyArchive(const char* archivePath, const char* passPhrase, TExtractProgress progress);

// The full path of the entry the last extraction ended at; a failing entry's
// name. The next extraction's progress starts from it.
const std::string& CurrentEntryPath();
// True when the last extraction failed after it had created that entry's file,
// which then holds only part of the entry (the setup leaves it; the packer
// removes it).
bool CurrentEntryIsPartial();

// A sentence for a result code of ExtractArchive or VerifyArchive.
const char* ExtractResultText(int32_t code);

// The archive path completed: folder (or the current folder), name, and
// defaultExtension when the name has no extension.
std::string ResolveArchiveName(const std::string& path, const std::string& defaultExtension);
