#include "DeltaMatcher.h"

#include <algorithm>

namespace delta {

namespace {

uint64_t PrefixHash(const uint8_t* p) {
  uint64_t v = 0;
  for (int32_t k = 0; k < kMinCopyLength; ++k) v |= static_cast<uint64_t>(p[k]) << (8 * k);
  return v * 0x9E3779B97F4A7C15ull;
}


bool MayOccur(const TMatcher& m, const uint8_t* pattern) {
  uint64_t h = PrefixHash(pattern) >> m.presentShift;
  return (m.present[h >> 6] >> (h & 63)) & 1;
}

// A one-byte suffix sorts before every longer one with its first byte, so it
// takes the pair of its byte and 0.
uint32_t PairOf(const uint8_t* p, int32_t length) {
  return (static_cast<uint32_t>(p[0]) << 8) | (length > 1 ? p[1] : 0u);
}

}  // namespace

void IndexPrefixes(TMatcher* m) {
  int bits = 16;
  while (bits < 40 && (int64_t{1} << bits) < int64_t{4} * m->baseSize) ++bits;
  m->presentShift = 64 - bits;
  m->present.assign(static_cast<size_t>((int64_t{1} << bits) / 64), 0);
  for (int32_t i = 0; i + kMinCopyLength <= m->baseSize; ++i) {
    uint64_t h = PrefixHash(m->base + i) >> m->presentShift;
    m->present[h >> 6] |= uint64_t{1} << (h & 63);
  }
}

void IndexPairs(TMatcher* m) {
  m->pairStart.assign(65537, 0);
  for (int32_t i = 0; i < m->baseSize; ++i) ++m->pairStart[PairOf(m->base + i, m->baseSize - i) + 1];
  for (size_t k = 1; k < m->pairStart.size(); ++k) m->pairStart[k] += m->pairStart[k - 1];
}

// Binary search that never compares the prefix it already knows to be common
// to both ends of the interval.
int32_t LongestMatch(const TMatcher& m, const uint8_t* pattern, int32_t length, int32_t* position) {
  if (m.baseSize <= 0 || length < kMinCopyLength || !MayOccur(m, pattern)) return 0;
  auto lcpAt = [&](int32_t index, int32_t known) {
    int32_t start = m.sa[index];
    int32_t limit = std::min(length, m.baseSize - start);
    return known + CommonPrefix(m.base + start + known, pattern + known, limit - known);
  };
  // Without a suffix that shares the first two bytes no copy is worth making.
  uint32_t pair = PairOf(pattern, length);
  int32_t lo = m.pairStart[pair];
  int32_t hi = m.pairStart[pair + 1] - 1;
  if (hi < lo) return 0;
  int32_t lcpLo = lcpAt(lo, 0);
  int32_t lcpHi = lcpAt(hi, 0);
  while (hi - lo > 1) {
    int32_t mid = lo + (hi - lo) / 2;
    int32_t l = lcpAt(mid, std::min(lcpLo, lcpHi));
    int32_t start = m.sa[mid];
    if (l == length) {  // the whole pattern occurs here
      *position = start;
      return l;
    }
    if (start + l == m.baseSize || m.base[start + l] < pattern[l]) {
      lo = mid;
      lcpLo = l;
    } else {
      hi = mid;
      lcpHi = l;
    }
  }
  if (lcpLo >= lcpHi) {
    *position = m.sa[lo];
    return lcpLo;
  }
  *position = m.sa[hi];
  return lcpHi;
}

}  // namespace delta
