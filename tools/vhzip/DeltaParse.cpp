#include "DeltaParse.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "ArchiveFormat.h"

using namespace vhz;

namespace delta {

namespace {

const float kInfinity = 1e30f;
const uint8_t kLiteralAfterLiteral = 1;  // the literal byte ending here continues a run
const uint8_t kCopyAfterLiteral = 2;     // the copy ending here starts where a run ended

uint32_t PageOf(const TStep& step) {
  return step.source < 0 ? UINT32_MAX : static_cast<uint32_t>(step.source) >> 8;
}

const size_t kReuseDistance = 16384;  // command-stream bytes: well inside deflate's window

uint64_t ContentKey(const uint8_t* p, int32_t length) {
  uint64_t h = 0xCBF29CE484222325ull ^ static_cast<uint64_t>(length);
  for (int32_t i = 0; i < length; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
  return h;
}

}  // namespace

TParse Parse(int32_t targetSize, const TCandidates& candidates, const TPrices& prices, TParseTables* tables) {
  const size_t n = static_cast<size_t>(targetSize) + 1;
  tables->afterCopy.assign(n, kInfinity);
  tables->inLiteral.assign(n, kInfinity);
  tables->copyStep.assign(n, TStep{0, -1});
  tables->cameFrom.assign(n, 0);
  tables->literalPage.assign(n, UINT32_MAX);
  std::vector<float>& afterCopy = tables->afterCopy;
  std::vector<float>& inLiteral = tables->inLiteral;
  std::vector<TStep>& copyStep = tables->copyStep;
  std::vector<uint8_t>& cameFrom = tables->cameFrom;
  std::vector<uint32_t>& literalPage = tables->literalPage;
  afterCopy[0] = 0;
  const float runOpen = prices.runOpen;

  for (int32_t i = 0; i < targetSize; ++i) {
    const size_t at = static_cast<size_t>(i);
    bool hereFromLiteral = inLiteral[at] < afterCopy[at];
    float here = hereFromLiteral ? inLiteral[at] : afterCopy[at];
    uint32_t herePage = hereFromLiteral ? literalPage[at] : PageOf(copyStep[at]);
    if (here >= kInfinity) continue;
    // A literal byte: continue the open run or open one.
    float lit = prices.literal[at];
    float viaRun = inLiteral[at] + lit;
    float viaOpen = afterCopy[at] + runOpen + lit;
    float best = std::min(viaRun, viaOpen);
    if (best < inLiteral[at + 1]) {
      inLiteral[at + 1] = best;
      cameFrom[at + 1] = static_cast<uint8_t>((cameFrom[at + 1] & kCopyAfterLiteral) |
                                              (viaRun <= viaOpen ? kLiteralAfterLiteral : 0));
      literalPage[at + 1] = viaRun <= viaOpen ? literalPage[at] : PageOf(copyStep[at]);
    }
    const TCandidate* end = candidates.list.data() + candidates.first[at + 1];
    for (const TCandidate* c = candidates.list.data() + candidates.first[at]; c != end; ++c) {
      const uint32_t source = static_cast<uint32_t>(c->source), length = static_cast<uint32_t>(c->length);
      float cost = here + CopyPrice(prices, source, length, (source >> 8) == herePage);
      const size_t to = at + length;
      if (!prices.windowWorth.empty()) cost += static_cast<float>(prices.windowWorth[to] - prices.windowWorth[at]);
      if (cost < afterCopy[to]) {
        afterCopy[to] = cost;
        copyStep[to] = TStep{i, c->source};
        cameFrom[to] = static_cast<uint8_t>((cameFrom[to] & kLiteralAfterLiteral) |
                                            (hereFromLiteral ? kCopyAfterLiteral : 0));
      }
    }
  }

  // Walk back along the chosen steps.
  TParse parse;
  int32_t at = targetSize;
  bool literal = inLiteral[static_cast<size_t>(at)] < afterCopy[static_cast<size_t>(at)];
  std::vector<int32_t> from, source, length;
  int32_t runEnd = -1;
  while (at > 0) {
    if (literal) {
      if (runEnd < 0) runEnd = at;
      literal = (cameFrom[static_cast<size_t>(at)] & kLiteralAfterLiteral) != 0;
      --at;
      if (!literal) {
        from.push_back(-1);
        source.push_back(at);
        length.push_back(runEnd - at);
        runEnd = -1;
      }
    } else {
      const TStep& s = copyStep[static_cast<size_t>(at)];
      from.push_back(s.from);
      source.push_back(s.source);
      length.push_back(at - s.from);
      literal = (cameFrom[static_cast<size_t>(at)] & kCopyAfterLiteral) != 0;
      at = s.from;
    }
  }
  parse.copyFrom.assign(from.rbegin(), from.rend());
  parse.copySource.assign(source.rbegin(), source.rend());
  parse.length.assign(length.rbegin(), length.rend());
  return parse;
}

void ReuseRecentSources(const uint8_t* base, const uint8_t* target, int32_t minOffsetWidth, TParse* parse) {
  struct TSeen {
    int32_t source;
    size_t streamAt;
  };
  std::unordered_map<uint64_t, TSeen> seen;
  size_t streamAt = 0;
  int32_t produced = 0;
  for (size_t c = 0; c < parse->length.size(); ++c) {
    int32_t length = parse->length[c];
    if (parse->copyFrom[c] < 0) {
      streamAt += 1 + static_cast<size_t>(OperandWidth(static_cast<uint32_t>(length))) + static_cast<size_t>(length);
      produced += length;
      continue;
    }
    uint64_t key = ContentKey(target + produced, length);
    auto it = seen.find(key);
    if (it != seen.end() && streamAt - it->second.streamAt <= kReuseDistance &&
        std::memcmp(base + it->second.source, target + produced, static_cast<size_t>(length)) == 0) {
      parse->copySource[c] = it->second.source;
    }
    seen[key] = TSeen{parse->copySource[c], streamAt};
    streamAt += 1 + static_cast<size_t>(std::max(OperandWidth(static_cast<uint32_t>(parse->copySource[c])), minOffsetWidth)) +
                static_cast<size_t>(OperandWidth(static_cast<uint32_t>(length)));
    produced += length;
  }
}

}  // namespace delta
