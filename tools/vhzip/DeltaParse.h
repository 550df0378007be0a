// The delta encoder's parse of a segment into copies and literal runs, the
// cheapest under given prices, and the reuse of a recent copy's source.
#pragma once

#include <cstdint>
#include <vector>

#include "DeltaCandidates.h"
#include "DeltaPrices.h"

namespace delta {

// A segment's commands in order.
struct TParse {
  std::vector<int32_t> copyFrom;  // per command: start in target, or -1 for a literal run
  std::vector<int32_t> copySource;
  std::vector<int32_t> length;
};

// The copy that ends at a position, for the way back. A literal byte always
// starts one position earlier, so for literals one flag per position is kept,
// beside the flag that says from which state the copy started.
struct TStep {
  int32_t from;    // where the copy starts
  int32_t source;  // its base offset; -1 where no copy ends
};

// The program's tables, kept across the parses of a segment: fresh ones for
// every parse cost more in the kernel's page faults than the parse itself.
struct TParseTables {
  std::vector<float> afterCopy, inLiteral;
  std::vector<TStep> copyStep;
  std::vector<uint8_t> cameFrom;
  std::vector<uint32_t> literalPage;
};

// Cheapest parse under the prices: forward over positions, two states (after
// a copy, inside a literal run), candidates the longest match and the recent
// displacements. Each state remembers where the last copy on its path read,
// so that a copy from the same neighbourhood gets its cheaper price.
TParse Parse(int32_t targetSize, const TCandidates& candidates, const TPrices& prices, TParseTables* tables);

// A copy whose bytes another copy took from the base a little earlier reads
// them from the same place: the command then repeats that copy's bytes and
// deflate matches it whole, where a new offset costs a good 20 bits.
void ReuseRecentSources(const uint8_t* base, const uint8_t* target, int32_t minOffsetWidth, TParse* parse);

}  // namespace delta
