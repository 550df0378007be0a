// Extraction of the payload archive: finds the archive behind the marker in an
// executable, copies it into a temporary file in the destination folder, then
// descrambles, verifies and writes every entry with its time stamp and
// attributes. Portable: the same code runs in the setup and in the packer.
#pragma once

#include <cstdint>
#include <string>

#include "ArchiveFormat.h"
#include "FileUtils.h"  // the code page's lead-byte rule for entry names
#include "Product.h"  // the temporary archive's name

// The setup's message pump: dispatches every waiting window message and returns.
typedef void (*TMessagePump)();
// The work calls the pump between its pieces so the screens stay alive; tests
// and the packer run it without one.
inline void Pump(TMessagePump pump) {
  if (pump) pump();
}
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


// Upper-cases the marker from its lower-case copy, once at start-up, so that the
// program's own image never holds the marker before its payload.
void PreparePayloadMarker();
// The prepared marker (prepared on first use if start-up did not).
const std::string& PayloadMarker();

// Offset of the first byte after the marker in the file, 0 when there is no
// marker, -1 when the file cannot be read. Calls pump (may be null) before each
// 65,536-byte chunk.
int64_t FindArchiveOffset(const std::string& path, TMessagePump pump);

// Offset of the first byte after the first marker in data, 0 when there is none.
// The one marker search: the file search above and the packer run it.
int64_t FindMarker(const uint8_t* data, size_t size);

// Where the archive that starts at archiveOffset ends in a file of fileSize
// bytes whose first headSize bytes are head. A signed setup carries its
// certificate table behind the archive: when the security entry of the
// image's data directory gives a table that starts after archiveOffset and
// ends within the file, the archive ends where the table starts. Otherwise
// (no marker, an unsigned file, an entry that points into the image or
// before the archive or past the end of the file, headers beyond head) the
// archive runs to the end of the file.
int64_t ArchiveEnd(const uint8_t* head, size_t headSize, int64_t archiveOffset, int64_t fileSize);
// The same for a file: -1 when it cannot be read.
int64_t FindArchiveEnd(const std::string& path, int64_t archiveOffset);

// Copies the archive part of sourcePath (from its marker to its end; the whole
// file when it has no marker) into a new file archivePath. An old file of that
// name, or a link, is removed first; the new one is created exclusively, so
// nothing is written through a link planted there, and false when something
// is still, or again, there.
bool CopyArchiveOut(const std::string& sourcePath, const std::string& archivePath, TMessagePump pump);
// The same for a known archive from offset up to end.
bool CopyArchiveFrom(const std::string& sourcePath, int64_t offset, int64_t end, const std::string& archivePath,
                     TMessagePump pump);

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
// destinationFolder (an existing folder, given without a trailing backslash).
bool ExtractPayload(const std::string& destinationFolder, TMessagePump pump);

// Descrambles, verifies and extracts the archive file into destinationFolder.
// passPhrase and progress may be null. The archive file is consumed: it is
// deleted afterwards, whatever the result.
int32_t ExtractArchive(const char* archivePath, const char* destinationFolder, const char* passPhrase,
                       TExtractProgress progress);

// Makes every check ExtractArchive makes without creating any file. The
// archive file is consumed in the same way.
int32_t VerifyArchive(const char* archivePath, const char* passPhrase, TExtractProgress progress);

// The full path of the entry being (or last) extracted; a failing entry's name.
const std::string& CurrentEntryPath();
// True when the last extraction failed after it had created the current
// entry's file, which then holds only part of the entry (the setup leaves it;
// the packer removes it).
bool CurrentEntryIsPartial();

// A sentence for a result code of ExtractArchive or VerifyArchive.
const char* ExtractResultText(int32_t code);

// The archive path completed: folder (or the current folder), name, and
// defaultExtension when the name has no extension.
std::string ResolveArchiveName(const std::string& path, const std::string& defaultExtension);

// False for a name that could write outside the destination folder or somewhere
// unexpected: empty, absolute, with a drive, a ":", a "/", a control character,
// an empty, "." / ".." or dots-and-blanks component, or a device name (also
// with blanks or dots before its extension, "CONIN$", "CONOUT$", "CLOCK$",
// COM and LPT with 0 to 9 or a superscript 1, 2 or 3). Components are split
// where the system will split them: at the backslashes that are characters
// of the ANSI code page.
bool IsSafeEntryName(const std::string& name, TLeadByteRule lead = IsAnsiLeadByte);
