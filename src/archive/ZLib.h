// Inflating one deflated block held whole in memory. zlib's working memory
// comes from a caller-owned arena, so decoding a block normally touches no heap.
#pragma once

#include <cstdint>

// Inflates the zlib stream (window bits 15, Adler-32 trailer) in source into
// destination, which must come out exactly destinationLength bytes long.
// Requests that no longer fit the arena fall back to the heap.
bool InflateBlock(const void* source, int32_t sourceLength, void* destination,
                  int32_t destinationLength, void* arena, int32_t arenaSize);
