#include "DeltaEncoder.h"

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <cstring>

#include <zlib.h>

#include "ArchiveFormat.h"
#include "Deflate.h"
#include "SuffixArray.h"

using namespace vhz;

namespace {

// Longest-match search over the base's suffix array.
struct TMatcher {
  const uint8_t* base;
  int32_t baseSize;
  const int32_t* sa;
};

int32_t CommonPrefix(const uint8_t* a, const uint8_t* b, int32_t limit) {
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

// Binary search that never compares the prefix it already knows to be common
// to both ends of the interval.
int32_t LongestMatch(const TMatcher& m, const uint8_t* pattern, int32_t length, int32_t* position) {
  if (m.baseSize <= 0 || length <= 0) return 0;
  auto lcpAt = [&](int32_t index, int32_t known) {
    int32_t start = m.sa[index];
    int32_t limit = std::min(length, m.baseSize - start);
    return known + CommonPrefix(m.base + start + known, pattern + known, limit - known);
  };
  int32_t lo = 0;
  int32_t hi = m.baseSize - 1;
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

// Bits that one byte value is expected to cost once deflated.
struct TCostModel {
  float byteBits[256];
};

TCostModel ModelFromHistogram(const uint64_t* counts, double floorBits) {
  TCostModel model;
  uint64_t total = 0;
  for (int b = 0; b < 256; ++b) total += counts[b];
  for (int b = 0; b < 256; ++b) {
    double p = (static_cast<double>(counts[b]) + 0.5) / (static_cast<double>(total) + 128.0);
    model.byteBits[b] = static_cast<float>(std::max(floorBits, -std::log2(p)));
  }
  return model;
}

float OperandBits(const TCostModel& model, uint32_t value, int32_t width) {
  float bits = 0;
  for (int32_t i = 0; i < width; ++i) bits += model.byteBits[(value >> (8 * i)) & 0xFF];
  return bits;
}

float CopyBits(const TCostModel& model, uint32_t offset, uint32_t length) {
  int32_t ow = OperandWidth(offset);
  int32_t lw = OperandWidth(length);
  return model.byteBits[CopyOpcode(ow, lw)] + OperandBits(model, offset, ow) + OperandBits(model, length, lw);
}

// What the target's bytes cost as literals, region by region: each region
// deflated with the 32 KiB before it as dictionary, as it would be inside a
// block. Order-0 statistics miss deflate's own matches and price literal
// runs of code far too high, which buys short copies that cost more than
// they save.
const int32_t kRegionSize = 4096;
std::vector<float> RegionalLiteralBits(const uint8_t* target, int32_t targetSize) {
  std::vector<float> bits;
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return bits;
  std::vector<uint8_t> out(compressBound(kRegionSize) + 64);
  for (int32_t at = 0; at < targetSize; at += kRegionSize) {
    int32_t n = std::min(kRegionSize, targetSize - at);
    deflateReset(&z);
    int32_t context = std::min(at, 32768);
    if (context > 0) deflateSetDictionary(&z, target + at - context, static_cast<uInt>(context));
    z.next_in = const_cast<Bytef*>(target + at);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    bits.push_back(8.0f * static_cast<float>(z.total_out) / static_cast<float>(n));
  }
  deflateEnd(&z);
  return bits;
}

// One step of the chosen parse, for the way back.
struct TStep {
  int32_t from;    // where the command starts
  int32_t source;  // copy: base offset; literal byte: -1
  bool fromLiteral;
};

const float kInfinity = 1e30f;
// Displacements tried at every position besides the longest match: the places
// where recent good matches came from, which is where the next one usually is.
const int kRecentDisplacements = 4;
// Matches at least this long carry over to the next position without a new search.
const int32_t kCarryLength = 48;
const int32_t kMinRecentSourceLength = 12;
// How a parse prices literals and copies. Which pricing wins depends on how
// much the two files share, so the encoder tries each and keeps the smallest
// patch. A copy also takes its bytes out of deflate's window, where later
// literals would have found matches: the penalty is what that is worth.
struct TPricing {
  bool regionalLiterals;  // literals priced by how well their region deflates
  float literalScale;
  float copyPenaltyBits;
};
const TPricing kPricings[] = {
    {false, 1.0f, 0.0f},   // order-0 prices: versions of one program, which share most bytes
    {false, 1.2f, 8.0f},
    {true, 1.0f, 16.0f},   // regional prices: different programs, which share little
    {true, 0.8f, 32.0f},
};

struct TParse {
  std::vector<int32_t> copyFrom;  // per command: start in target, or -1 for a literal run
  std::vector<int32_t> copySource;
  std::vector<int32_t> length;
};


}  // namespace

TDeltaOptions DefaultDeltaOptions() {
  TDeltaOptions o;
  o.level = kDeflateLevelMax;
  o.threads = 2;
  return o;
}

namespace {

// The longest match at every target position, found once and reused by every pass.
void FindLongestMatches(const TMatcher& matcher, const uint8_t* target, int32_t targetSize,
                        std::vector<int32_t>* positions, std::vector<int32_t>* lengths) {
  positions->assign(static_cast<size_t>(targetSize), 0);
  lengths->assign(static_cast<size_t>(targetSize), 0);
  int32_t carriedPos = 0;
  int32_t carriedLen = 0;
  for (int32_t i = 0; i < targetSize; ++i) {
    if (carriedLen - 1 >= kCarryLength) {
      ++carriedPos;
      --carriedLen;
    } else {
      carriedLen = LongestMatch(matcher, target + i, targetSize - i, &carriedPos);
    }
    (*positions)[i] = carriedPos;
    (*lengths)[i] = carriedLen;
  }
}

// Cheapest parse under the model: forward over positions, two states (after a
// copy, inside a literal run), candidates the longest match and the recent
// displacements.
TParse Parse(const uint8_t* base, int32_t baseSize, const uint8_t* target, int32_t targetSize,
             const std::vector<int32_t>& matchPos, const std::vector<int32_t>& matchLen,
             const TCostModel& model, const std::vector<float>& regionBits, const TPricing& pricing) {
  const size_t n = static_cast<size_t>(targetSize) + 1;
  std::vector<float> afterCopy(n, kInfinity), inLiteral(n, kInfinity);
  std::vector<TStep> copyStep(n), literalStep(n);
  afterCopy[0] = 0;
  float runOpen = model.byteBits[LiteralOpcode(1)] + model.byteBits[1] + 2.0f;

  int64_t recent[kRecentDisplacements];
  int32_t recentLen[kRecentDisplacements];
  for (int k = 0; k < kRecentDisplacements; ++k) {
    recent[k] = INT64_MIN;
    recentLen[k] = 0;
  }
  int nextSlot = 0;

  for (int32_t i = 0; i < targetSize; ++i) {
    float here = std::min(afterCopy[i], inLiteral[i]);
    bool hereFromLiteral = inLiteral[i] < afterCopy[i];
    if (here >= kInfinity) continue;
    // A literal byte: continue the open run or open one.
    float lit = pricing.literalScale *
                (pricing.regionalLiterals ? regionBits[i / kRegionSize] : model.byteBits[target[i]]);
    float viaRun = inLiteral[i] + lit;
    float viaOpen = afterCopy[i] + runOpen + lit;
    float best = std::min(viaRun, viaOpen);
    if (best < inLiteral[i + 1]) {
      inLiteral[i + 1] = best;
      literalStep[i + 1] = TStep{i, -1, viaRun <= viaOpen};
    }
    auto relaxCopy = [&](int32_t source, int32_t length) {
      if (length < 2) return;
      float cost = here + pricing.copyPenaltyBits + CopyBits(model, static_cast<uint32_t>(source), static_cast<uint32_t>(length));
      int32_t end = i + length;
      if (cost < afterCopy[end]) {
        afterCopy[end] = cost;
        copyStep[end] = TStep{i, source, hereFromLiteral};
      }
    };
    // The longest match.
    int32_t len = matchLen[i];
    relaxCopy(matchPos[i], len);
    if (len >= kMinRecentSourceLength) {
      int64_t d = static_cast<int64_t>(matchPos[i]) - i;
      bool known = false;
      for (int k = 0; k < kRecentDisplacements; ++k) known = known || recent[k] == d;
      if (!known) {
        recent[nextSlot] = d;
        recentLen[nextSlot] = 0;
        nextSlot = (nextSlot + 1) % kRecentDisplacements;
      }
    }
    // The recent displacements.
    for (int k = 0; k < kRecentDisplacements; ++k) {
      if (recent[k] == INT64_MIN) continue;
      int64_t source = i + recent[k];
      if (source < 0 || source >= baseSize) {
        recentLen[k] = 0;
        continue;
      }
      if (recentLen[k] > 0) {
        --recentLen[k];  // still inside the run measured earlier
      }
      if (recentLen[k] == 0) {
        int32_t limit = static_cast<int32_t>(std::min<int64_t>(targetSize - i, baseSize - source));
        recentLen[k] = CommonPrefix(base + source, target + i, limit);
      }
      if (recentLen[k] != len || source != matchPos[i]) relaxCopy(static_cast<int32_t>(source), recentLen[k]);
    }
  }

  // Walk back along the chosen steps.
  TParse parse;
  int32_t at = targetSize;
  bool literal = inLiteral[at] < afterCopy[at];
  std::vector<int32_t> from, source, length;
  int32_t runEnd = -1;
  while (at > 0) {
    if (literal) {
      if (runEnd < 0) runEnd = at;
      const TStep& s = literalStep[at];
      at = s.from;
      literal = s.fromLiteral;
      if (!literal) {
        from.push_back(-1);
        source.push_back(at);
        length.push_back(runEnd - at);
        runEnd = -1;
      }
    } else {
      const TStep& s = copyStep[at];
      from.push_back(s.from);
      source.push_back(s.source);
      length.push_back(at - s.from);
      at = s.from;
      literal = s.fromLiteral;
    }
  }
  parse.copyFrom.assign(from.rbegin(), from.rend());
  parse.copySource.assign(source.rbegin(), source.rend());
  parse.length.assign(length.rbegin(), length.rend());
  return parse;
}

std::vector<TBytes> WriteParse(const uint8_t* base, int32_t baseSize, const uint8_t* target,
                               const TParse& parse, TDeltaStats* stats) {
  TPatchWriter w;
  BeginPatch(&w, base, baseSize);
  TDeltaStats s = {0, 0, 0, 0};
  for (size_t c = 0; c < parse.length.size(); ++c) {
    if (parse.copyFrom[c] < 0) {
      AddLiteral(&w, target + parse.copySource[c], static_cast<size_t>(parse.length[c]));
      ++s.literalRuns;
      s.literalBytes += parse.length[c];
    } else {
      AddCopy(&w, static_cast<uint32_t>(parse.copySource[c]), static_cast<uint32_t>(parse.length[c]));
      ++s.copies;
    }
  }
  std::vector<TBytes> blocks = FinishCommands(&w);
  for (const TBytes& b : blocks) s.commandBytes += static_cast<int64_t>(b.size());
  if (stats) *stats = s;
  return blocks;
}

}  // namespace

TBytes EncodeDelta(const uint8_t* base, int32_t baseSize, const uint8_t* target, int32_t targetSize,
                   const TDeltaOptions& options, TDeltaStats* stats) {
  std::vector<int32_t> sa = BuildSuffixArray(base, baseSize);
  TMatcher matcher = {base, baseSize, sa.data()};
  std::vector<int32_t> matchPos, matchLen;
  FindLongestMatches(matcher, target, targetSize, &matchPos, &matchLen);
  sa.clear();
  sa.shrink_to_fit();

  // Order-0 prices: what the target's own bytes cost as literals; operand
  // and opcode bytes priced alike.
  uint64_t counts[256];
  for (int b = 0; b < 256; ++b) counts[b] = 1;
  for (int32_t i = 0; i < targetSize; ++i) ++counts[target[i]];
  const TCostModel model = ModelFromHistogram(counts, 1.0);
  const std::vector<float> regionBits = RegionalLiteralBits(target, targetSize);

  // Every pricing gives a parse; the one whose blocks deflate smallest wins.
  // The comparison runs at the fast strong level, the winner gets the asked one.
  const size_t n = sizeof kPricings / sizeof kPricings[0];
  std::vector<std::vector<TBytes>> blocks(n);
  std::vector<TDeltaStats> parseStats(n);
  std::vector<TBytes> encoded(n);
  std::vector<size_t> sizes(n);
  const int compareLevel = std::min(options.level, kDeflateLevelStrong);
  ParallelFor(n, options.threads, [&](size_t k) {
    TParse parse = Parse(base, baseSize, target, targetSize, matchPos, matchLen, model, regionBits, kPricings[k]);
    blocks[k] = WriteParse(base, baseSize, target, parse, &parseStats[k]);
    encoded[k] = EncodeBlocks(blocks[k], compareLevel, 1);
    sizes[k] = encoded[k].size();
  });
  size_t best = static_cast<size_t>(std::min_element(sizes.begin(), sizes.end()) - sizes.begin());
  if (stats) *stats = parseStats[best];
  if (options.level == compareLevel) return std::move(encoded[best]);
  return EncodeBlocks(blocks[best], options.level, options.threads);
}
