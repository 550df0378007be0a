#include "Files.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "FileIO.h"
#include "FileUtils.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

bool WriteWholeFile(const std::string& path, const TBytes& bytes) {
  return WriteFileBeside(path, bytes.data(), bytes.size(), WriteFileBytes);
}

std::string ReadProblem(const std::string& path) {
  if (FileSizeOr(path, 0) >= kMaxByteCount) return "'" + path + "' is too large: 2 GiB or more";
  return "cannot read '" + path + "'";
}

int64_t FileSizeOr(const std::string& path, int64_t fallback) {
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return fallback;
  int64_t size = FileSize(file);
  CloseFile(file);
  return size < 0 ? fallback : size;
}

std::string PortablePath(const std::string& path) {
  std::string portable(path);
  std::replace(portable.begin(), portable.end(), '/', '\\');
  return portable;
}

std::string ResolvedPath(const std::string& path) {
#ifdef _WIN32
  if (PathKind(path, false) == kPathLink) return std::string();
  char full[MAX_PATH + 1];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n > 0 && n <= MAX_PATH ? std::string(full, n) : std::string();
#else
  char* resolved = realpath(NativePath(path).c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  const std::string result(resolved);
  std::free(resolved);
  return result;
#endif
}

std::string TemporaryFilePath(const std::string& stem) {
#ifdef _WIN32
  char folder[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof folder, folder);
  std::string base = n > 0 && n <= MAX_PATH ? std::string(folder, n) : std::string(".\\");
  const unsigned long pid = GetCurrentProcessId();
#else
  const char* tmp = std::getenv("TMPDIR");
  std::string base = PortablePath(std::string(tmp && *tmp ? tmp : "/tmp") + "/");
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (unsigned attempt = 0;; ++attempt) {
    const std::string path = base + stem + "-" + std::to_string(pid) + "-" + std::to_string(ticks % 1000000007ull) +
                             "-" + std::to_string(attempt) + ".tmp";
    if (!IsExistingFile(path) && !IsExistingFolder(path)) return path;
  }
}
