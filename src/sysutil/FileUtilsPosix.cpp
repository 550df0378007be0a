// The POSIX half of the file utilities and of the portable file access, so that
// the extraction also runs on Linux. DOS date/times are local time here too.
#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileIO.h"
#include "FileUtils.h"

std::string NativePath(const std::string& path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

static bool DosToTimeT(TDosDateTime value, time_t* result) {
  const TDosTimeParts dos = DosTimeParts(value);
  struct tm parts = {};
  parts.tm_year = dos.year - 1900;
  parts.tm_mon = dos.month - 1;
  parts.tm_mday = dos.day;
  parts.tm_hour = dos.hour;
  parts.tm_min = dos.minute;
  parts.tm_sec = dos.second;
  // The same fields that the Windows conversion refuses.
  if (parts.tm_mon < 0 || parts.tm_mon > 11 || parts.tm_mday < 1 || parts.tm_hour > 23 || parts.tm_min > 59 ||
      parts.tm_sec > 59)
    return false;
  parts.tm_isdst = -1;
  const int month = parts.tm_mon, day = parts.tm_mday;
  *result = mktime(&parts);
  // mktime moves 30 February to March; Windows refuses such a date.
  return *result != static_cast<time_t>(-1) && parts.tm_mon == month && parts.tm_mday == day;
}

uint32_t SetFileDosTime(TFileHandle file, TDosDateTime dosDateTime) {
  time_t when;
  if (!DosToTimeT(dosDateTime, &when)) return EINVAL;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // last access stays as it is
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  if (futimens(file, times) != 0) return static_cast<uint32_t>(errno);
  return 0;
}

uint32_t SetAttributes(const std::string& path, uint32_t attributes) {
  struct stat info;
  const std::string native = NativePath(path);
  if (lstat(native.c_str(), &info) != 0) return static_cast<uint32_t>(errno);
  // As on Windows, the attributes of a link are its own: chmod would change
  // what it leads to, which may lie anywhere.
  if (S_ISLNK(info.st_mode)) return ELOOP;
  mode_t mode = info.st_mode & 07777;
  if (attributes & kAttrReadOnly)
    mode &= static_cast<mode_t>(~0222);
  else
    mode |= S_IWUSR;
  if (chmod(native.c_str(), mode) != 0) return static_cast<uint32_t>(errno);
  return 0;
}

TDosDateTime FileDosTime(const std::string& path) {
  struct stat info;
  if (stat(NativePath(path).c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return kNoDosTime;
  return DosTimeFromUnix(info.st_mtime);
}

TDosDateTime DosTimeFromUnix(int64_t seconds) {
  const time_t when = static_cast<time_t>(seconds);
  struct tm parts;
  if (localtime_r(&when, &parts) == nullptr) return kNoDosTime;
  const int year = parts.tm_year + 1900;
  if (year < 1980 || year > 2107) return kNoDosTime;
  const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) | (static_cast<uint32_t>(parts.tm_mon + 1) << 5) |
                        static_cast<uint32_t>(parts.tm_mday);
  const uint32_t time = (static_cast<uint32_t>(parts.tm_hour) << 11) | (static_cast<uint32_t>(parts.tm_min) << 5) |
                        static_cast<uint32_t>(parts.tm_sec / 2);
  return (date << 16) | time;
}

bool IsExistingFolder(const std::string& path) {
  struct stat info;
  return stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TFileHandle OpenFileForRead(const std::string& path) {
  return open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
}

TFileHandle OpenFileForReadWrite(const std::string& path) {
  return open(NativePath(path).c_str(), O_RDWR | O_CLOEXEC);
}

TFileHandle CreateFileForWrite(const std::string& path) {
  return open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

TFileHandle CreateNewFile(const std::string& path) {
  return open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

TFileHandle OpenOwnFileForReadWrite(const std::string& path) {
  const TFileHandle file = open(NativePath(path).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  struct stat info;
  if (file != kNoFile && (fstat(file, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)) {
    close(file);
    return kNoFile;
  }
  return file;
}

const size_t kPlatformPathLimit = PATH_MAX - 1;

int32_t PathKind(const std::string& path, bool followLink) {
  struct stat info;
  const std::string native = NativePath(path);
  if ((followLink ? stat(native.c_str(), &info) : lstat(native.c_str(), &info)) != 0) return kPathMissing;
  if (S_ISLNK(info.st_mode)) return kPathLink;
  if (S_ISDIR(info.st_mode)) return kPathFolder;
  return S_ISREG(info.st_mode) ? kPathFile : kPathOther;
}

bool RemoveLink(const std::string& path) {
  return PathKind(path, false) == kPathLink && unlink(NativePath(path).c_str()) == 0;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(NativePath(a).c_str(), &first) == 0 && stat(NativePath(b).c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool ReadFileBytes(TFileHandle file, void* buffer, int32_t count, int32_t* delivered) {
  *delivered = 0;
  if (count < 0) return false;
  ssize_t got;
  do {
    got = read(file, buffer, static_cast<size_t>(count));
  } while (got < 0 && errno == EINTR);
  if (got < 0) return false;
  *delivered = static_cast<int32_t>(got);
  return true;
}

bool WriteFileBytes(TFileHandle file, const void* buffer, int32_t count) {
  if (count < 0) return false;
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t done = write(file, p, static_cast<size_t>(count));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    count -= static_cast<int32_t>(done);
  }
  return true;
}

bool FlushFile(TFileHandle file) { return fsync(file) == 0; }

bool SeekFile(TFileHandle file, int64_t position) {
  return position >= 0 && lseek(file, static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
}

int64_t FilePosition(TFileHandle file) { return lseek(file, 0, SEEK_CUR); }

int64_t FileSize(TFileHandle file) {
  struct stat info;
  if (fstat(file, &info) != 0) return -1;
  return info.st_size;
}

bool CloseFile(TFileHandle file) { return file != kNoFile && close(file) == 0; }

bool DeleteFilePath(const std::string& path) {
  // DeleteFileA does not remove folders; neither does this.
  return unlink(NativePath(path).c_str()) == 0;
}

bool DeleteFileName(const std::string& path) { return DeleteFilePath(path); }

bool CreateFolder(const std::string& path) { return mkdir(NativePath(path).c_str(), 0777) == 0; }

bool RemoveFolder(const std::string& path) { return rmdir(NativePath(path).c_str()) == 0; }

bool ReplaceFilePath(const std::string& from, const std::string& to) {
  const std::string target = NativePath(to);
  if (rename(NativePath(from).c_str(), target.c_str()) != 0) return false;
  // The new name lives in the folder: it is on the disk once the folder is.
  const size_t slash = target.rfind('/');
  const int folder = open(slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash).c_str(),
                          O_RDONLY | O_DIRECTORY);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return std::string();
  return buffer;
}

std::string OwnModulePath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

TFileHandle OpenOwnImage() { return OpenFileForRead(OwnModulePath()); }

bool IsAnsiLeadByte(unsigned char) { return false; }

uint32_t LastSystemError() { return static_cast<uint32_t>(errno); }

static uint32_t AttributesOf(const struct stat& info) {
  uint32_t attributes = S_ISDIR(info.st_mode) ? kAttrDirectory : 0;
  if ((info.st_mode & 0222) == 0) attributes |= kAttrReadOnly;
  return attributes != 0 ? attributes : kAttrNormal;
}

bool ListFolder(const std::string& path, std::vector<TFolderMember>* items) {
  items->clear();
  const std::string native = NativePath(path);
  DIR* folder = opendir(native.c_str());
  if (folder == nullptr) return false;
  while (struct dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    // Links count as what they point to, as they would for any reader.
    struct stat info;
    const bool known = stat((native + "/" + name).c_str(), &info) == 0;
    items->push_back(TFolderMember{name, known && S_ISDIR(info.st_mode), known ? AttributesOf(info) : kNoAttributes});
  }
  closedir(folder);
  return true;
}

uint32_t FileAttributes(const std::string& path) {
  struct stat info;
  if (stat(NativePath(path).c_str(), &info) != 0) return kNoAttributes;
  return AttributesOf(info);
}
