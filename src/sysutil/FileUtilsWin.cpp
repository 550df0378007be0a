// The Win32 half of the file utilities and of the portable file access.
#include <windows.h>

#include "FileIO.h"
#include "FileUtils.h"

// The error of a call that failed. Some conversions fail without setting one
// (an impossible date, under Wine): that must not read as success.
static uint32_t FailureCode() {
  const DWORD error = GetLastError();
  return error != 0 ? error : ERROR_INVALID_PARAMETER;
}

uint32_t SetFileDosTime(TFileHandle file, TDosDateTime dosDateTime) {
  FILETIME local, utc;
  SetLastError(0);
  if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime & 0xFFFF), &local))
    return FailureCode();
  if (!LocalFileTimeToFileTime(&local, &utc)) return FailureCode();
  if (!SetFileTime(file, nullptr, nullptr, &utc)) return FailureCode();
  return 0;
}

uint32_t SetAttributes(const std::string& path, uint32_t attributes) {
  if (!SetFileAttributesA(path.c_str(), attributes)) return FailureCode();
  return 0;
}

static TDosDateTime LocalDosTime(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local)) return kNoDosTime;
  if (!FileTimeToDosDateTime(&local, &date, &time)) return kNoDosTime;
  return (static_cast<uint32_t>(date) << 16) | time;
}

TDosDateTime FileDosTime(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return kNoDosTime;
  FindClose(find);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kNoDosTime;
  return LocalDosTime(data.ftLastWriteTime);
}

TDosDateTime DosTimeFromUnix(int64_t seconds) {
  // FILETIME counts 100 ns steps from 1601.
  const uint64_t ticks = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
  FILETIME utc;
  utc.dwLowDateTime = static_cast<DWORD>(ticks);
  utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return seconds < 0 ? kNoDosTime : LocalDosTime(utc);
}

bool IsExistingFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

static TFileHandle OpenWith(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TFileHandle OpenFileForRead(const std::string& path) {
  return OpenWith(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

TFileHandle OpenFileForReadWrite(const std::string& path) {
  return OpenWith(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
}

TFileHandle CreateFileForWrite(const std::string& path) {
  return OpenWith(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
}

// Create-new refuses a name that exists in any form, a reparse point included,
// without following it.
TFileHandle CreateNewFile(const std::string& path) { return OpenWith(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW); }

TFileHandle OpenOwnFileForReadWrite(const std::string& path) {
  if (PathKind(path, false) != kPathFile) return kNoFile;
  TFileHandle file = OpenFileForReadWrite(path);
  BY_HANDLE_FILE_INFORMATION info;
  if (file != kNoFile && (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks > 1 ||
                          (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)) {
    CloseHandle(file);
    return kNoFile;
  }
  return file;
}

static_assert(kAnsiPathLimit == MAX_PATH - 1, "the A functions' path limit");
const size_t kPlatformPathLimit = kAnsiPathLimit;

int32_t PathKind(const std::string& path, bool followLink) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return kPathMissing;
  if (!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return kPathLink;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return kPathFolder;
  return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? kPathOther : kPathFile;
}

bool RemoveLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  // A link to a folder (or a junction) goes as a folder, the folder it leads
  // to staying as it is; a link to a file as a file.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryA(path.c_str()) != 0;
  return DeleteFileA(path.c_str()) != 0;
}

static bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, info) != 0;
  CloseHandle(file);
  return ok;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  return FileIdentity(a, &first) && FileIdentity(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool ReadFileBytes(TFileHandle file, void* buffer, int32_t count, int32_t* delivered) {
  *delivered = 0;
  if (count < 0) return false;
  DWORD got = 0;
  if (!ReadFile(file, buffer, static_cast<DWORD>(count), &got, nullptr)) return false;
  *delivered = static_cast<int32_t>(got);
  return true;
}

bool WriteFileBytes(TFileHandle file, const void* buffer, int32_t count) {
  if (count < 0) return false;
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    DWORD done = 0;
    if (!WriteFile(file, p, static_cast<DWORD>(count), &done, nullptr) || done == 0) return false;
    p += done;
    count -= static_cast<int32_t>(done);
  }
  return true;
}

bool FlushFile(TFileHandle file) { return FlushFileBuffers(file) != 0; }

bool SeekFile(TFileHandle file, int64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = position;
  return position >= 0 && SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

int64_t FilePosition(TFileHandle file) {
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(file, zero, &at, FILE_CURRENT)) return -1;
  return at.QuadPart;
}

int64_t FileSize(TFileHandle file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return -1;
  return size.QuadPart;
}

bool CloseFile(TFileHandle file) { return file != kNoFile && CloseHandle(file) != 0; }

bool DeleteFilePath(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool DeleteFileName(const std::string& path) {
  if (DeleteFileA(path.c_str())) return true;
  HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
  bool deleted = SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileA(path.c_str());
  if (!deleted && known) SetFileAttributesA(path.c_str(), info.dwFileAttributes);
  if (deleted && known && info.nNumberOfLinks > 1) {
    // The name is only marked for deletion while the handle is open: the
    // attributes go back to the file through it before the name is gone.
    typedef BOOL(WINAPI * TSetInformation)(HANDLE, int, LPVOID, DWORD);
    const auto setInformation = reinterpret_cast<TSetInformation>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
    struct {
      LARGE_INTEGER creation, access, write, change;
      DWORD attributes;
    } basic = {};
    basic.attributes = info.dwFileAttributes;
    if (setInformation != nullptr) setInformation(file, 0 /* FileBasicInfo */, &basic, sizeof basic);
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return deleted;
}

bool CreateFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool RemoveFolder(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool ReplaceFilePath(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  // Windows 98 and Me lack MoveFileExA. The new file is complete before the old
  // one goes, so only the moment between the two calls is unprotected there.
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
  if (GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileA(to.c_str())) return false;
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

std::string CurrentFolder() {
  char buffer[MAX_PATH + 1];
  const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (n == 0 || n > MAX_PATH) return std::string();
  return std::string(buffer, n);
}

std::string OwnModulePath() {
  char buffer[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return std::string();
  return std::string(buffer, n);
}

TFileHandle OpenOwnImage() {
  // The setup does not choose the folder it is started from: a download folder
  // under a user name of another script has no name in the ANSI code page
  // ("C:\????\..."), so the image is opened by its wide name. Windows 98 has
  // no wide functions; there the ANSI name is all there is.
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return OpenFileForRead(OwnModulePath());
    if (n < name.size()) break;
    if (name.size() >= 32768) return kNoFile;
    name.resize(name.size() * 2);
  }
  const HANDLE file = CreateFileW(name.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)
    return OpenFileForRead(OwnModulePath());
  return file;
}

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

uint32_t LastSystemError() { return GetLastError(); }

std::string NativePath(const std::string& path) { return path; }

bool ListFolder(const std::string& path, std::vector<TFolderMember>* items) {
  items->clear();
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    items->push_back(TFolderMember{name, isFolder, data.dwFileAttributes});
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return true;
}

uint32_t FileAttributes(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? kNoAttributes : attributes;
}
