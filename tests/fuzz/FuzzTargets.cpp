// libFuzzer targets for the decoders, one per build (TWX_FUZZ_<target>). An
// input carries its own base: a 4-byte little-endian base length, the base,
// then the patch stream (or the entry data); make_corpus.sh writes seeds so.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "CRC_32.h"

namespace {

struct TInput {
  const uint8_t *base, *patch;
  int32_t baseSize, patchSize;
  std::vector<uint8_t> fixed;
  size_t basePosition, patchPosition;
  uint32_t pieces;  // varies the piece sizes the callbacks hand out
  std::vector<uint8_t> output;
};

// Random mutations almost never keep a block's check value right, which would
// stop every run at the first block: inputs with an even last byte get theirs
// recomputed, the others keep the mismatch path covered.
void Split(const uint8_t* data, size_t size, bool withBase, TInput* in) {
  size = std::min<size_t>(size, 0x7FFFFFF0u);
  const size_t want = withBase && size >= 4 ? data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24 : 0;
  const size_t skip = withBase && size >= 4 ? 4 : 0, baseSize = std::min(want, size - skip);
  in->base = data + skip;
  in->baseSize = static_cast<int32_t>(baseSize);
  in->fixed.assign(data + skip + baseSize, data + size);
  in->patch = in->fixed.data();
  in->patchSize = static_cast<int32_t>(in->fixed.size());
  if (in->fixed.empty() || (in->fixed.back() & 1) != 0) return;
  for (int64_t at = 0; at + vhz::kBlockHeaderSize <= in->patchSize;) {
    const vhz::TBlockHeader h = vhz::GetBlockHeader(in->fixed.data() + at);
    const int64_t stored = at + vhz::kBlockHeaderSize;
    if (h.storedLength < 0 || stored + h.storedLength > in->patchSize) break;
    vhz::PutLE(in->fixed.data() + at + 9, UpdateCrc32(in->fixed.data() + stored, h.storedLength, vhz::kCheckStart), 4);
    at = stored + h.storedLength;
  }
}

size_t Hand(TInput* in, const uint8_t* from, size_t size, size_t* position, int32_t count, void* buffer) {
  in->pieces = in->pieces * 1103515245u + 12345u;
  const size_t n = std::min({static_cast<size_t>(count), size - std::min(*position, size), 1 + (in->pieces >> 16) % 4096});
  if (n) std::memcpy(buffer, from + *position, n);
  *position += n;
  return n;
}
void BaseRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  TInput* in = static_cast<TInput*>(user);
  *delivered = static_cast<int32_t>(Hand(in, in->base, static_cast<size_t>(in->baseSize), &in->basePosition, count, buffer));
}
void BaseSeek(int32_t offset, void* user) { static_cast<TInput*>(user)->basePosition = static_cast<size_t>(offset); }
void PatchRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  TInput* in = static_cast<TInput*>(user);
  *delivered = static_cast<int32_t>(Hand(in, in->patch, static_cast<size_t>(in->patchSize), &in->patchPosition, count, buffer));
}
int32_t EntryRead(void* buffer, int32_t count, void* user) {
  int32_t delivered = 0;
  PatchRead(buffer, count, &delivered, user);
  return delivered;
}
void OutputWrite(const void* buffer, int32_t count, void* user) {
  std::vector<uint8_t>& output = static_cast<TInput*>(user)->output;
  if (count < 0) abort();
  if (output.size() > (64u << 20)) return;  // memory stays bounded; compared only below that
  output.insert(output.end(), static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + count);
}

// The memory variant: no write outside the output, and after -5 the returned
// length is enough to decode the stream completely.
int32_t Memory(const TInput& in, size_t capacity, int32_t* length) {
  std::vector<uint8_t> output(capacity);
  *length = static_cast<int32_t>(capacity);
  return ApplyPatchToBuffer(in.base, in.baseSize, output.data(), length, in.patch, in.patchSize, nullptr, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TInput in = {};
  in.pieces = static_cast<uint32_t>(size);
#if defined(TWX_FUZZ_FuzzDecodeEntryStream)
  Split(data, size, false, &in);
  const int32_t code = DecodeEntryStream(EntryRead, OutputWrite, &in);
  if ((code != kEntryDecoded && code != kEntryFailed) || in.patchPosition > in.fixed.size()) abort();
#elif defined(TWX_FUZZ_FuzzApplyPatchToBuffer)
  Split(data, size, true, &in);
  int32_t length = 0, again = 0;
  const int32_t code = Memory(in, 64, &length);
  if (code < kPatchOutputTooSmall || code > 0 || (code == kPatchOk && length > 64)) abort();
  if (code == kPatchOutputTooSmall && (length <= 64 || (length <= (64 << 20) && (Memory(in, length, &again) != kPatchOk || again != length))))
    abort();
#else  // the callback variant, read in uneven pieces; where the memory variant also succeeds, the same bytes
  Split(data, size, true, &in);
  const int32_t code = ApplyPatchStream(BaseRead, BaseSeek, &in, OutputWrite, &in, PatchRead, in.patchSize, &in, nullptr, nullptr);
  if (code < kPatchCheckMismatch || code > 0) abort();
  if (code != kPatchOk || in.output.size() > (64u << 20)) return 0;
  std::vector<uint8_t> memory(in.output.size() + 1);
  int32_t length = static_cast<int32_t>(memory.size());
  if (ApplyPatchToBuffer(in.base, in.baseSize, memory.data(), &length, in.patch, in.patchSize, nullptr, nullptr) == kPatchOk &&
      (static_cast<size_t>(length) != in.output.size() || std::memcmp(memory.data(), in.output.data(), in.output.size()) != 0))
    abort();
#endif
  return 0;
}
