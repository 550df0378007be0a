#include "DeltaEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "ArchiveFormat.h"
#include "Deflate.h"
#include "DeflateCost.h"
#include "SuffixArray.h"

using namespace vhz;

namespace {

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

uint64_t PrefixHash(const uint8_t* p) {
  uint64_t v = 0;
  for (int32_t k = 0; k < kMinCopyLength; ++k) v |= static_cast<uint64_t>(p[k]) << (8 * k);
  return v * 0x9E3779B97F4A7C15ull;
}

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

bool MayOccur(const TMatcher& m, const uint8_t* pattern) {
  uint64_t h = PrefixHash(pattern) >> m.presentShift;
  return (m.present[h >> 6] >> (h & 63)) & 1;
}

// A one-byte suffix sorts before every longer one with its first byte, so it
// takes the pair of its byte and 0.
uint32_t PairOf(const uint8_t* p, int32_t length) {
  return (static_cast<uint32_t>(p[0]) << 8) | (length > 1 ? p[1] : 0u);
}

void IndexPairs(TMatcher* m) {
  m->pairStart.assign(65537, 0);
  for (int32_t i = 0; i < m->baseSize; ++i) ++m->pairStart[PairOf(m->base + i, m->baseSize - i) + 1];
  for (size_t k = 1; k < m->pairStart.size(); ++k) m->pairStart[k] += m->pairStart[k - 1];
}

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

// What a segment's bytes cost as literals, region by region: the segment
// deflated after the 8 KiB before it, as it would be inside a block, and
// each region charged the bits its bytes took. Order-0 statistics miss
// deflate's own matches and price literal runs of code far too high, which
// buys short copies that cost more than they save. A middle level prices as
// well as the strongest; more context before the segment changed nothing.
const int32_t kRegionSize = 4096;
const int32_t kRegionContext = 8192;
const int kRegionLevel = 6;
std::vector<float> RegionalLiteralBits(const uint8_t* target, int32_t start, int32_t size) {
  std::vector<float> bits;
  const int32_t context = std::min(start, kRegionContext);
  const uint8_t* from = target + start - context;
  const size_t length = static_cast<size_t>(context + size);
  const TBytes stream = DeflateZlib(from, length, kRegionLevel);
  const bool done = !stream.empty();
  TBytes content;
  std::vector<float> byteBits;
  if (!done || !DeflateBitCosts(stream.data(), stream.size(), &content, &byteBits) || byteBits.size() != length) {
    bits.assign(static_cast<size_t>((size + kRegionSize - 1) / kRegionSize), 8.0f);
    return bits;
  }
  for (int32_t at = 0; at < size; at += kRegionSize) {
    const int32_t n = std::min(kRegionSize, size - at);
    double sum = 0;
    for (int32_t k = 0; k < n; ++k) sum += byteBits[static_cast<size_t>(context + at + k)];
    bits.push_back(static_cast<float>(sum / n));
  }
  return bits;
}

// What each part of the command stream is expected to cost once deflated.
// The first parses take it from the target's statistics; later ones from
// what deflate actually spent on the previous parse's stream.
struct TPrices {
  std::vector<float> literal;  // per target position, as a byte of a literal run
  float runOpen;               // literal opcode and length field
  float copyOpcode[16];
  float offsetByte[4][256];    // by operand byte position and value
  float lengthByte[4][256];
  // Offset bytes above the lowest when they repeat those of the copy before:
  // deflate then matches them with the zero padding as one string. Negative
  // while unknown.
  float samePageOffset;
  float copyPenalty;           // what a copy's bytes would have been worth in deflate's window
  // Where known: running sums over the target of what each byte was worth to
  // later matches while it stood in deflate's window as a literal. A copy
  // takes its bytes out of the window, so it is charged their worth.
  std::vector<double> windowWorth;
  int32_t minOffsetWidth;      // as the patch writer's
};

float CopyPrice(const TPrices& p, uint32_t offset, uint32_t length, bool samePage) {
  int32_t ow = std::max(OperandWidth(offset), p.minOffsetWidth);
  int32_t lw = OperandWidth(length);
  float bits = p.copyPenalty + p.copyOpcode[CopyOpcode(ow, lw) - kOpCopyFirst] + p.offsetByte[0][offset & 0xFF];
  if (samePage && ow == 4 && p.samePageOffset >= 0) {
    bits += p.samePageOffset;
  } else {
    for (int32_t k = 1; k < ow; ++k) bits += p.offsetByte[k][(offset >> (8 * k)) & 0xFF];
  }
  for (int32_t k = 0; k < lw; ++k) bits += p.lengthByte[k][(length >> (8 * k)) & 0xFF];
  return bits;
}

// How the first parses price literals and copies. Which pricing wins depends
// on how much the two files share, so the encoder tries each and keeps the
// smallest patch. A copy also takes its bytes out of deflate's window, where
// later literals would have found matches: the penalty is what that is worth.
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
    // Only the highest level tries these: each rarely wins, but some segment usually does.
    {false, 1.1f, 4.0f},
    {true, 1.2f, 8.0f},
    {true, 0.9f, 24.0f},
    {false, 1.0f, 16.0f},
};

TPrices StartingPrices(const TCostModel& model, const std::vector<float>& regionBits, const uint8_t* target,
                       int32_t targetSize, const TPricing& pricing) {
  TPrices p;
  p.literal.resize(static_cast<size_t>(targetSize));
  for (int32_t i = 0; i < targetSize; ++i)
    p.literal[static_cast<size_t>(i)] =
        pricing.literalScale *
        (pricing.regionalLiterals ? regionBits[static_cast<size_t>(i / kRegionSize)] : model.byteBits[target[i]]);
  p.runOpen = model.byteBits[LiteralOpcode(1)] + model.byteBits[1] + 2.0f;
  for (int op = 0; op < 16; ++op) p.copyOpcode[op] = model.byteBits[kOpCopyFirst + op];
  for (int k = 0; k < 4; ++k)
    for (int v = 0; v < 256; ++v) p.offsetByte[k][v] = p.lengthByte[k][v] = model.byteBits[v];
  p.samePageOffset = -1.0f;
  p.copyPenalty = pricing.copyPenaltyBits;
  p.minOffsetWidth = 1;
  return p;
}

// Average bits per item, pulled toward the average of its field where few
// items were seen.
struct TTally {
  double bits = 0;
  double count = 0;
  void Add(double b) {
    bits += b;
    count += 1;
  }
};
float Smoothed(const TTally& item, const TTally& field) {
  const double weight = 4.0;
  double fieldMean = field.count > 0 ? field.bits / field.count : 8.0;
  return static_cast<float>((item.bits + weight * fieldMean) / (item.count + weight));
}

// Where one command of a decoded command stream lies: its opcode, operands
// and, for a literal run, its bytes.
struct TCommandAt {
  bool copy;
  size_t offsetAt;  // a copy's offset operand
  int32_t offsetWidth;
  size_t lengthAt;  // the length operand; a literal run's bytes follow it
  int32_t lengthWidth;
  uint32_t offset, length;
  size_t next;      // the next command
};

// False at the end command, at a byte that opens no command and at a command
// the stream cuts short.
bool ReadCommand(const TBytes& commands, size_t at, TCommandAt* c) {
  if (at >= commands.size()) return false;
  const uint8_t op = commands[at];
  c->copy = op >= kOpCopyFirst && op <= kOpCopyLast;
  if (!c->copy && (op < kOpLiteralFirst || op > kOpLiteralLast)) return false;
  c->offsetAt = at + 1;
  c->offsetWidth = c->copy ? CopyOffsetWidth(op) : 0;
  c->lengthAt = c->offsetAt + static_cast<size_t>(c->offsetWidth);
  c->lengthWidth = c->copy ? CopyLengthWidth(op) : LiteralLengthWidth(op);
  c->next = c->lengthAt + static_cast<size_t>(c->lengthWidth);
  if (c->next > commands.size()) return false;
  c->offset = c->copy ? GetLE(commands.data() + c->offsetAt, c->offsetWidth) : 0;
  c->length = GetLE(commands.data() + c->lengthAt, c->lengthWidth);
  if (!c->copy) {
    if (c->length > commands.size() - c->next) return false;
    c->next += c->length;
  }
  return true;
}

// The command stream of an encoded patch with the bits each byte cost and,
// where asked, what each was worth to later matches.
bool CommandBitCosts(const TBytes& encoded, TBytes* commands, std::vector<float>* bits, std::vector<float>* worth) {
  commands->clear();
  bits->clear();
  if (worth) worth->clear();
  size_t at = 0;
  while (at + kBlockHeaderSize <= encoded.size()) {
    TBlockHeader h = GetBlockHeader(encoded.data() + at);
    at += kBlockHeaderSize;
    if (h.storedLength < 0 || static_cast<size_t>(h.storedLength) > encoded.size() - at) return false;
    const uint8_t* stored = encoded.data() + at;
    at += static_cast<size_t>(h.storedLength);
    if (h.method == kMethodStored) {
      commands->insert(commands->end(), stored, stored + h.storedLength);
      bits->insert(bits->end(), static_cast<size_t>(h.storedLength), 8.0f);
      if (worth) worth->insert(worth->end(), static_cast<size_t>(h.storedLength), 0.0f);
      continue;
    }
    TBytes content;
    std::vector<float> contentBits, contentWorth;
    if (!DeflateBitCosts(stored, static_cast<size_t>(h.storedLength), &content, &contentBits,
                         worth ? &contentWorth : nullptr))
      return false;
    if (commands->empty()) {  // a segment's commands usually fill one block: no second copy
      commands->swap(content);
      bits->swap(contentBits);
      if (worth) worth->swap(contentWorth);
      continue;
    }
    commands->insert(commands->end(), content.begin(), content.end());
    bits->insert(bits->end(), contentBits.begin(), contentBits.end());
    if (worth) worth->insert(worth->end(), contentWorth.begin(), contentWorth.end());
  }
  return at == encoded.size();
}

// Prices for the next parse from where deflate spent the bits of this one.
// Target bytes that this parse copied keep their earlier literal price,
// rescaled by how far the earlier prices were off where they can be checked.
// Two ways to charge a copy for what its bytes were worth in deflate's window:
// the starting pricing's flat penalty, or what the bytes were measurably worth
// to later matches. The second wins where literals dominate (different
// programs), the first where copies do: both are tried.
struct TRepricing {
  float windowWorthWeight;  // 0: keep the flat penalty
  float copyPenalty;        // with the measured worth: the flat part that remains
};
const TRepricing kRepricings[] = {{0.0f, 0.0f}, {0.5f, 0.0f}};

bool MeasuredPrices(const TBytes& encoded, const TPrices& previous, int32_t targetSize, const TRepricing& how,
                    TPrices* out) {
  TBytes commands;
  // Only the second chain weighs what copied bytes were worth in the window.
  const bool weighWorth = how.windowWorthWeight > 0;
  std::vector<float> bits, worth;
  if (!CommandBitCosts(encoded, &commands, &bits, weighWorth ? &worth : nullptr)) return false;

  TTally opcode[16], offset[4][256], length[4][256], offsetField[4], lengthField[4], opcodeField, runOpen, samePage;
  std::vector<float> literal(static_cast<size_t>(targetSize), -1.0f);
  std::vector<double> windowWorth(weighWorth ? static_cast<size_t>(targetSize) + 1 : 0, 0.0);
  double measuredLiteral = 0, previousLiteral = 0;
  int64_t produced = 0;
  uint32_t lastPage = UINT32_MAX;
  // Tallies an operand's bytes by their position in the operand and value.
  auto tally = [&](size_t at, int32_t width, TTally (*tallies)[256], TTally* field) {
    for (int32_t k = 0; k < width; ++k) {
      tallies[k][commands[at + k]].Add(bits[at + k]);
      field[k].Add(bits[at + k]);
    }
  };
  TCommandAt c;
  for (size_t at = 0; ReadCommand(commands, at, &c); at = c.next) {
    const uint8_t op = commands[at];
    const float opBits = bits[at];
    if (c.copy) {
      opcode[op - kOpCopyFirst].Add(opBits);
      opcodeField.Add(opBits);
      tally(c.offsetAt, c.offsetWidth, offset, offsetField);
      if (c.offsetWidth == 4 && (c.offset >> 8) == lastPage)
        samePage.Add(static_cast<double>(bits[c.offsetAt + 1]) + bits[c.offsetAt + 2] + bits[c.offsetAt + 3]);
      lastPage = c.offset >> 8;
      tally(c.lengthAt, c.lengthWidth, length, lengthField);
      produced += c.length;
      continue;
    }
    double open = opBits;
    for (int32_t k = 0; k < c.lengthWidth; ++k) open += bits[c.lengthAt + static_cast<size_t>(k)];
    runOpen.Add(open);
    const size_t bytesAt = c.lengthAt + static_cast<size_t>(c.lengthWidth);
    for (size_t i = bytesAt; i < c.next && produced < targetSize; ++i, ++produced) {
      literal[static_cast<size_t>(produced)] = bits[i];
      if (weighWorth) windowWorth[static_cast<size_t>(produced) + 1] = worth[i];
      measuredLiteral += bits[i];
      previousLiteral += previous.literal[static_cast<size_t>(produced)];
    }
  }
  if (produced != targetSize) return false;

  // Everything but the per-position tables, which are made anew below.
  out->runOpen = previous.runOpen;
  std::memcpy(out->copyOpcode, previous.copyOpcode, sizeof out->copyOpcode);
  std::memcpy(out->offsetByte, previous.offsetByte, sizeof out->offsetByte);
  std::memcpy(out->lengthByte, previous.lengthByte, sizeof out->lengthByte);
  out->samePageOffset = previous.samePageOffset;
  out->copyPenalty = previous.copyPenalty;
  out->minOffsetWidth = previous.minOffsetWidth;
  double scale = previousLiteral > 0 ? measuredLiteral / previousLiteral : 1.0;
  for (size_t k = 0; k < literal.size(); ++k)
    if (literal[k] < 0) literal[k] = static_cast<float>(scale * previous.literal[k]);
  out->literal = std::move(literal);
  if (runOpen.count > 0) out->runOpen = static_cast<float>(runOpen.bits / runOpen.count);
  for (int op = 0; op < 16; ++op) out->copyOpcode[op] = Smoothed(opcode[op], opcodeField);
  for (int k = 0; k < 4; ++k)
    for (int v = 0; v < 256; ++v) {
      out->offsetByte[k][v] = Smoothed(offset[k][v], offsetField[k]);
      out->lengthByte[k][v] = Smoothed(length[k][v], lengthField[k]);
    }
  if (weighWorth) {
    for (size_t k = 1; k < windowWorth.size(); ++k) windowWorth[k] += windowWorth[k - 1];
    for (double& w : windowWorth) w *= how.windowWorthWeight;
    out->copyPenalty = how.copyPenalty;
  }
  out->windowWorth = std::move(windowWorth);
  out->samePageOffset = samePage.count > 0 ? static_cast<float>(samePage.bits / samePage.count) : -1.0f;
  return true;
}

// Displacements tried at every position besides the longest match: the places
// where recent good matches came from, which is where the next one usually is.
const int kRecentDisplacements = 4;
const int32_t kMinRecentSourceLength = 12;
// Matches at least this long carry over to the next position without a new search.
const int32_t kCarryLength = 48;
const float kInfinity = 1e30f;

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
const uint8_t kLiteralAfterLiteral = 1;  // the literal byte ending here continues a run
const uint8_t kCopyAfterLiteral = 2;     // the copy ending here starts where a run ended

uint32_t PageOf(const TStep& step) {
  return step.source < 0 ? UINT32_MAX : static_cast<uint32_t>(step.source) >> 8;
}

// Cheapest parse under the prices: forward over positions, two states (after
// a copy, inside a literal run), candidates the longest match and the recent
// displacements. Each state remembers where the last copy on its path read,
// so that a copy from the same neighbourhood gets its cheaper price.
// The program's tables, kept across the parses of a segment: fresh ones for
// every parse cost more in the kernel's page faults than the parse itself.
struct TParseTables {
  std::vector<float> afterCopy, inLiteral;
  std::vector<TStep> copyStep;
  std::vector<uint8_t> cameFrom;
  std::vector<uint32_t> literalPage;
};

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

// A copy whose bytes another copy took from the base a little earlier reads
// them from the same place: the command then repeats that copy's bytes and
// deflate matches it whole, where a new offset costs a good 20 bits.
const size_t kReuseDistance = 16384;  // command-stream bytes: well inside deflate's window

uint64_t ContentKey(const uint8_t* p, int32_t length) {
  uint64_t h = 0xCBF29CE484222325ull ^ static_cast<uint64_t>(length);
  for (int32_t i = 0; i < length; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
  return h;
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

// A parse of the whole target, one command after the other. Commands of 8
// bytes: every cut the highest level tries is held until the end.
struct TDeltaCommand {
  int32_t source;  // base offset of a copy, -1 for a literal run
  uint32_t length;  // its bytes; the top bit set where the segment chose wide offsets
};
const uint32_t kWideOffsets = 0x80000000u;
using TDeltaCommands = std::vector<TDeltaCommand>;

// A segment's parse as commands; wide offsets where it chose them.
void AppendCommands(const TParse& parse, int32_t minOffsetWidth, TDeltaCommands* commands) {
  const uint32_t wide = minOffsetWidth > 1 ? kWideOffsets : 0;
  for (size_t c = 0; c < parse.length.size(); ++c)
    commands->push_back(TDeltaCommand{parse.copyFrom[c] < 0 ? -1 : parse.copySource[c],
                                 static_cast<uint32_t>(parse.length[c]) | wide});
}

std::vector<TBytes> WriteCommands(const uint8_t* base, int32_t baseSize, const uint8_t* target,
                                  const TDeltaCommands& commands, TDeltaStats* stats) {
  TPatchWriter w;
  BeginPatch(&w, base, baseSize);
  TDeltaStats s = {0, 0, 0, 0};
  int64_t produced = 0;
  for (const TDeltaCommand& c : commands) {
    const uint32_t length = c.length & ~kWideOffsets;
    w.minOffsetWidth = (c.length & kWideOffsets) != 0 ? 4 : 1;
    if (c.source < 0) {
      AddLiteral(&w, target + produced, length);
      ++s.literalRuns;
      s.literalBytes += length;
    } else {
      AddCopy(&w, static_cast<uint32_t>(c.source), length);
      ++s.copies;
    }
    produced += length;
  }
  std::vector<TBytes> blocks = FinishCommands(&w);
  for (const TBytes& b : blocks) s.commandBytes += static_cast<int64_t>(b.size());
  if (stats) *stats = s;
  return blocks;
}

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
  bool byKind;              // one of each kind first (see above), else the first ones of kPricings
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
  if (level >= kDeflateLevelMax)
    return TLevelPlan{8, false, kDeflateLevelStrong, kDeflateLevelStrong, false, 10, 2, 8, true};
  if (level == kDeflateLevelStrong)
    return TLevelPlan{3, true, kCompareLevel, kLiteralCompareLevel, true, 1, 1, 10, false};
  return TLevelPlan{4, false, std::min(level, kCompareLevel), std::min(level, kLiteralCompareLevel), false, 0, 0, 10,
                    false};
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
    const size_t regional[] = {3, 2};
    const size_t pricings = regionalOnly ? 2 : static_cast<size_t>(plan.pricings);
    size_t bestK = 0;
    for (size_t j = 0; j < pricings; ++j) {
      size_t k = regionalOnly   ? regional[j]
                 : !plan.byKind ? j
                 : j == 0       ? 1
                 : j == 1       ? 3
                 : bestK == 1   ? 0
                                : 2;
      TTrial t;
      t.prices = StartingPrices(model, regionBits, seg.target, size, kPricings[k]);
      ParseAndEncode(seg, compareLevel, &t);
      if (j == 0 || t.encoded.size() < best.encoded.size()) {
        best = std::move(t);
        bestK = k;
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
        if (!MeasuredPrices(current.encoded, current.prices, size, kRepricings[c], &next.prices)) break;
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

// What each region of the target cost in the deflated commands: every
// command byte's bits charged to the target bytes the command makes.
const int32_t kCutRegion = 16384;
std::vector<double> RegionCosts(const TBytes& encoded, int32_t targetSize) {
  std::vector<double> cost(static_cast<size_t>(targetSize / kCutRegion) + 1, 0.0);
  TBytes commands;
  std::vector<float> bits;
  if (!CommandBitCosts(encoded, &commands, &bits, nullptr)) return cost;
  int64_t produced = 0;
  TCommandAt c;
  for (size_t at = 0; produced < targetSize && ReadCommand(commands, at, &c); at = c.next) {
    const size_t bytesAt = c.lengthAt + static_cast<size_t>(c.lengthWidth);  // a literal run's bytes
    double opBits = 0;
    for (size_t k = at; k < bytesAt; ++k) opBits += bits[k];
    const uint32_t length = static_cast<uint32_t>(std::min<int64_t>(c.length, targetSize - produced));
    if (c.copy) {  // a copy's bits spread evenly over the bytes it makes
      const double perByte = opBits / std::max<uint32_t>(length, 1);
      for (int64_t from = produced; from < produced + length;) {
        const int64_t end = std::min<int64_t>(produced + length, (from / kCutRegion + 1) * kCutRegion);
        cost[static_cast<size_t>(from / kCutRegion)] += perByte * static_cast<double>(end - from);
        from = end;
      }
    } else {
      cost[static_cast<size_t>(produced / kCutRegion)] += opBits;
      for (uint32_t k = 0; k < length; ++k)
        cost[static_cast<size_t>((produced + k) / kCutRegion)] += bits[bytesAt + k];
    }
    produced += length;
  }
  return cost;
}

// The commands of the parses, region by region from the one chosen for it.
// Where the choice changes, the command across the seam is cut: a copy in
// two, unless a piece is too short to pay, which goes as literal bytes.
TDeltaCommands MixParses(const std::vector<TDeltaCommands>& parses, const std::vector<size_t>& choice,
                         int32_t targetSize) {
  TDeltaCommands mixed;
  auto add = [&](int32_t source, uint32_t length, uint32_t wide) {
    if (length == 0) return;
    if (source >= 0 && length < static_cast<uint32_t>(kMinCopyLength)) source = -1;
    if (source < 0) {
      if (!mixed.empty() && mixed.back().source < 0) {
        mixed.back().length += length;  // one literal run across the seam
      } else {
        mixed.push_back(TDeltaCommand{-1, length});
      }
      return;
    }
    mixed.push_back(TDeltaCommand{source, length | wide});
  };
  std::vector<size_t> next(parses.size(), 0);      // per parse: its first command not yet passed
  std::vector<int64_t> nextAt(parses.size(), 0);   // and where that command starts
  for (int64_t from = 0; from < targetSize;) {
    const size_t region = static_cast<size_t>(from / kCutRegion);
    const size_t p = choice[region];
    int64_t to = from;
    while (to < targetSize && choice[static_cast<size_t>(to / kCutRegion)] == p)
      to = (to / kCutRegion + 1) * kCutRegion;
    to = std::min<int64_t>(to, targetSize);
    const TDeltaCommands& parse = parses[p];
    size_t& c = next[p];
    int64_t& at = nextAt[p];
    while (c < parse.size()) {
      const uint32_t length = parse[c].length & ~kWideOffsets, wide = parse[c].length & kWideOffsets;
      const int64_t end = at + length;
      if (end <= from) {
        at = end;
        ++c;
        continue;
      }
      if (at >= to) break;
      const int64_t pieceFrom = std::max(at, from), pieceTo = std::min(end, to);
      const int32_t source = parse[c].source < 0 ? -1 : parse[c].source + static_cast<int32_t>(pieceFrom - at);
      add(source, static_cast<uint32_t>(pieceTo - pieceFrom), wide);
      if (end > to) break;
      at = end;
      ++c;
    }
    from = to;
  }
  return mixed;
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
