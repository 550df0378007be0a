// The memory variant on arbitrary patches: no crash, no write outside the
// output, and the retry contract: after -5 the returned length is enough.
#include <cstdlib>
#include <vector>

#include "ApplyPth.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in = SplitFuzzInput(data, size);
  std::vector<uint8_t> patch = WithBlockChecksFixed(in.patch, in.patchSize);
  in.patch = patch.data();
  // A small first capacity makes the -5 path common.
  std::vector<uint8_t> output(64);
  int32_t length = static_cast<int32_t>(output.size());
  int32_t code = ApplyPatchToBuffer(in.base, in.baseSize, output.data(), &length, in.patch, in.patchSize,
                                    nullptr, nullptr);
  if (code < -5 || code > 0) abort();
  if (code == kPatchOk && length > 64) abort();
  if (code == kPatchOutputTooSmall) {
    if (length <= 64) abort();
    if (length > (64 << 20)) return 0;  // a valid but huge output; not worth the memory
    std::vector<uint8_t> second(static_cast<size_t>(length));
    int32_t again = length;
    int32_t code2 = ApplyPatchToBuffer(in.base, in.baseSize, second.data(), &again, in.patch, in.patchSize,
                                       nullptr, nullptr);
    // -5 survives only when nothing else failed, so room for the returned
    // length must decode the stream completely.
    if (code2 != kPatchOk || again != length) abort();
  }
  return 0;
}
