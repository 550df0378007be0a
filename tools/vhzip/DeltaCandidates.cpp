#include "DeltaCandidates.h"

#include <algorithm>

namespace delta {

namespace {

// Displacements tried at every position besides the longest match: the places
// where recent good matches came from, which is where the next one usually is.
const int kRecentDisplacements = 4;
const int32_t kMinRecentSourceLength = 12;
// Matches at least this long carry over to the next position without a new search.
const int32_t kCarryLength = 48;

}  // namespace

void FindCandidates(const TMatcher& matcher, const uint8_t* target, int32_t targetSize, bool recentWhereLiteral,
                    TCandidates* c) {
  // The longest matches first: where literals make most of the segment the
  // recent displacements may be left out.
  std::vector<int32_t> position(static_cast<size_t>(targetSize)), length(static_cast<size_t>(targetSize));
  int32_t carriedPos = 0, carriedLen = 0, greedyUntil = 0;
  int64_t longCopyBytes = 0;  // what a greedy walk over the longest matches of 16 bytes or more copies
  for (int32_t i = 0; i < targetSize; ++i) {
    if (carriedLen - 1 >= kCarryLength) {
      ++carriedPos;
      --carriedLen;
    } else {
      carriedLen = LongestMatch(matcher, target + i, targetSize - i, &carriedPos);
    }
    position[static_cast<size_t>(i)] = carriedPos;
    length[static_cast<size_t>(i)] = carriedLen;
    if (i >= greedyUntil && carriedLen >= 16) {
      longCopyBytes += carriedLen;
      greedyUntil = i + carriedLen;
    }
  }
  c->literal = static_cast<double>(longCopyBytes) < kCopyShareOfVersions * targetSize;
  const int recents = c->literal && !recentWhereLiteral ? 0 : kRecentDisplacements;

  c->first.assign(static_cast<size_t>(targetSize) + 1, 0);
  c->list.clear();
  c->list.reserve(static_cast<size_t>(targetSize));
  int64_t recent[kRecentDisplacements];
  int32_t recentLen[kRecentDisplacements];
  for (int k = 0; k < kRecentDisplacements; ++k) {
    recent[k] = INT64_MIN;
    recentLen[k] = 0;
  }
  int nextSlot = 0;
  const int32_t baseSize = matcher.baseSize;
  for (int32_t i = 0; i < targetSize; ++i) {
    c->first[static_cast<size_t>(i)] = static_cast<int32_t>(c->list.size());
    const int32_t pos = position[static_cast<size_t>(i)], len = length[static_cast<size_t>(i)];
    if (len >= kMinCopyLength) c->list.push_back(TCandidate{pos, len});
    if (recents == 0) continue;
    if (len >= kMinRecentSourceLength) {
      int64_t d = static_cast<int64_t>(pos) - i;
      bool known = false;
      for (int k = 0; k < kRecentDisplacements; ++k) known = known || recent[k] == d;
      if (!known) {
        recent[nextSlot] = d;
        recentLen[nextSlot] = 0;
        nextSlot = (nextSlot + 1) % kRecentDisplacements;
      }
    }
    for (int k = 0; k < kRecentDisplacements; ++k) {
      if (recent[k] == INT64_MIN) continue;
      int64_t source = i + recent[k];
      if (source < 0 || source >= baseSize) {
        recentLen[k] = 0;
        continue;
      }
      if (recentLen[k] > 0) --recentLen[k];  // still inside the run measured earlier
      if (recentLen[k] == 0) {
        int32_t limit = static_cast<int32_t>(std::min<int64_t>(targetSize - i, baseSize - source));
        recentLen[k] = CommonPrefix(matcher.base + source, target + i, limit);
      }
      if (recentLen[k] >= kMinCopyLength && (recentLen[k] != len || source != pos))
        c->list.push_back(TCandidate{static_cast<int32_t>(source), recentLen[k]});
    }
  }
  c->first[static_cast<size_t>(targetSize)] = static_cast<int32_t>(c->list.size());
  c->list.shrink_to_fit();  // grown by doubling: up to half of it unused while the trials run
}

}  // namespace delta
