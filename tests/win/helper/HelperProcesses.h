// The search-box helper as a process of its own in the post-install tests:
// which helper an instance file names, and the clean-up that leaves no helper
// (and no decoy) of a test running.
#pragma once

#include <windows.h>

#include <string>

namespace helpertest {

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

}  // namespace helpertest
