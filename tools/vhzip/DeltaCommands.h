// The delta encoder's commands over the whole target: the segments' parses
// joined, written as a command stream, and the parses of several cuts mixed
// region by region.
#pragma once

#include <cstdint>
#include <vector>

#include "Bytes.h"
#include "DeltaEncoder.h"
#include "DeltaParse.h"

namespace delta {

// A parse of the whole target, one command after the other. Commands of 8
// bytes: every cut the highest level tries is held until the end.
struct TDeltaCommand {
  int32_t source;  // base offset of a copy, -1 for a literal run
  uint32_t length;  // its bytes; the top bit set where the segment chose wide offsets
};
const uint32_t kWideOffsets = 0x80000000u;
using TDeltaCommands = std::vector<TDeltaCommand>;

// A segment's parse as commands; wide offsets where it chose them.
void AppendCommands(const TParse& parse, int32_t minOffsetWidth, TDeltaCommands* commands);

// The command stream in blocks by the reader's rules; stats where asked.
std::vector<TBytes> WriteCommands(const uint8_t* base, int32_t baseSize, const uint8_t* target,
                                  const TDeltaCommands& commands, TDeltaStats* stats);

// What each region of the target cost in the deflated commands: every
// command byte's bits charged to the target bytes the command makes.
const int32_t kCutRegion = 16384;
std::vector<double> RegionCosts(const TBytes& encoded, int32_t targetSize);

// The commands of the parses, region by region from the one chosen for it.
// Where the choice changes, the command across the seam is cut: a copy in
// two, unless a piece is too short to pay, which goes as literal bytes.
TDeltaCommands MixParses(const std::vector<TDeltaCommands>& parses, const std::vector<size_t>& choice,
                         int32_t targetSize);

}  // namespace delta
