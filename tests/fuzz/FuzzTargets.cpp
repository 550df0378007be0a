// libFuzzer targets for the decoders, one per build (TWX_FUZZ_<target>): no
// crash, no code outside the documented ones, and after -5 the returned length
// is enough. An input carries its own base: a 4-byte little-endian base
// length, the base, then the patch stream (entry data has no base).
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ApplyPth.h"
#include "CRC_32.h"

namespace {

struct TInput {
  const uint8_t* base;
  int32_t baseSize;
  std::vector<uint8_t> patch;
  size_t basePosition, patchPosition;
};

// Random mutations almost never keep a block's check value right, which would
// stop every run at the first block: inputs with an even last byte get theirs
// recomputed, the others keep the mismatch path covered.
TInput Split(const uint8_t* data, size_t size, bool withBase) {
  size = std::min<size_t>(size, 0x7FFFFFF0u);
  const size_t skip = withBase && size >= 4 ? 4 : 0;
  const size_t baseSize = skip ? std::min<size_t>(data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24, size - 4) : 0;
  TInput in = {data + skip, static_cast<int32_t>(baseSize), std::vector<uint8_t>(data + skip + baseSize, data + size), 0, 0};
  const int64_t total = static_cast<int64_t>(in.patch.size());
  for (int64_t at = 0; total && (in.patch.back() & 1) == 0 && at + vhz::kBlockHeaderSize <= total;) {
    const vhz::TBlockHeader h = vhz::GetBlockHeader(in.patch.data() + at);
    const int64_t stored = at + vhz::kBlockHeaderSize;
    if (h.storedLength < 0 || stored + h.storedLength > total) break;
    vhz::PutLE(in.patch.data() + at + 9, UpdateCrc32(in.patch.data() + stored, h.storedLength, vhz::kCheckStart), 4);
    at = stored + h.storedLength;
  }
  return in;
}

int32_t Hand(const uint8_t* from, size_t size, size_t* position, int32_t count, void* buffer) {
  const size_t n = std::min({static_cast<size_t>(count), size - std::min(*position, size), 1 + *position % 4096});
  if (n) std::memcpy(buffer, from + *position, n);
  *position += n;
  return static_cast<int32_t>(n);
}
void BaseRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  TInput* in = static_cast<TInput*>(user);
  *delivered = Hand(in->base, static_cast<size_t>(in->baseSize), &in->basePosition, count, buffer);
}
void BaseSeek(int32_t offset, void* user) { static_cast<TInput*>(user)->basePosition = static_cast<size_t>(offset); }
int32_t EntryRead(void* buffer, int32_t count, void* user) {
  TInput* in = static_cast<TInput*>(user);
  return Hand(in->patch.data(), in->patch.size(), &in->patchPosition, count, buffer);
}
void PatchRead(void* buffer, int32_t count, int32_t* delivered, void* user) { *delivered = EntryRead(buffer, count, user); }
void Write(const void*, int32_t count, void*) {
  if (count < 0) abort();
}

int32_t Memory(const TInput& in, int32_t capacity, int32_t* length) {
  std::vector<uint8_t> output(static_cast<size_t>(capacity));
  *length = capacity;
  return ApplyPatchToBuffer(in.base, in.baseSize, output.data(), length, in.patch.data(),
                            static_cast<int32_t>(in.patch.size()), nullptr, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if defined(TWX_FUZZ_FuzzDecodeEntryStream)
  TInput in = Split(data, size, false);
  const int32_t code = DecodeEntryStream(EntryRead, Write, &in);
  if ((code != kEntryDecoded && code != kEntryFailed) || in.patchPosition > in.patch.size()) abort();
#elif defined(TWX_FUZZ_FuzzApplyPatchToBuffer)
  const TInput in = Split(data, size, true);
  int32_t length = 0, again = 0;
  const int32_t code = Memory(in, 64, &length);
  if (code < kPatchOutputTooSmall || code > 0 || (code == kPatchOk && length > 64)) abort();
  if (code == kPatchOutputTooSmall && (length <= 64 || (length <= (64 << 20) && (Memory(in, length, &again) != kPatchOk || again != length))))
    abort();
#else
  TInput in = Split(data, size, true);
  const int32_t code = ApplyPatchStream(BaseRead, BaseSeek, &in, Write, &in, PatchRead,
                                        static_cast<int32_t>(in.patch.size()), &in, nullptr, nullptr);
  if (code < kPatchCheckMismatch || code > 0 || in.patchPosition > in.patch.size()) abort();
#endif
  return 0;
}
