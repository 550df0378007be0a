// Writing patch streams: copy and literal commands are gathered into blocks
// that respect the reader's rules (no operand and no literal run crosses a
// block end, no literal length field ends a block), then each block is
// deflated or stored, whichever is smaller.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "Bytes.h"

struct TPatchWriter {
  const uint8_t* base;     // what copy commands read; may be null for an empty base
  int32_t baseSize;
  int32_t blockLimit;      // command-stream bytes per block
  // Copy offsets take at least this many bytes (1 to 4). Four lets deflate
  // match the unchanged upper bytes and the zero padding of neighbouring
  // copies as one string, which pays where copies come from nearby places.
  int32_t minOffsetWidth;
  std::vector<TBytes> blocks;  // closed blocks' command streams
  TBytes current;
  uint32_t check;          // check register over every byte the stream produces
  int64_t produced;
};

void BeginPatch(TPatchWriter* w, const uint8_t* base, int32_t baseSize);
// length > 0; the range must lie in the base.
void AddCopy(TPatchWriter* w, uint32_t offset, uint32_t length);
void AddLiteral(TPatchWriter* w, const uint8_t* data, size_t size);
// Appends the end command and hands out the blocks' command streams.
std::vector<TBytes> FinishCommands(TPatchWriter* w);

// One block as it stands in the stream: header and stored bytes. With
// resplit, the deflated stream's block boundaries are chosen again (see
// DeflateSplit.h) where that makes it smaller.
TBytes EncodeBlock(const TBytes& commands, int level, bool resplit = false);

// Runs job(0) .. job(count - 1) on up to `threads` threads; results must not
// depend on the order, which keeps the output reproducible.
void ParallelFor(size_t count, int threads, const std::function<void(size_t)>& job);

// A whole patch stream from commands: blocks encoded on `threads` threads.
TBytes EncodeBlocks(const std::vector<TBytes>& commandBlocks, int level, int threads, bool resplit = false);
