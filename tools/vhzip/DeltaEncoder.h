// Delta patches: a patch stream whose copy commands read a base file and whose
// literal runs carry what the base lacks, built so that the deflated command
// stream comes out small.
#pragma once

#include <cstdint>
#include <vector>

#include "PatchWriter.h"

struct TDeltaOptions {
  int level;    // deflate level of the blocks (see Deflate.h)
  int threads;  // for the trial parses and the blocks
};
TDeltaOptions DefaultDeltaOptions();

struct TDeltaStats {
  int64_t copies;
  int64_t literalRuns;
  int64_t literalBytes;
  int64_t commandBytes;  // the command stream before deflating
};

// The patch that rebuilds target from base. Sizes below 2^31.
TBytes EncodeDelta(const uint8_t* base, int32_t baseSize, const uint8_t* target, int32_t targetSize,
                   const TDeltaOptions& options, TDeltaStats* stats);
