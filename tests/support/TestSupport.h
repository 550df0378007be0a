// Helpers shared by the test programs of both platforms.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace twxtest {

// How long a test waits for what it needs (a window, a file, a process's end):
// as long as it takes (the value of INFINITE). No test asserts that something
// happens within a time; the ctest timeout ends a test that hangs.
const uint32_t kUntilDone = 0xFFFFFFFFu;

// A fresh, empty folder below the system's temporary folder, removed with all
// its contents (read-only files included) when the object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The folder's path, without a trailing separator.
  const std::string& Path() const { return path_; }
  // Path() + "\" + relative: the setup's way of joining, on both platforms.
  std::string Join(const std::string& relative) const { return path_ + "\\" + relative; }

 private:
  std::string path_;
};

// Whole-file helpers over the product's file access (backslash paths natively too).
bool WriteWholeFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFileOr(const std::string& path, const std::string& fallback);

// Polls done until it holds; false when timeoutMs passed first (Windows only).
bool WaitUntil(const std::function<bool()>& done, uint32_t timeoutMs);

// The platform's own view: the read-only attribute on Windows, no write bit natively.
bool IsReadOnly(const std::string& path);

// Names of the entries of a folder (files and folders, without "." and ".."), sorted.
std::vector<std::string> ListFolder(const std::string& path);

// Removes a file or a folder tree; clears read-only attributes on the way.
void RemoveTree(const std::string& path);

// A symbolic link at link leading to target (hard false), or a second name for
// the file target (hard true). False where the platform cannot make one: then
// the test says so and skips.
bool MakeLink(const std::string& target, const std::string& link, bool hard);

// True in a Windows program that Wine runs.
bool RunningUnderWine();

// Folder for test artifacts (screenshots, logs): $TWX_ARTIFACTS, or the temp folder.
std::string ArtifactsFolder();

// Where a shared check was called from: its last parameter is `TCaller caller =
// Caller()`, which the compiler fills in with the calling line, and it names
// that line in its failures (a testing::ScopedTrace of caller.file, caller.line).
struct TCaller {
  const char* file;
  int line;
};
inline TCaller Caller(const char* file = __builtin_FILE(), int line = __builtin_LINE()) { return {file, line}; }

#ifdef _WIN32
// A shortcut file read back as the shell reads it: through the shell-link
// object and IPersistFile::Load.
struct TLinkInfo {
  bool loaded = false;
  std::string target, workingFolder, description;
  uint16_t hotKey = 0xFFFF;
};
TLinkInfo ReadLink(const std::string& file);
#endif

// Deterministic pseudo-random bytes for data-driven tests.
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);

}  // namespace twxtest
