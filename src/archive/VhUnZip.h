// Extraction of the payload archive: finds the archive behind the marker in an
// executable, copies it into a temporary file in the destination folder, then
// descrambles, verifies and writes every entry with its time stamp and
// attributes. Portable: the same code runs in the setup and in the packer.
#pragma once

#include <cstdint>
#include <string>

// The setup's message pump: dispatches every waiting window message and returns.
typedef void (*TMessagePump)();
// fileName is the full path of the current entry's file, percent 0 to 100.
typedef void (*TExtractProgress)(const char* fileName, int32_t percent);

// Result codes of ExtractArchive and VerifyArchive.
const int32_t kExtractOk = 0;
const int32_t kExtractNoArchive = -1;    // no path, or the archive cannot be opened for reading and writing
const int32_t kExtractCannotCreate = -2; // no destination, or an entry's file cannot be created
const int32_t kExtractFileError = -3;    // reading the archive or writing a file failed during an entry
const int32_t kExtractDamaged = -5;      // the body check value does not match (damaged, short, not an archive)
const int32_t kExtractBadEntry = -6;     // an entry failed its checks, or its name is unsafe

// The name of the temporary archive file in the destination folder.
extern const char kTemporaryArchiveName[];

// Upper-cases the marker from its lower-case copy, once at start-up, so that the
// program's own image never holds the marker before its payload.
void PreparePayloadMarker();
// The prepared marker (prepared on first use if start-up did not).
const std::string& PayloadMarker();

// Offset of the first byte after the marker in the file, 0 when there is no
// marker, -1 when the file cannot be read. Calls pump (may be null) before each
// 65,536-byte chunk.
int64_t FindArchiveOffset(const std::string& path, TMessagePump pump);

// Copies the archive part of sourcePath (from its marker to the end; the whole
// file when it has no marker) into a new or truncated file archivePath.
bool CopyArchiveOut(const std::string& sourcePath, const std::string& archivePath, TMessagePump pump);

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

// A sentence for a result code of ExtractArchive or VerifyArchive.
const char* ExtractResultText(int32_t code);

// The archive path completed: folder (or the current folder), name, and
// defaultExtension when the name has no extension.
std::string ResolveArchiveName(const std::string& path, const std::string& defaultExtension);

// False for a name that could write outside the destination folder or somewhere
// unexpected: empty, absolute, with a drive, a ":", a "/", a control character,
// an empty, "." / ".." or dots-and-blanks component, or a device name.
bool IsSafeEntryName(const std::string& name);
