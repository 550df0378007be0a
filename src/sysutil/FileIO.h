// Byte-granular file access behind one declaration for both platforms: the
// Win32 "A" functions on Windows, POSIX calls natively, so that the payload
// extraction runs the same code under Wine and on Linux. On POSIX a "\" in a
// path is taken as "/", and the read-only attribute maps to the write bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
typedef void* TFileHandle;  // a Win32 HANDLE
inline TFileHandle const kNoFile = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
typedef int TFileHandle;  // a file descriptor
inline TFileHandle const kNoFile = -1;
#endif

// The most bytes one count of the functions below names, and the most that any
// length field of the archive and patch formats describes: a file of 2 GiB or
// more is never read whole.
const int64_t kMaxByteCount = 0x7FFFFFFF;

// File attribute bits as Windows defines them; natively only read-only and
// directory mean anything.
const uint32_t kAttrReadOnly = 0x01;
const uint32_t kAttrHidden = 0x02;
const uint32_t kAttrSystem = 0x04;
const uint32_t kAttrDirectory = 0x10;
const uint32_t kAttrArchive = 0x20;
const uint32_t kAttrNormal = 0x80;

TFileHandle OpenFileForRead(const std::string& path);
TFileHandle OpenFileForReadWrite(const std::string& path);
// Creates the file or truncates an existing one; opened for writing.
TFileHandle CreateFileForWrite(const std::string& path);
// Creates a file that does not exist yet, opened for writing. Fails when
// anything already has the name, a link too (even one that leads nowhere), so
// nothing is ever written through a link planted there.
TFileHandle CreateNewFile(const std::string& path);
// Opens an existing plain file for reading and writing, but not through a link
// and not a file that has another name (a hard link) as well.
TFileHandle OpenOwnFileForReadWrite(const std::string& path);
// Reads up to count bytes; delivered is 0 at the end of the file. False on an error.
bool ReadFileBytes(TFileHandle file, void* buffer, int32_t count, int32_t* delivered);
// Writes all count bytes; false when they could not all be written.
bool WriteFileBytes(TFileHandle file, const void* buffer, int32_t count);
// Hands everything written to the file to the disk before it returns, so that a
// power cut after it cannot lose or tear it. False when the disk reported an error.
bool FlushFile(TFileHandle file);
bool SeekFile(TFileHandle file, int64_t position);
// Current position, or -1.
int64_t FilePosition(TFileHandle file);
// Size in bytes, or -1.
int64_t FileSize(TFileHandle file);
bool CloseFile(TFileHandle file);
bool DeleteFilePath(const std::string& path);
// Removes this name of a file, read-only or not. On Windows the read-only
// attribute must go first, and it belongs to the file, not to the name: the
// file's other names (hard links) get it back where the system allows
// (Vista on). Natively the write bits are never touched.
bool DeleteFileName(const std::string& path);
// Plain folder creation without parents; false when it failed or already exists.
bool CreateFolder(const std::string& path);
// Removes a folder only when it is empty; false otherwise.
bool RemoveFolder(const std::string& path);
// Moves the file from over the file to, replacing it: whoever opens to sees the
// old or the new file whole, never a mixture, and the move is on the disk when
// it returns (Windows 98 and Me cannot write a move through). False, with both
// left as they were, when the move failed.
bool ReplaceFilePath(const std::string& from, const std::string& to);
// The current directory, without a trailing separator unless it is a root.
std::string CurrentFolder();
// The full path of the running executable.
std::string OwnModulePath();
// The running executable opened for reading, found by its wide name where the
// system has one: the ANSI name of a folder the code page cannot write is lost.
TFileHandle OpenOwnImage();
// GetLastError on Windows, errno natively.
uint32_t LastSystemError();
// The path as the platform's file functions take it ("\" becomes "/" natively).
std::string NativePath(const std::string& path);

// What a name stands for. With followLink false a link is reported as one (on
// Windows every reparse point: symbolic links and junctions); with followLink
// true what it leads to is reported. Pipes, devices and sockets are "other".
const int32_t kPathMissing = 0;
const int32_t kPathFile = 1;
const int32_t kPathFolder = 2;
const int32_t kPathLink = 3;
const int32_t kPathOther = 4;
int32_t PathKind(const std::string& path, bool followLink);
// Removes a link itself (to a file or to a folder); what it leads to stays untouched.
bool RemoveLink(const std::string& path);
// True when both names lead to one and the same file (links followed).
bool IsSameFile(const std::string& a, const std::string& b);
// The longest path the Windows "A" functions take: MAX_PATH (260) less the
// terminating zero.
const size_t kAnsiPathLimit = 259;
// The longest path the platform's file functions take: kAnsiPathLimit on
// Windows, PATH_MAX less its terminating zero natively.
extern const size_t kPlatformPathLimit;

// The attribute bits of a file or folder, or kNoAttributes when it cannot be
// read. Natively: read-only when no write bit is set, otherwise normal.
const uint32_t kNoAttributes = 0xFFFFFFFFu;
uint32_t FileAttributes(const std::string& path);

// One name in a folder: whether it is a folder, and its attribute bits as
// FileAttributes gives them.
struct TFolderMember {
  std::string name;
  bool isFolder;
  uint32_t attributes;
};
// The names in a folder, in the order the system gives them, without "." and
// ".."; false when it cannot be read.
bool ListFolder(const std::string& path, std::vector<TFolderMember>* items);
