#include "DeltaEncoder.h"

#include <algorithm>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "Deflate.h"
#include "DeltaCommands.h"
#include "SuffixArray.h"

// The parts, in the order a segment meets them: DeltaMatcher (longest matches
// over BASE), DeltaCandidates (the copies weighed at each position),
// DeltaPrices (what each part of the command stream costs), DeltaParse (the
// cheapest parse under those prices), DeltaCommands (the joined commands and
// the mixing of cuts). Here: the levels, the trials of a segment, the
// segments and the cuts.
using namespace delta;

namespace {

struct TTrial {
  TPrices prices;
  TParse parse;
  TBytes encoded;  // the segment's commands alone, deflated at the level that compares
};

// One segment of the target: its candidate copies and the parse's tables,
// kept only while the segment is parsed.
struct TSegment {
  const uint8_t* base;
  int32_t baseSize;
  const uint8_t* target;  // the segment's first byte
  int32_t size;
  TCandidates candidates;
  TParseTables tables;
};

void Encode(const TSegment& seg, int level, TTrial* t) {
  ReuseRecentSources(seg.base, seg.target, t->prices.minOffsetWidth, &t->parse);
  TDeltaCommands commands;
  AppendCommands(t->parse, t->prices.minOffsetWidth, &commands);
  t->encoded = EncodeBlocks(WriteCommands(seg.base, seg.baseSize, seg.target, commands, nullptr), level, 1);
}

void ParseAndEncode(TSegment& seg, int level, TTrial* t) {
  t->parse = Parse(seg.size, seg.candidates, t->prices, &seg.tables);
  Encode(seg, level, t);
}

void KeepSmaller(TTrial* best, TTrial* candidate) {
  if (candidate->encoded.size() < best->encoded.size()) *best = std::move(*candidate);
}

// The starting pricings (TPricing). Order-0 prices suit versions of one
// program, which share most bytes; regional prices suit different programs,
// which share little.
const TPricing kOrder0 = {false, 1.0f, 0.0f};
const TPricing kOrder0DearLiterals = {false, 1.2f, 8.0f};
const TPricing kRegional = {true, 1.0f, 16.0f};
const TPricing kRegionalCheapLiterals = {true, 0.8f, 32.0f};
// Only the highest level tries these: each rarely wins, but some segment usually does.
const TPricing kOrder0SlightlyDearLiterals = {false, 1.1f, 4.0f};
const TPricing kRegionalDearLiterals = {true, 1.2f, 8.0f};
const TPricing kRegionalSlightlyCheapLiterals = {true, 0.9f, 24.0f};
const TPricing kOrder0DearCopies = {false, 1.0f, 16.0f};
// The order in which a level tries the first so many of them.
const TPricing* const kPricings[] = {&kOrder0, &kOrder0DearLiterals, &kRegional, &kRegionalCheapLiterals,
                                     &kOrder0SlightlyDearLiterals, &kRegionalDearLiterals,
                                     &kRegionalSlightlyCheapLiterals, &kOrder0DearCopies};
// By kind (see TLevelPlan): the first of each kind, then the second of the
// kind that won; where literals dominate, the regional kind's two.
struct TPricingKind {
  const TPricing* first;
  const TPricing* second;
};
const TPricingKind kOrder0Kind = {&kOrder0DearLiterals, &kOrder0};
const TPricingKind kRegionalKind = {&kRegionalCheapLiterals, &kRegional};

// The two re-pricing chains (TRepricing), in the order the levels run them.
const TRepricing kFlatPenaltyChain = {0.0f, 0.0f};
const TRepricing kWindowWorthChain = {0.5f, 0.0f};
const TRepricing* const kRepricings[] = {&kFlatPenaltyChain, &kWindowWorthChain};

// What a level spends on the parse. Every level tries starting pricings and
// the wide offsets, which earn 4 to 6 % and cost little. Re-pricing from the
// segment's own deflated stream gains most in its first round (0.15 % on
// different programs, 0.5 to 0.8 % on versions), so the default level runs
// that one round of the first chain; the highest tries eight pricings and
// runs both chains until a round stops paying, and its blocks get zopfli too;
// on targets it parses one segment at a time it parses several cuts and
// mixes them (kCuts).
// Within a kind (order-0 or regional prices) the pricings seldom differ by
// more than half a percent, so the default tries one of each kind and then
// the other of the kind that won. Parses are compared by their deflated
// size. Where copies make most of a segment (versions of one program), the
// near-optimal level 10 ranks them almost as the final encoder does at a
// third of its time, and the lazy levels below it lose 0.3 %. Where literals
// make most of it (different programs), level 6 ranks them as well at a
// fifth of level 10's time, and the two regional pricings do better than
// one of each kind.
struct TLevelPlan {
  int32_t pricings;         // how many starting pricings are tried
  bool byKind;              // one of each kind first (TPricingKind), else the first ones of kPricings
  int32_t compareLevel;     // the deflate level at which parses are compared
  // Where literals make most of a segment: the level that compares its
  // parses, and whether it is parsed lighter: only the regional pricings,
  // and no copies at the recent displacements (they seldom pay there, 0.03 %
  // on different programs, and finding them takes a tenth of the time).
  int32_t literalCompareLevel;
  bool lightWhereLiteral;
  int32_t repricingRounds;  // per chain; a chain stops at the first round that does not pay
  int32_t repricingChains;  // the first ones of kRepricings
  // At least this many segments: the segments in flight hold a share of the
  // target small enough for the bound on memory.
  int32_t segmentsPerTarget;
  // Where segments run one at a time (see EncodeDelta): the target is parsed
  // in each of kCuts and every region takes the parse that costs it least.
  bool mixCuts;
};
const int kCompareLevel = 10;
const int kLiteralCompareLevel = 6;
TLevelPlan PlanOf(int level) {
  TLevelPlan plan;
  if (level >= kDeflateLevelMax) {
    plan.pricings = 8;
    plan.byKind = false;
    plan.compareLevel = kDeflateLevelStrong;
    plan.literalCompareLevel = kDeflateLevelStrong;
    plan.lightWhereLiteral = false;
    plan.repricingRounds = 10;
    plan.repricingChains = 2;
    plan.segmentsPerTarget = 8;
    plan.mixCuts = true;
  } else if (level == kDeflateLevelStrong) {
    plan.pricings = 3;
    plan.byKind = true;
    plan.compareLevel = kCompareLevel;
    plan.literalCompareLevel = kLiteralCompareLevel;
    plan.lightWhereLiteral = true;
    plan.repricingRounds = 1;
    plan.repricingChains = 1;
    plan.segmentsPerTarget = 10;
    plan.mixCuts = false;
  } else {
    plan.pricings = 4;
    plan.byKind = false;
    plan.compareLevel = std::min(level, kCompareLevel);
    plan.literalCompareLevel = std::min(level, kLiteralCompareLevel);
    plan.lightWhereLiteral = false;
    plan.repricingRounds = 0;
    plan.repricingChains = 0;
    plan.segmentsPerTarget = 10;
    plan.mixCuts = false;
  }
  return plan;
}

// The pricing a segment's trial j starts from; best: the one that has won so far.
const TPricing* PricingOf(const TLevelPlan& plan, bool regionalOnly, size_t j, const TPricing* best) {
  if (regionalOnly) return j == 0 ? kRegionalKind.first : kRegionalKind.second;
  if (!plan.byKind) return kPricings[j];
  if (j == 0) return kOrder0Kind.first;
  if (j == 1) return kRegionalKind.first;
  return best == kOrder0Kind.first ? kOrder0Kind.second : kRegionalKind.second;
}

// The target is parsed in segments, each on its own, so that the memory of a
// parse is bounded by the segment, not by the target, and segments run side
// by side. A segment boundary only forces a command boundary; each segment
// picks the pricing that suits it, so a file whose parts share more or less
// with the base gets the right one for each part.
const int32_t kMinSegment = 64 * 1024;
const int32_t kMaxSegment = 1024 * 1024;
int32_t SegmentSize(int32_t targetSize, int32_t segmentsPerTarget) {
  return std::max(kMinSegment, std::min(kMaxSegment, targetSize / segmentsPerTarget));
}

struct TSegmentResult {
  TParse parse;
  int32_t minOffsetWidth;
};

TSegmentResult EncodeSegment(const TMatcher& matcher, const uint8_t* target, int32_t start, int32_t size,
                             const TCostModel& model, int level) {
  TSegment seg = {matcher.base, matcher.baseSize, target + start, size, {}, {}};
  const TLevelPlan plan = PlanOf(level);
  FindCandidates(matcher, seg.target, size, !plan.lightWhereLiteral, &seg.candidates);
  const bool literal = seg.candidates.literal;
  const int compareLevel = literal ? plan.literalCompareLevel : plan.compareLevel;

  // Every starting pricing gives a parse; the one whose commands deflate
  // smallest goes on, with wide offsets if they pay.
  TTrial best;
  {
    const std::vector<float> regionBits = RegionalLiteralBits(target, start, size);
    const bool regionalOnly = literal && plan.lightWhereLiteral;
    const size_t pricings = regionalOnly ? 2 : static_cast<size_t>(plan.pricings);
    const TPricing* bestPricing = nullptr;
    for (size_t j = 0; j < pricings; ++j) {
      const TPricing* pricing = PricingOf(plan, regionalOnly, j, bestPricing);
      TTrial t;
      t.prices = StartingPrices(model, regionBits, seg.target, size, *pricing);
      ParseAndEncode(seg, compareLevel, &t);
      if (j == 0 || t.encoded.size() < best.encoded.size()) {
        best = std::move(t);
        bestPricing = pricing;
      }
    }
  }
  {
    TTrial wide;
    wide.prices = best.prices;
    wide.prices.minOffsetWidth = 4;
    wide.parse = best.parse;
    Encode(seg, compareLevel, &wide);
    KeepSmaller(&best, &wide);
  }

  if (plan.repricingRounds > 0) {
    const size_t chains = static_cast<size_t>(plan.repricingChains);
    const TTrial first = best;
    for (size_t c = 0; c < chains; ++c) {
      TTrial current = first;
      for (int round = 0; round < plan.repricingRounds; ++round) {
        TTrial next;
        if (!MeasuredPrices(current.encoded, current.prices, size, *kRepricings[c], &next.prices)) break;
        ParseAndEncode(seg, compareLevel, &next);
        if (next.encoded.size() >= current.encoded.size()) break;
        current = std::move(next);
      }
      KeepSmaller(&best, &current);
    }
  }
  return TSegmentResult{std::move(best.parse), best.prices.minOffsetWidth};
}

// One way of cutting the target into segments: so many segments per target,
// the first of them half as long where shifted.
struct TCut {
  int32_t segmentsPerTarget;
  bool shifted;
};
// Where a segment ends moves its parse by up to 0.3 % either way, segment by
// segment; the highest level takes each region's best of these cuts.
const TCut kCuts[] = {{8, false}, {8, true}, {12, false}, {12, true}};

TDeltaCommands ParseInSegments(const TMatcher& matcher, const uint8_t* target, int32_t targetSize,
                               const TCostModel& model, const TCut& cut, int threads, int level) {
  const int32_t segment = SegmentSize(targetSize, cut.segmentsPerTarget);
  const int32_t first = cut.shifted ? segment / 2 : segment;
  auto startOf = [&](size_t k) {
    return k == 0 ? 0 : std::min(targetSize, first + static_cast<int32_t>(k - 1) * segment);
  };
  size_t count = 0;
  while (startOf(count) < targetSize) ++count;
  std::vector<TSegmentResult> results(count);
  ParallelFor(count, threads, [&](size_t k) {
    const int32_t start = startOf(k);
    results[k] = EncodeSegment(matcher, target, start, startOf(k + 1) - start, model, level);
  });
  TDeltaCommands commands;
  for (TSegmentResult& r : results) {
    AppendCommands(r.parse, r.minOffsetWidth, &commands);
    r = TSegmentResult();
  }
  return commands;
}

// The patch from NEW in one cut into segments, or at the highest level mixed
// from several.
TBytes EncodeInSegments(const uint8_t* base, int32_t baseSize, const uint8_t* target, int32_t targetSize,
                        const TCostModel& model, const TLevelPlan& plan, int segmentThreads,
                        const TDeltaOptions& options, TDeltaStats* stats) {
  TDeltaCommands commands;
  {
    std::vector<int32_t> sa = BuildSuffixArray(base, baseSize);
    TMatcher matcher = {base, baseSize, sa.data(), {}, {}, 0};
    IndexPairs(&matcher);
    IndexPrefixes(&matcher);
    if (!plan.mixCuts) {
      const TCut cut = {plan.segmentsPerTarget, false};
      commands = ParseInSegments(matcher, target, targetSize, model, cut, segmentThreads, options.level);
    } else {
      // Each parse's regions priced by the strong block encoder; the mix is
      // kept only if it deflates smaller than the best parse alone.
      auto deflated = [&](const TDeltaCommands& parse) {
        const std::vector<TBytes> blocks = WriteCommands(base, baseSize, target, parse, nullptr);
        return EncodeBlocks(blocks, kDeflateLevelStrong, options.threads);
      };
      std::vector<TDeltaCommands> parses;
      std::vector<std::vector<double>> costs;
      size_t bestParse = 0;
      size_t bestSize = SIZE_MAX;
      for (const TCut& cut : kCuts) {
        parses.push_back(ParseInSegments(matcher, target, targetSize, model, cut, segmentThreads, options.level));
        const TBytes encoded = deflated(parses.back());
        costs.push_back(RegionCosts(encoded, targetSize));
        if (encoded.size() < bestSize) {
          bestSize = encoded.size();
          bestParse = parses.size() - 1;
        }
      }
      std::vector<size_t> choice(costs[0].size(), 0);
      for (size_t r = 0; r < choice.size(); ++r)
        for (size_t p = 1; p < parses.size(); ++p)
          if (costs[p][r] < costs[choice[r]][r]) choice[r] = p;
      commands = MixParses(parses, choice, targetSize);
      if (deflated(commands).size() >= bestSize) commands = std::move(parses[bestParse]);
    }
  }
  return EncodeBlocks(WriteCommands(base, baseSize, target, commands, stats), options.level, options.threads, true);
}

const int32_t kOneAtATimeBelow = 8 << 20;

}  // namespace

TDeltaOptions DefaultDeltaOptions() {
  TDeltaOptions o;
  o.level = kDeflateLevelStrong;
  o.threads = 2;
  return o;
}

TBytes EncodeDelta(const uint8_t* base, int32_t baseSize, const uint8_t* target, int32_t targetSize,
                   const TDeltaOptions& options, TDeltaStats* stats) {
  // Order-0 prices: what the target's own bytes cost as literals; operand
  // and opcode bytes priced alike.
  uint64_t counts[256];
  for (int b = 0; b < 256; ++b) counts[b] = 1;
  for (int32_t i = 0; i < targetSize; ++i) ++counts[target[i]];
  const TCostModel model = ModelFromHistogram(counts, 1.0);

  // On targets of a few MiB the block encoder's tables (9 MiB a thread) and
  // two segments in flight would break the bound on memory at the highest
  // level, whose segments hold the most: there they run one at a time, and
  // the time saved goes to parsing the target in several cuts.
  TLevelPlan plan = PlanOf(options.level);
  const bool oneAtATime = options.level >= kDeflateLevelMax && targetSize < kOneAtATimeBelow;
  plan.mixCuts = plan.mixCuts && oneAtATime;
#ifdef __GLIBC__
  // The allocator raises its threshold for mapping large blocks once the
  // first is freed; from then on the segments' tables come from the heap,
  // whose holes the next segment's tables of other sizes do not fill: it
  // grew by a fifth of the bound on small targets. Kept fixed, every large
  // table is mapped and given back whole.
  if (oneAtATime) mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
  return EncodeInSegments(base, baseSize, target, targetSize, model, plan, oneAtATime ? 1 : options.threads, options,
                          stats);
}