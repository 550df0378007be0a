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

// "a" to "z" made "A" to "Z"; every other byte stays as it is.
char UpperAsciiLetter(char c);
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
// A shortcut's working folder: the target's folder without its final "\", or
// the drive root with it (C:\Trawlix.exe gives C:\).
std::string ShortcutWorkingFolder(const std::string& target, TLeadByteRule lead = IsAnsiLeadByte);

// What must exist before a folder of a path can be created with an access list.
struct TSharedFolderPlan {
  // Every prefix of the path that ends at a separator followed by more of the
  // path, with "/" written as "\", outermost first (C:\, C:\A\, C:\A\B\ for
  // C:\A\B\C). Each is created plainly when it is missing.
  std::vector<std::string> prefixes;
  // The folder that hands its access list down: the path cut at its last "\"
  // (C: alone for a folder directly below a drive root); empty without one.
  std::string parent;
};
// False, with nothing planned, for a path longer than kAnsiPathLimit.
bool PlanSharedFolder(const std::string& path, TSharedFolderPlan* plan, TLeadByteRule lead = IsAnsiLeadByte);

// folder + "\" + name, with one backslash only where the folder ends with one.
std::string JoinPath(const std::string& folder, const std::string& name, TLeadByteRule lead = IsAnsiLeadByte);
// Every run of backslashes made one.
std::string CollapseBackslashes(const std::string& text, TLeadByteRule lead = IsAnsiLeadByte);

// The fields of a DOS date/time as they stand, unchecked: the year 1980 to
// 2107, month and day from 1, the seconds in steps of two.
struct TDosTimeParts {
  int year, month, day, hour, minute, second;
};
TDosTimeParts DosTimeParts(TDosDateTime value);

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

// A new version of a file is written beside it, under the file's name with
// this suffix, and takes the file's place only once it is whole: a write that
// fails part-way, on a full disk for instance, leaves the earlier file whole.
// Beside it, so that the move stays on one volume.
const char kBesideSuffix[] = ".$$$";
inline std::string BesidePath(const std::string& path) { return path + kBesideSuffix; }
// Creates the file beside path exclusively, never through a link: whatever has
// that name goes first (a link itself, never what it leads to; a read-only
// file too). kNoFile when it cannot be made.
TFileHandle CreateBesideFile(const std::string& path);

// How WriteFileBeside writes its bytes: WriteFileBytes, unless a test puts in
// one that fails part-way.
typedef bool (*TWriteBytes)(TFileHandle file, const void* buffer, int32_t count);

// Replaces the file with exactly count bytes, through the file beside it:
// path may be the file the bytes were read from. The new file is flushed to
// the disk before it replaces the old one, and the move is written through.
// False when anything failed; no file is left beside it.
bool WriteFileBeside(const std::string& path, const void* bytes, size_t count, TWriteBytes write);
