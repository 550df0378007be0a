// The delta encoder's longest-match search over BASE: its suffix array, an
// index of where each pair of first bytes starts in it, and a bit table of
// the hashes of BASE's shortest strings worth a copy.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace delta {

// Longest-match search over the base's suffix array. The suffixes that start
// with each pair of bytes form one interval of the array; the search starts
// from the pattern's, which saves most of the steps of a search over all.
struct TMatcher {
  const uint8_t* base;
  int32_t baseSize;
  const int32_t* sa;
  std::vector<int32_t> pairStart;  // 65537 entries: the first index of each pair's interval
  // One bit per hash of the base's strings of kMinCopyLength bytes: where the
  // pattern's is clear, no copy worth making exists and the search is skipped.
  // Between different programs that is half the positions, each a search of
  // a dozen steps, most of them missing the cache.
  std::vector<uint64_t> present;
  int presentShift;
};

// Shorter copies never beat their bytes as literals: the opcode, offset and
// length bytes cost more than the bytes they stand for.
const int32_t kMinCopyLength = 5;

// The two indexes over a matcher whose base, size and suffix array are set.
void IndexPairs(TMatcher* m);
void IndexPrefixes(TMatcher* m);

// The number of leading bytes a and b share, up to limit.
inline int32_t CommonPrefix(const uint8_t* a, const uint8_t* b, int32_t limit) {
  int32_t i = 0;
  while (i + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
    i += 8;
  }
  while (i < limit && a[i] == b[i]) ++i;
  return i;
}

// The longest prefix of pattern (length bytes) that occurs in the base, and
// where (*position); 0 when none of kMinCopyLength bytes or more does.
int32_t LongestMatch(const TMatcher& m, const uint8_t* pattern, int32_t length, int32_t* position);

}  // namespace delta
