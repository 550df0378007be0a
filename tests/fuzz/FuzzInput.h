// Fuzz inputs carry their own base: a 4-byte little-endian base length, the
// base, then the patch stream (or the entry data). The seed corpus is written
// in this form by make_corpus.sh from patches and archives that vhzip made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ArchiveFormat.h"
#include "CRC_32.h"

struct TFuzzInput {
  const uint8_t* base;
  int32_t baseSize;
  const uint8_t* patch;
  int32_t patchSize;
};

inline TFuzzInput SplitFuzzInput(const uint8_t* data, size_t size) {
  TFuzzInput in = {data, 0, data, 0};
  if (size > 0x7FFFFFF0u) size = 0x7FFFFFF0u;
  if (size < 4) {
    in.patchSize = static_cast<int32_t>(size);
    return in;
  }
  uint32_t want = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                  (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
  size_t rest = size - 4;
  size_t baseSize = want < rest ? want : rest;
  in.base = data + 4;
  in.baseSize = static_cast<int32_t>(baseSize);
  in.patch = data + 4 + baseSize;
  in.patchSize = static_cast<int32_t>(rest - baseSize);
  return in;
}

// Random mutations almost never keep a block's check value right, which
// would stop every run at the first block. So most runs get their block check
// values recomputed (inputs with an even last byte), and the others keep the
// checks as mutated, which keeps the mismatch path covered too.
inline std::vector<uint8_t> WithBlockChecksFixed(const uint8_t* stream, int32_t size) {
  std::vector<uint8_t> copy(stream, stream + size);
  if (size == 0 || (copy[static_cast<size_t>(size) - 1] & 1) != 0) return copy;
  int64_t at = 0;
  while (at + vhz::kBlockHeaderSize <= size) {
    vhz::TBlockHeader h = vhz::GetBlockHeader(copy.data() + at);
    int64_t stored = at + vhz::kBlockHeaderSize;
    if (h.storedLength < 0 || stored + h.storedLength > size) break;
    uint32_t check = UpdateCrc32(copy.data() + stored, h.storedLength, vhz::kCheckStart);
    vhz::PutLE(copy.data() + at + 9, check, 4);
    at = stored + h.storedLength;
  }
  return copy;
}
