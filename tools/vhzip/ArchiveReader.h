// Reading payload archives and setup programs: finding the marker, checking
// and descrambling the body, walking the entry records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ArchiveFormat.h"
#include "Bytes.h"

// Offset of the archive inside a setup program: the first byte after the
// upper-case marker; 0 when there is no marker (the file may be an archive).
// The setup's own marker search.
int64_t FindArchiveOffset(const uint8_t* file, size_t size);

// True when the archive of a setup, from offset to end (the start of its
// certificate table), fails its check only because the setup was bundled to
// a length that is not a multiple of 8 and then signed: the signing tool put
// up to 7 zero bytes between the archive and the table, and without them the
// check value matches.
bool SignedAfterUnalignedBundle(const uint8_t* file, size_t size, int64_t offset, int64_t end,
                                const std::string& passPhrase);

struct TArchiveEntry {
  std::string name;
  vhz::TEntryFields fields;
  size_t dataOffset;  // in the plain body
};

// Descrambles archive (a whole archive file) into body, checks it and walks
// its entries with the extraction's record walk. False with a message when it
// is not a sound archive; entries then holds the records that could be read.
bool ReadArchive(const uint8_t* archive, size_t size, const std::string& passPhrase, TBytes* body,
                 std::vector<TArchiveEntry>* entries, std::string* error);

// The name as a terminal may show it: control characters as \xNN.
std::string EscapedName(const std::string& name);

// The listing that 'vhzip list' prints: one line per entry and a total.
std::string FormatListing(const std::vector<TArchiveEntry>& entries);
