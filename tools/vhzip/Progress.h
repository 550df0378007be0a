// A progress bar on standard error, shown only when that is a terminal, so
// that logs and pipes stay clean. Safe to advance from several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

struct TProgress {
  std::string label;
  int64_t total;
  std::atomic<int64_t> done;
  bool shown;
  int lastPermille;
  std::mutex drawing;
};

void StartProgress(TProgress* p, const std::string& label, int64_t total);
void AdvanceProgress(TProgress* p, int64_t amount);
void EndProgress(TProgress* p);
