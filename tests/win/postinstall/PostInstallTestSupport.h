// Shared by the post-install tests and the setup's scenarios: the browser's
// registry places the setup writes (its own are in Product.h), small writers
// for them, and which search-box helper an instance file names.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Product.h"
#include "RegistrySandbox.h"

namespace postinstalltest {

extern const char kToolbarKey[];
extern const char kMappingKey[];
extern const char kLayoutValue[];

// A string as REG_SZ data is stored (with its terminating zero); a DWORD's bytes.
std::string Z(const std::string& text);
std::string Dword(uint32_t value);
using twxtest::WriteRegValue;

// The process whose live window the instance file names (the helper's own
// reading of the file); 0 when none does.
DWORD HelperProcessOf(const std::string& instanceFile);

// Waits until the instance file names a live window of the program image; its process.
DWORD WaitForHelper(const std::string& instanceFile, const std::string& image, DWORD timeoutMs);

// A process that is still running after timeoutMs.
bool IsRunning(DWORD processId, DWORD timeoutMs = 0);

}  // namespace postinstalltest
