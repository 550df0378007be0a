#include "DeltaCommands.h"

#include <algorithm>

#include "DeltaPrices.h"
#include "PatchWriter.h"

namespace delta {

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

}  // namespace delta
