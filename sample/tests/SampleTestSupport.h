// Helpers of the Wine tests of the stand-in product, the post-install steps and
// the scenarios: the staged payload, programs started as processes of their
// own, the browser's registry places the setup writes (its own are in
// Product.h) and which search-box helper an instance file names.
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

// Points this program's import of library!function (which the code under test,
// linked in, calls through) at replacement; what it held, or null.
void* ReplaceImport(const char* library, const char* function, void* replacement);

extern const char kToolbarKey[];
extern const char kMappingKey[];
extern const char kLayoutValue[];

// A string as REG_SZ data is stored (with its terminating zero); a DWORD's bytes.
std::string Z(const std::string& text);
std::string Dword(uint32_t value);

// Waits until the instance file names a live window of the program image; its process.
DWORD WaitForHelper(const std::string& instanceFile, const std::string& image, DWORD timeoutMs);

}  // namespace sampletest
