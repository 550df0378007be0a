// File, path and date helpers shared by the extraction, the post-install steps,
// the dialogs and the probes. Paths are 8-bit strings in the ANSI code page with
// "\" (and ":" after a drive letter) as separators; "/" is not a separator here.
// None of these functions raises anything: each reports through its result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FileIO.h"

// MS-DOS date in the high 16 bits, MS-DOS time in the low 16 bits, local time.
typedef uint32_t TDosDateTime;
const TDosDateTime kNoDosTime = 0xFFFFFFFFu;

// Number of bytes before the first zero byte (0 for a null pointer).
int ZStrLength(const char* text);

// Whether a byte opens a two-byte character of a code page. The byte after it
// belongs to that character whatever it is, the one of "\" too: in code page
// 932 a kanji may be 0x95 0x5C. So every rule below steps through a text by
// characters, never by bytes.
typedef bool (*TLeadByteRule)(unsigned char byte);
// The rule of the system's ANSI code page, which the "A" functions convert
// paths with: IsDBCSLeadByte on Windows. Natively none: a path there is UTF-8,
// whose characters hold no byte below 0x80.
bool IsAnsiLeadByte(unsigned char byte);
// The index of the character after the one that starts at index at. A lead byte at
// the end, or before a zero byte, is a character of its own.
size_t NextCharacter(const std::string& text, size_t at, TLeadByteRule lead = IsAnsiLeadByte);

// Copy in which only the characters "a" to "z" become "A" to "Z"; bytes above
// 127 and the second bytes of two-byte characters stay as they are.
std::string UpperAscii(const std::string& text, TLeadByteRule lead = IsAnsiLeadByte);
// Whether text ends with suffix, letter case aside; the suffix must begin
// where a character of text does.
bool EndsWithNoCase(const std::string& text, const std::string& suffix, TLeadByteRule lead = IsAnsiLeadByte);

// 1-based position of the last character of text that is one of separators; 0 if none.
int LastSeparatorPos(const char* separators, const std::string& text, TLeadByteRule lead = IsAnsiLeadByte);
// The first "\" at or after from (where a character starts); npos when none.
size_t FindSeparator(const std::string& text, size_t from, TLeadByteRule lead = IsAnsiLeadByte);

// Up to and including the last "\" or ":"; empty when there is neither.
std::string PathPart(const std::string& path, TLeadByteRule lead = IsAnsiLeadByte);
// After the last "\" or ":"; the whole path when there is neither.
std::string NamePart(const std::string& path, TLeadByteRule lead = IsAnsiLeadByte);
// The last "." and what follows it, unless a "\" or ":" comes after that dot.
std::string ExtensionPart(const std::string& path, TLeadByteRule lead = IsAnsiLeadByte);
// The path before its last "\" or ":", without trailing backslashes (C:\x gives C:).
std::string ParentPart(const std::string& path, TLeadByteRule lead = IsAnsiLeadByte);

bool EndsWithBackslash(const std::string& path, TLeadByteRule lead = IsAnsiLeadByte);
// Without its final run of backslashes ("C:\" becomes "C:", "\\" empty).
std::string WithoutTrailingBackslashes(const std::string& path, TLeadByteRule lead = IsAnsiLeadByte);
// Without one final backslash, if it has one.
std::string WithoutOneTrailingBackslash(const std::string& path, TLeadByteRule lead = IsAnsiLeadByte);
// folder + "\" + name, with one backslash only where the folder ends with one.
std::string JoinPath(const std::string& folder, const std::string& name, TLeadByteRule lead = IsAnsiLeadByte);
// Every run of backslashes made one.
std::string CollapseBackslashes(const std::string& text, TLeadByteRule lead = IsAnsiLeadByte);

// Sets only the last-write time of an open file from a local DOS date/time.
// 0 or the system error code.
uint32_t SetFileDosTime(TFileHandle file, TDosDateTime dosDateTime);

// 0 or the system error code.
uint32_t SetAttributes(const std::string& path, uint32_t attributes);

// Last-write time of a file (not a folder) as a local DOS date/time, or kNoDosTime.
TDosDateTime FileDosTime(const std::string& path);
// A time in seconds since 1970 (UTC) as a local DOS date/time, or kNoDosTime
// outside the years 1980 to 2107.
TDosDateTime DosTimeFromUnix(int64_t seconds);

bool IsExistingFile(const std::string& path);
bool IsExistingFolder(const std::string& path);

// Creates the folder and every missing parent, outermost first. Reports nothing:
// a caller that needs to know checks IsExistingFolder afterwards. A path longer
// than kPlatformPathLimit is left alone.
void MakeFolderPath(const std::string& path, TLeadByteRule lead = IsAnsiLeadByte);

// The whole file. False when it cannot be opened, is 2 GiB or larger (no
// archive or patch field can describe it), or brings fewer bytes than its size
// said (it shrank while it was read): a short read is a failed read.
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

// How WriteFileBeside writes its bytes: WriteFileBytes, unless a test puts in
// one that fails part-way.
typedef bool (*TWriteBytes)(TFileHandle file, const void* buffer, int32_t count);

// Replaces the file with exactly count bytes. They go to "<path>.$$$" beside
// it first (an old one, or a link of that name, removed; the new one created
// exclusively, never through a link), which then takes the file's place: a
// write that fails part-way, on a full disk for instance, leaves the old file
// whole, and path may be the file the bytes were read from. The new file is
// flushed to the disk before it replaces the old one, and the move is written
// through. False when anything failed; no temporary file is left.
bool WriteFileBeside(const std::string& path, const void* bytes, size_t count, TWriteBytes write);
