// Helpers of the Wine tests of the stand-in product, the post-install steps and
// the scenarios: the staged payload, programs started as processes of their own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace sampletest {

// A file of the staged payload tree, or of the programs its delta patches make.
std::string PayloadPath(const std::string& relative);
std::string PatchSourcePath(const std::string& relative);

// The folder as an installation leaves it: the payload with the patched programs.
bool MakeInstalledProduct(const std::string& folder);

// A started program; the destructor ends it if a test left it running.
class TProgram {
 public:
  TProgram() = default;
  TProgram(const TProgram&) = delete;
  ~TProgram();
  // Starts exe with the arguments (appended to its quoted path as they are).
  bool Start(const std::string& exe, const std::string& arguments = "");
  // The exit code, or STILL_ACTIVE when it did not end within timeoutMs.
  DWORD WaitForExit(DWORD timeoutMs);
  DWORD Id() const { return process_.dwProcessId; }
  // Waits until the program waits in its message loop; false when it ended first.
  bool WaitUntilIdle(DWORD timeoutMs);

 private:
  PROCESS_INFORMATION process_ = {};
};

// Waits until a file or folder exists (exists false: until it is gone).
bool WaitForFile(const std::string& path, bool exists, DWORD timeoutMs);

// Waits until the file exists and holds exactly size bytes, without opening it.
bool WaitForFileSize(const std::string& path, uint64_t size, DWORD timeoutMs);

// Points this program's import of library!function (which the code under test,
// linked in, calls through) at replacement; what it held, or null.
void* ReplaceImport(const char* library, const char* function, void* replacement);

}  // namespace sampletest
