// Choosing a deflate stream's block boundaries again. Patch command streams
// change character every few hundred bytes (copy commands, then literal runs
// of code, then tables), and every change that gets a block of its own saves
// more than the block's code tables cost; the encoders we link split far more
// coarsely. The stream's literals and matches are kept as they are.
#pragma once

#include <cstdint>
#include <vector>

#include "Bytes.h"

// The same content as the zlib stream given, its literals and matches cut
// into blocks where that pays, each with codes made for it; empty if the
// stream cannot be decoded or nothing smaller comes out. Deterministic.
TBytes ResplitDeflate(const TBytes& zlibStream);
