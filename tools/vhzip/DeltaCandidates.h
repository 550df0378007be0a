// The copies the delta encoder's parses weigh at each target position.
#pragma once

#include <cstdint>
#include <vector>

#include "DeltaMatcher.h"

namespace delta {

// The copies a parse weighs at each target position: the longest match and
// the copies at the recent displacements. None depends on the prices, so they
// are found once per segment and every parse of it walks them.
struct TCandidate {
  int32_t source;
  int32_t length;
};
struct TCandidates {
  std::vector<int32_t> first;  // per position and one past the last: where its candidates start
  std::vector<TCandidate> list;
  bool literal;                // literals make most of the segment (kCopyShareOfVersions)
};

// Copies of 16 bytes or more cover 80 to 99 % of a segment between versions
// of one program (less only where a version adds new code), at most 70 %
// between different programs.
const double kCopyShareOfVersions = 0.8;

// The candidates of a segment (target, targetSize bytes); recentWhereLiteral:
// the recent displacements also where literals make most of it.
void FindCandidates(const TMatcher& matcher, const uint8_t* target, int32_t targetSize, bool recentWhereLiteral,
                    TCandidates* c);

}  // namespace delta
