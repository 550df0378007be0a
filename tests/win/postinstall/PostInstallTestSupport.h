// Shared by the post-install tests: the registry places the setup writes and
// small readers and writers for them; the search-box helper as a process of
// its own (which helper an instance file names, and the clean-up that leaves no
// helper, and no decoy, of a test running).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "RegistrySandbox.h"

namespace postinstalltest {

extern const char kUninstallKey[];
extern const char kRunKey[];
extern const char kExtensionKey[];
extern const char kToolbarKey[];
extern const char kMappingKey[];
extern const char kLayoutValue[];
extern const char kProductValue[];

// A string as REG_SZ data is stored: with its terminating zero.
std::string Z(const std::string& text);
// A 32-bit value as its four stored bytes.
std::string Dword(uint32_t value);
using twxtest::WriteRegValue;

// The full path of a running process's program; "" when it cannot be asked.
std::string ProcessImage(DWORD processId);

// The process whose live window the instance file names; 0 when none does.
DWORD HelperProcessOf(const std::string& instanceFile);

// Waits until the instance file names a live window of a program at image
// (compared without regard to case); that process's id, or 0.
DWORD WaitForHelper(const std::string& instanceFile, const std::string& image, DWORD timeoutMs);

// Ends every process whose program lies below folder; the number ended.
int EndProcessesBelow(const std::string& folder);

// A process that is still running after timeoutMs.
bool IsRunning(DWORD processId, DWORD timeoutMs = 0);

// The first two parts of a program's version, "5.10"; "" without version.
std::string VersionOf(const std::string& path);

}  // namespace postinstalltest
