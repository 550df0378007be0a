// Where the payload archive lies in a file and how it is copied out: behind
// the marker that follows the setup's executable image, up to the end of the
// file or to the certificate table of a signed setup. Portable: the setup and
// the packer run the same searches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "FileIO.h"
#include "MessagePump.h"

// Upper-cases the marker from its lower-case copy, once at start-up, so that the
// program's own image never holds the marker before its payload.
void PreparePayloadMarker();
// The prepared marker (prepared on first use if start-up did not).
const std::string& PayloadMarker();

// Offset of the first byte after the first marker in data, 0 when there is none.
// The one marker search: the file search below and the packer run it.
int64_t FindMarker(const uint8_t* data, size_t size);

// Offset of the first byte after the marker in the file, 0 when there is no
// marker, -1 when the file cannot be read. Calls pump (may be null) before each
// 65,536-byte chunk.
int64_t FindArchiveOffset(const std::string& path, TMessagePump pump);

// Whether head (size bytes) opens with the signature of an executable image
// ("MZ"): only such a file is searched for a marker or a certificate table.
bool IsExecutableImage(const uint8_t* head, size_t size);

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

// Copies the archive part of the open source (from its marker to its end; the
// whole file when it has no marker) into a new file archivePath. An old file of
// that name, or a link, is removed first; the new one is created exclusively,
// so nothing is written through a link planted there, and false when
// something is still, or again, there. Calls pump before each chunk of the
// search and of the copy. The setup's own image is opened otherwise than by
// its ANSI name (OpenOwnImage), hence an open file.
bool CopyArchiveOutOf(TFileHandle source, const std::string& archivePath, TMessagePump pump);
// The same for the file sourcePath.
bool CopyArchiveOut(const std::string& sourcePath, const std::string& archivePath, TMessagePump pump);
// The same for a known archive from offset up to end.
bool CopyArchiveFrom(const std::string& sourcePath, int64_t offset, int64_t end, const std::string& archivePath,
                     TMessagePump pump);
