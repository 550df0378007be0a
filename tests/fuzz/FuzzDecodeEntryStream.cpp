// The entry adapter on arbitrary entry data: 0 or 3, never more data read
// than there is, and success only with a fully consistent stream.
#include <cstdlib>
#include <cstring>

#include "ApplyPth.h"
#include "FuzzInput.h"

namespace {

struct TEntry {
  const uint8_t* data;
  size_t size;
  size_t position;
  size_t written;
};

int32_t Read(void* buffer, int32_t count, void* context) {
  TEntry* e = static_cast<TEntry*>(context);
  size_t left = e->size - e->position;
  size_t n = left < static_cast<size_t>(count) ? left : static_cast<size_t>(count);
  if (n) std::memcpy(buffer, e->data + e->position, n);
  e->position += n;
  return static_cast<int32_t>(n);
}
void Write(const void*, int32_t count, void* context) {
  if (count < 0) abort();
  static_cast<TEntry*>(context)->written += static_cast<size_t>(count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFF0u) return 0;
  std::vector<uint8_t> fixed = WithBlockChecksFixed(data, static_cast<int32_t>(size));
  TEntry e = {fixed.data(), size, 0, 0};
  int32_t code = DecodeEntryStream(Read, Write, &e);
  if (code != kEntryDecoded && code != kEntryFailed) abort();
  if (e.position > size) abort();
  return 0;
}
