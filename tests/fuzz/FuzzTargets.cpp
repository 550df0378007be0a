// libFuzzer targets for the decoders, one per build (TWX_FUZZ_<target>): no crash, no code outside the
// documented ones, and after -5 the returned length is enough. An input is a 4-byte little-endian base
// length, the base, then the patch stream (entry data has no base).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ApplyPth.h"
#include "CRC_32.h"

// Each target uses some of the helpers below: they have external linkage, so
// that the others are not reported as unused.
struct TInput {
  std::vector<uint8_t> base, patch;
  size_t at[2];  // read positions in base and patch
};

// Random mutations almost never keep a block's check value right, which would
// stop every run at the first block: inputs with an even last byte get theirs
// recomputed, the others keep the mismatch path covered.
TInput Split(const uint8_t* data, size_t size, bool withBase) {
  const size_t skip = withBase && size >= 4 ? 4 : 0;
  const uint32_t want = skip ? data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24 : 0;
  const size_t baseSize = std::min<size_t>(want, size - skip);
  TInput in = {{data + skip, data + skip + baseSize}, {data + skip + baseSize, data + size}, {0, 0}};
  uint8_t* const p = in.patch.data();
  const bool fix = !in.patch.empty() && (in.patch.back() & 1) == 0;
  for (size_t at = 0; fix && at + vhz::kBlockHeaderSize <= in.patch.size();) {
    const vhz::TBlockHeader h = vhz::GetBlockHeader(p + at);
    if (h.storedLength < 0 || at + vhz::kBlockHeaderSize + h.storedLength > in.patch.size()) break;
    vhz::PutLE(p + at + 9, UpdateCrc32(p + at + vhz::kBlockHeaderSize, h.storedLength, vhz::kCheckStart), 4);
    at += vhz::kBlockHeaderSize + h.storedLength;
  }
  return in;
}

// Reads hand out uneven pieces, so that the decoder's read-until-complete loops run.
int32_t Read(void* user, int which, int32_t count, void* buffer) {
  TInput* in = static_cast<TInput*>(user);
  const std::vector<uint8_t>& from = which ? in->patch : in->base;
  const size_t left = from.size() - std::min(in->at[which], from.size());
  const size_t n = std::min({static_cast<size_t>(count), left, 1 + in->at[which] % 4096});
  if (n) std::memcpy(buffer, from.data() + in->at[which], n);
  in->at[which] += n;
  return static_cast<int32_t>(n);
}
void BaseRead(void* buffer, int32_t count, int32_t* n, void* user) { *n = Read(user, 0, count, buffer); }
void BaseSeek(int32_t offset, void* user) { static_cast<TInput*>(user)->at[0] = static_cast<size_t>(offset); }
void PatchRead(void* buffer, int32_t count, int32_t* n, void* user) { *n = Read(user, 1, count, buffer); }
int32_t EntryRead(void* buffer, int32_t count, void* user) { return Read(user, 1, count, buffer); }
void Write(const void*, int32_t count, void*) { if (count < 0) abort(); }
int32_t Memory(const TInput& in, int32_t capacity, int32_t* length) {
  std::vector<uint8_t> output(static_cast<size_t>(*length = capacity));
  const int32_t code = ApplyPatchToBuffer(in.base.data(), static_cast<int32_t>(in.base.size()), output.data(), length,
                                          in.patch.data(), static_cast<int32_t>(in.patch.size()), nullptr, nullptr);
  if (code < kPatchOutputTooSmall || code > 0 || (code == kPatchOk && *length > capacity)) abort();
  return code;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if defined(TWX_FUZZ_FuzzDecodeEntryStream)
  TInput in = Split(data, size, false);
  const int32_t code = DecodeEntryStream(EntryRead, Write, &in);
  if ((code != kEntryDecoded && code != kEntryFailed) || in.at[1] > in.patch.size()) abort();
#elif defined(TWX_FUZZ_FuzzApplyPatchToBuffer)
  const TInput in = Split(data, size, true);
  int32_t length = 0, again = 0;
  if (Memory(in, 64, &length) == kPatchOutputTooSmall && length <= (64 << 20) &&
      (length <= 64 || Memory(in, length, &again) != kPatchOk || again != length))
    abort();
#else
  TInput in = Split(data, size, true);
  const int32_t code = ApplyPatchStream(BaseRead, BaseSeek, &in, Write, &in, PatchRead,
                                        static_cast<int32_t>(in.patch.size()), &in, nullptr, nullptr);
  if (code < kPatchCheckMismatch || code > 0 || in.at[1] > in.patch.size()) abort();
#endif
  return 0;
}
