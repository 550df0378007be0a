// libFuzzer targets for the decoders, one per build (TWX_FUZZ_<target>): no crash, no code outside the
// documented ones, and after -5 the returned length is enough. An input is a 4-byte little-endian base
// length, the base, then the patch stream (entry data has no base).
#include "PatchBytes.h"

using namespace patchbytes;

// Random mutations almost never keep a block's check value right, which would
// stop every run at the first block: inputs with an even last byte get theirs
// recomputed, the others keep the mismatch path covered. Reads hand out uneven
// pieces; what the decoder writes is not kept.
TStreamIo Split(const uint8_t* data, size_t size, bool withBase) {
  const size_t skip = withBase && size >= 4 ? 4 : 0;
  const uint32_t want = skip ? data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24 : 0;
  const size_t baseSize = std::min<size_t>(want, size - skip);
  TStreamIo in = {{Bytes(data + skip, data + skip + baseSize), Bytes(data + skip + baseSize, data + size)}, {0, 0}, 0, nullptr};
  uint8_t* const p = in.from[1].data();
  const bool fix = !in.from[1].empty() && (in.from[1].back() & 1) == 0;
  for (size_t at = 0; fix && at + vhz::kBlockHeaderSize <= in.from[1].size();) {
    const vhz::TBlockHeader h = vhz::GetBlockHeader(p + at);
    if (h.storedLength < 0 || at + vhz::kBlockHeaderSize + h.storedLength > in.from[1].size()) break;
    PutLE(p + at + 9, UpdateCrc32(p + at + vhz::kBlockHeaderSize, h.storedLength, vhz::kCheckStart), 4);
    at += vhz::kBlockHeaderSize + h.storedLength;
  }
  return in;
}

// External linkage: each target uses some of these, and the others are not reported as unused.
int32_t EntryRead(void* buffer, int32_t count, void* user) { return Deliver(user, 1, count, buffer); }
int32_t Memory(const TStreamIo& in, int32_t capacity, int32_t* length) {
  std::vector<uint8_t> output(static_cast<size_t>(*length = capacity));
  const int32_t code = ApplyPatchToBuffer(in.from[0].data(), static_cast<int32_t>(in.from[0].size()), output.data(), length,
                                          in.from[1].data(), static_cast<int32_t>(in.from[1].size()), nullptr, nullptr);
  if (code < kPatchOutputTooSmall || code > 0 || (code == kPatchOk && *length > capacity)) abort();
  return code;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if defined(TWX_FUZZ_FuzzDecodeEntryStream)
  TStreamIo in = Split(data, size, false);
  const int32_t code = DecodeEntryStream(EntryRead, OutputWrite, &in);
  if ((code != kEntryDecoded && code != kEntryFailed) || in.at[1] > in.from[1].size()) abort();
#elif defined(TWX_FUZZ_FuzzApplyPatchToBuffer)
  const TStreamIo in = Split(data, size, true);
  int32_t length = 0, again = 0;
  if (Memory(in, 64, &length) == kPatchOutputTooSmall && length <= (64 << 20) &&
      (length <= 64 || Memory(in, length, &again) != kPatchOk || again != length))
    abort();
#else
  TStreamIo in = Split(data, size, true);
  const int32_t code = ApplyPatchStream(BaseRead, BaseSeek, &in, OutputWrite, &in, PatchRead,
                                        static_cast<int32_t>(in.from[1].size()), &in, nullptr, nullptr);
  if (code < kPatchCheckMismatch || code > 0 || in.at[1] > in.from[1].size()) abort();
#endif
  return 0;
}
