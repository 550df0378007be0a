// What the delta encoder expects each part of a command stream to cost once
// deflated: the starting prices from the target's statistics and the prices
// measured from a parse's own deflated stream, and the reader of a command
// stream that both the re-pricing and the cuts' region costs walk.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ArchiveFormat.h"
#include "Bytes.h"

namespace delta {

// Bits that one byte value is expected to cost once deflated.
struct TCostModel {
  float byteBits[256];
};
TCostModel ModelFromHistogram(const uint64_t* counts, double floorBits);

// What a segment's bytes cost as literals, region by region: the segment
// deflated after the 8 KiB before it, as it would be inside a block, and
// each region charged the bits its bytes took. Order-0 statistics miss
// deflate's own matches and price literal runs of code far too high, which
// buys short copies that cost more than they save. A middle level prices as
// well as the strongest; more context before the segment changed nothing.
std::vector<float> RegionalLiteralBits(const uint8_t* target, int32_t start, int32_t size);

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

// The bits of a copy; samePage where its offset's upper bytes repeat those of
// the copy before it on the parse's path.
inline float CopyPrice(const TPrices& p, uint32_t offset, uint32_t length, bool samePage) {
  int32_t ow = std::max(vhz::OperandWidth(offset), p.minOffsetWidth);
  int32_t lw = vhz::OperandWidth(length);
  float bits =
      p.copyPenalty + p.copyOpcode[vhz::CopyOpcode(ow, lw) - vhz::kOpCopyFirst] + p.offsetByte[0][offset & 0xFF];
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
TPrices StartingPrices(const TCostModel& model, const std::vector<float>& regionBits, const uint8_t* target,
                       int32_t targetSize, const TPricing& pricing);

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
bool ReadCommand(const TBytes& commands, size_t at, TCommandAt* c);
// The command stream of an encoded patch with the bits each byte cost and,
// where asked, what each was worth to later matches.
bool CommandBitCosts(const TBytes& encoded, TBytes* commands, std::vector<float>* bits, std::vector<float>* worth);

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
bool MeasuredPrices(const TBytes& encoded, const TPrices& previous, int32_t targetSize, const TRepricing& how,
                    TPrices* out);

}  // namespace delta
