// Helpers shared by the test programs of both platforms (the last ones Windows
// only: the registry, the staged payload, programs run as processes of their own).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FileUtils.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace twxtest {

// How long a test waits for what it needs (a window, a file, a process's end):
// as long as it takes (the value of INFINITE), within the program's time
// (WaitBound). No test asserts that something happens within a time.
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
// ctest ends a program at its time limit without a word on what never came.
// So every wait ends by three quarters of that limit (TWX_TIME_LIMIT seconds,
// which ctest hands over) after the program started, and the waits after it
// at once: a hang detector, not a speed test. The longest a wait may take from
// now: timeoutMs, or what is left of the program's time.
uint32_t WaitBound(uint32_t timeoutMs);
// A wait that ended without what it waited for: a failure that names it.
void NeverCame(const std::string& what, TCaller caller = Caller());
// Polls done until it holds; false, and NeverCame(what), when the bound passed first.
bool WaitUntil(const std::function<bool()>& done, uint32_t timeoutMs, const std::string& what,
               TCaller caller = Caller());
// Waits for a process or thread to end, within the same bound; false, and
// NeverCame(what), when it did not.
bool WaitForEnd(HANDLE object, uint32_t timeoutMs, const std::string& what, TCaller caller = Caller());

// A shortcut file read back as the shell reads it: through the shell-link
// object and IPersistFile::Load.
struct TLinkInfo {
  bool loaded = false;
  std::string target, workingFolder, description;
  uint16_t hotKey = 0xFFFF;
};
TLinkInfo ReadLink(const std::string& file);

// The machine-wide registry roots of this process redirected into a scratch
// key, so registry tests neither depend on nor change the Wine prefix's registry.
// While an instance lives, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_CLASSES_ROOT and HKEY_USERS of this process open empty scratch keys;
// the destructor restores the real roots and deletes the scratch tree.
class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // False when a root could not be redirected (the test must not go on).
  bool Active() const { return active_; }

 private:
  std::string scratch_;
  HKEY keys_[4] = {};
  bool active_ = false;
};

// Small readers for assertions. ReadRegRaw gives the stored bytes exactly (a
// terminating NUL included) and, where asked, their type; ReadRegString drops
// one terminating NUL. Both give "" when the value is missing (and the type
// (DWORD)-1). RegKeyExists looks in the view that rights name (KEY_WOW64_...).
std::string ReadRegRaw(HKEY root, const std::string& key, const std::string& value, DWORD* type = nullptr);
std::string ReadRegString(HKEY root, const std::string& key, const std::string& value);
bool RegKeyExists(HKEY root, const std::string& key, REGSAM view = 0);
bool WriteRegString(HKEY root, const std::string& key, const std::string& value, const std::string& data);
// Sets a value (the key's unnamed one for an empty name) of any type to exactly these bytes.
bool WriteRegValue(HKEY root, const std::string& key, const std::string& value, DWORD type, const std::string& data);

// A file of the staged payload tree, or of the programs its delta patches make.
std::string PayloadPath(const std::string& relative);
std::string PatchSourcePath(const std::string& relative);
// The programs the payload's patches make, relative to the destination.
const char* const kPatchedPrograms[] = {"SrchCfg.exe", "Help\\TWXHelp.exe", "Trawlix.exe"};

// The folder as an installation leaves it: the payload with the patched programs.
bool MakeInstalledProduct(const std::string& folder);
// The folder as the extraction leaves it: the payload with the delta patches.
bool MakeExtractedPayload(const std::string& folder);

// A started program; the destructor ends it if a test left it running.
class TProgram {
 public:
  TProgram() = default;
  TProgram(const TProgram&) = delete;
  ~TProgram();
  // Starts exe with the arguments (appended to its quoted path as they are).
  bool Start(const std::string& exe, const std::string& arguments = "");
  // Starts exe by its wide name, which may hold characters the ANSI code page lacks.
  bool Start(const std::wstring& exe);
  // The exit code, or STILL_ACTIVE (and a failure) when it did not end within timeoutMs.
  DWORD WaitForExit(DWORD timeoutMs);
  DWORD Id() const { return process_.dwProcessId; }
  // Waits until the program waits in its message loop; false when it ended first.
  bool WaitUntilIdle(DWORD timeoutMs);

 private:
  PROCESS_INFORMATION process_ = {};
  std::string exe_;
};

// Points this program's import of library!function (which the code under test,
// linked in, calls through) at replacement; what it held, or null.
extern "C" void* ReplaceImport(const char* library, const char* function, void* replacement);
#endif

// The lead bytes of code page 932, 936, 949 or 950, or of a single-byte one
// (1252): under Windows the system's own (IsDBCSLeadByteEx), natively as the
// code pages' tables give them.
TLeadByteRule LeadBytesOf(unsigned codePage);

// Deterministic pseudo-random bytes for data-driven tests.
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);

}  // namespace twxtest
