#include "DeltaPrices.h"

#include <cmath>
#include <cstring>

#include "Deflate.h"
#include "DeflateCost.h"

using namespace vhz;

namespace delta {

namespace {

// RegionalLiteralBits: its regions, the context before the segment and the level.
const int32_t kRegionSize = 4096;
const int32_t kRegionContext = 8192;
const int kRegionLevel = 6;

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

}  // namespace

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

}  // namespace delta
