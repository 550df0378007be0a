#include "DeflateSplit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <zlib.h>

#include "DeflateCost.h"

namespace {

const int kLitSymbols = 286;
const int kDistSymbols = 30;
const int kSymbols = kLitSymbols + kDistSymbols;  // one histogram holds both alphabets
const int kEndOfBlock = 256;
int LengthCode(int length) {  // 0 to 28
  int c = 28;
  while (kLengthBase[c] > length) --c;
  return c;
}
int DistanceCode(int distance) {  // 0 to 29
  int c = 29;
  while (kDistanceBase[c] > distance) --c;
  return c;
}

// Optimal code lengths, none longer than limit. Codes with a single used
// symbol get a second one so that every code is complete.
void CodeLengths(const uint32_t* freq, int n, int limit, uint8_t* lengths) {
  std::memset(lengths, 0, static_cast<size_t>(n));
  // Weight and symbol in one key: plain integers sort several times faster
  // than through a comparison that looks both up.
  uint64_t key[kSymbols];
  int used = 0;
  for (int s = 0; s < n; ++s)
    if (freq[s] != 0) key[used++] = (static_cast<uint64_t>(freq[s]) << 16) | static_cast<uint64_t>(s);
  if (used == 0) return;
  if (used == 1) {
    const int only = static_cast<int>(key[0] & 0xFFFF);
    lengths[only] = 1;
    lengths[only == 0 ? 1 : 0] = 1;
    return;
  }
  std::sort(key, key + used);
  int order[kSymbols];
  // Moffat and Katajainen's in-place construction over the sorted weights.
  int64_t a[kSymbols];
  for (int i = 0; i < used; ++i) {
    order[i] = static_cast<int>(key[i] & 0xFFFF);
    a[i] = static_cast<int64_t>(key[i] >> 16);
  }
  a[0] += a[1];
  int root = 0, leaf = 2;
  for (int next = 1; next < used - 1; ++next) {
    if (leaf >= used || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = next;
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= used || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = next;
    } else {
      a[next] += a[leaf++];
    }
  }
  a[used - 2] = 0;
  for (int next = used - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
  int available = 1, usedHere = 0, depth = 0;
  root = used - 2;
  int next = used - 1;
  while (available > 0) {
    while (root >= 0 && a[root] == depth) {
      ++usedHere;
      --root;
    }
    while (available > usedHere) {
      a[next--] = depth;
      --available;
    }
    available = 2 * usedHere;
    ++depth;
    usedHere = 0;
  }
  // Lengths beyond the limit: fold them in, then lengthen the longest
  // shorter codes until the code fits again.
  int count[kSymbols + 1] = {0};
  for (int i = 0; i < used; ++i) ++count[std::min<int64_t>(a[i], limit)];
  int64_t total = 0;
  for (int len = 1; len <= limit; ++len) total += static_cast<int64_t>(count[len]) << (limit - len);
  while (total > (int64_t{1} << limit)) {
    --count[limit];
    for (int len = limit - 1; len > 0; --len) {
      if (count[len] != 0) {
        --count[len];
        count[len + 1] += 2;
        break;
      }
    }
    --total;
  }
  int at = 0;
  for (int len = limit; len >= 1; --len)
    for (int k = 0; k < count[len]; ++k) lengths[order[at++]] = static_cast<uint8_t>(len);
}

// A block's code lengths from its symbol counts. A block without matches
// still gets two distance codes: some inflaters refuse an empty code.
void BlockLengths(const uint32_t* freq, uint8_t* lengths) {
  CodeLengths(freq, kLitSymbols, 15, lengths);
  CodeLengths(freq + kLitSymbols, kDistSymbols, 15, lengths + kLitSymbols);
  bool any = false;
  for (int s = kLitSymbols; s < kSymbols; ++s) any = any || lengths[s] != 0;
  if (!any) lengths[kLitSymbols] = lengths[kLitSymbols + 1] = 1;
}

// A dynamic block's code tables as they are sent.
struct THeader {
  int hlit, hdist, hclen;
  uint8_t codeLength[19];
  std::vector<uint8_t> rle;  // code-length symbols, each followed by its extra value where it has one
  int64_t bits;
};

void MakeHeader(const uint8_t* litLen, const uint8_t* distLen, THeader* h) {
  h->hlit = kLitSymbols;
  while (h->hlit > 257 && litLen[h->hlit - 1] == 0) --h->hlit;
  h->hdist = kDistSymbols;
  while (h->hdist > 1 && distLen[h->hdist - 1] == 0) --h->hdist;
  uint8_t all[kSymbols];
  const int n = h->hlit + h->hdist;
  std::memcpy(all, litLen, static_cast<size_t>(h->hlit));
  std::memcpy(all + h->hlit, distLen, static_cast<size_t>(h->hdist));
  h->rle.clear();
  uint32_t freq[19] = {0};
  // A code-length symbol, and for the repeat codes 16 to 18 its count above the least.
  auto emit = [&](uint8_t symbol, int extra) {
    h->rle.push_back(symbol);
    if (symbol >= 16) h->rle.push_back(static_cast<uint8_t>(extra));
    ++freq[symbol];
  };
  for (int i = 0; i < n;) {
    const uint8_t v = all[i];
    int run = 1;
    while (i + run < n && all[i + run] == v) ++run;
    i += run;
    if (v == 0) {
      for (; run >= 11; run -= std::min(run, 138)) emit(18, std::min(run, 138) - 11);
      if (run >= 3) {
        emit(17, run - 3);
        run = 0;
      }
    } else {
      emit(v, 0);
      for (--run; run >= 3; run -= std::min(run, 6)) emit(16, std::min(run, 6) - 3);
    }
    for (; run > 0; --run) emit(v, 0);
  }
  CodeLengths(freq, 19, 7, h->codeLength);
  h->hclen = 19;
  while (h->hclen > 4 && h->codeLength[kCodeLengthOrder[h->hclen - 1]] == 0) --h->hclen;
  h->bits = 3 + 5 + 5 + 4 + 3 * h->hclen;
  for (int s = 0; s < 19; ++s) h->bits += static_cast<int64_t>(freq[s]) * h->codeLength[s];
  h->bits += 2 * freq[16] + 3 * freq[17] + 7 * freq[18];
}

uint8_t FixedLength(int s) {
  if (s < kLitSymbols) return s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  return 5;
}

enum TBlockKind { kStored, kFixed, kDynamic };

// The smallest way to send one block: its size in bits and how.
struct TBlockPlan {
  int64_t bits;
  TBlockKind kind;
};

struct TItems {
  std::vector<uint8_t> content;
  std::vector<TDeflateItem> items;
  std::vector<uint16_t> litSymbol;  // per item
  std::vector<int8_t> distSymbol;   // per item; -1 for a literal
  // Per candidate boundary: symbol counts, extra bits and content bytes before it.
  int32_t spacing;
  std::vector<uint32_t> counts;  // kSymbols per boundary
  std::vector<int64_t> extraBits;
  std::vector<int64_t> contentAt;
  int32_t boundaries;
  int32_t ItemAt(int32_t b) const {
    return std::min(static_cast<int32_t>(items.size()), b * spacing);
  }
};

TBlockPlan PlanBlock(const TItems& t, int32_t from, int32_t to) {
  uint32_t freq[kSymbols];
  const uint32_t* a = &t.counts[static_cast<size_t>(from) * kSymbols];
  const uint32_t* b = &t.counts[static_cast<size_t>(to) * kSymbols];
  for (int s = 0; s < kSymbols; ++s) freq[s] = b[s] - a[s];
  freq[kEndOfBlock] += 1;
  const int64_t extra = t.extraBits[static_cast<size_t>(to)] - t.extraBits[static_cast<size_t>(from)];
  uint8_t lengths[kSymbols];
  BlockLengths(freq, lengths);
  THeader h;
  MakeHeader(lengths, lengths + kLitSymbols, &h);
  int64_t dynamicBits = h.bits + extra, fixedBits = 3 + extra;
  for (int s = 0; s < kSymbols; ++s) {
    dynamicBits += static_cast<int64_t>(freq[s]) * lengths[s];
    fixedBits += static_cast<int64_t>(freq[s]) * FixedLength(s);
  }
  const int64_t bytes = t.contentAt[static_cast<size_t>(to)] - t.contentAt[static_cast<size_t>(from)];
  const int64_t storedBits = ((bytes + 65534) / 65535) * 48 + 8 * bytes;
  TBlockPlan p = {dynamicBits, kDynamic};
  if (fixedBits < p.bits) p = TBlockPlan{fixedBits, kFixed};
  if (bytes > 0 && storedBits < p.bits) p = TBlockPlan{storedBits, kStored};
  return p;
}

double XLog2X(uint32_t x) {
  static const std::vector<double> table = [] {
    std::vector<double> v(4096);
    for (size_t i = 1; i < v.size(); ++i) v[i] = static_cast<double>(i) * std::log2(static_cast<double>(i));
    return v;
  }();
  return x < table.size() ? table[x] : static_cast<double>(x) * std::log2(static_cast<double>(x));
}

// What a block would cost, close enough to rank split points at a tenth of
// the time of building its codes: each alphabet's entropy, the extra bits,
// and for the code tables a few bits per symbol used. The search for split
// points builds tens of thousands of blocks; only the chosen cut is priced
// exactly.
double EstimateBits(const TItems& t, int32_t from, int32_t to) {
  const uint32_t* a = &t.counts[static_cast<size_t>(from) * kSymbols];
  const uint32_t* b = &t.counts[static_cast<size_t>(to) * kSymbols];
  const double tableBitsPerSymbol = 2.5;
  double bits = static_cast<double>(t.extraBits[static_cast<size_t>(to)] - t.extraBits[static_cast<size_t>(from)]) + 20;
  for (int part = 0; part < 2; ++part) {
    const int lo = part == 0 ? 0 : kLitSymbols, hi = part == 0 ? kLitSymbols : kSymbols;
    uint32_t total = part == 0 ? 1 : 0;  // the end-of-block symbol
    double sum = 0;
    int used = 0;
    for (int s = lo; s < hi; ++s) {
      const uint32_t f = b[s] - a[s];
      if (f == 0) continue;
      total += f;
      sum += XLog2X(f);
      ++used;
    }
    bits += XLog2X(total) - sum + tableBitsPerSymbol * used;
  }
  return bits;
}

// Splits [from, to) where the two halves cost less than the whole, then each
// half again; boundaries come out in order.
void Split(const TItems& t, int32_t from, int32_t to, int64_t wholeBits, std::vector<int32_t>* cuts) {
  if (to - from < 2) return;
  double best = EstimateBits(t, from, to);
  int32_t bestAt = -1;
  auto tryAt = [&](int32_t at) {
    double estimate = EstimateBits(t, from, at) + EstimateBits(t, at, to);
    if (estimate < best) {
      best = estimate;
      bestAt = at;
    }
  };
  // Coarse over the range, then finer around the best point.
  int32_t step = std::max(1, (to - from) / 32);
  for (int32_t at = from + step; at < to; at += step) tryAt(at);
  while (step > 1 && bestAt > 0) {
    int32_t centre = bestAt, fine = std::max(1, step / 8);
    for (int32_t at = std::max(from + 1, centre - step + fine); at < std::min(to, centre + step); at += fine)
      if (at != centre) tryAt(at);
    step = fine;
  }
  if (bestAt < 0) return;
  const int64_t left = PlanBlock(t, from, bestAt).bits, right = PlanBlock(t, bestAt, to).bits;
  if (left + right >= wholeBits) return;
  Split(t, from, bestAt, left, cuts);
  cuts->push_back(bestAt);
  Split(t, bestAt, to, right, cuts);
}

struct TBitWriter {
  std::vector<uint8_t> out;
  uint64_t acc = 0;
  int count = 0;
  void Put(uint32_t value, int bits) {
    acc |= static_cast<uint64_t>(value) << count;
    count += bits;
    while (count >= 8) {
      out.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      count -= 8;
    }
  }
  void Align() {
    if (count > 0) Put(0, 8 - count);
  }
};

// Canonical codes, bit-reversed for the least-significant-first stream.
void Codes(const uint8_t* lengths, int n, uint16_t* codes) {
  int count[16] = {0}, next[16] = {0};
  for (int s = 0; s < n; ++s) ++count[lengths[s]];
  count[0] = 0;
  int code = 0;
  for (int len = 1; len <= 15; ++len) {
    code = (code + count[len - 1]) << 1;
    next[len] = code;
  }
  for (int s = 0; s < n; ++s) {
    int len = lengths[s];
    if (len == 0) {
      codes[s] = 0;
      continue;
    }
    uint32_t c = static_cast<uint32_t>(next[len]++), r = 0;
    for (int k = 0; k < len; ++k) r |= ((c >> k) & 1u) << (len - 1 - k);
    codes[s] = static_cast<uint16_t>(r);
  }
}

void WriteBlock(const TItems& t, int32_t firstItem, int32_t endItem, int64_t firstByte, int64_t endByte,
                TBlockKind kind, bool last, TBitWriter* w) {
  if (kind == kStored) {
    int64_t at = firstByte;
    do {
      int64_t n = std::min<int64_t>(65535, endByte - at);
      w->Put(last && at + n == endByte ? 1 : 0, 1);
      w->Put(0, 2);
      w->Align();
      w->Put(static_cast<uint32_t>(n), 16);
      w->Put(static_cast<uint32_t>(n) ^ 0xFFFFu, 16);
      w->out.insert(w->out.end(), t.content.begin() + at, t.content.begin() + at + n);
      at += n;
    } while (at < endByte);
    return;
  }
  uint8_t lengths[kSymbols];
  if (kind == kFixed) {
    for (int s = 0; s < kSymbols; ++s) lengths[s] = FixedLength(s);
  } else {
    uint32_t freq[kSymbols] = {0};
    for (int32_t i = firstItem; i < endItem; ++i) {
      ++freq[t.litSymbol[static_cast<size_t>(i)]];
      if (t.distSymbol[static_cast<size_t>(i)] >= 0) ++freq[kLitSymbols + t.distSymbol[static_cast<size_t>(i)]];
    }
    freq[kEndOfBlock] += 1;
    BlockLengths(freq, lengths);
  }
  uint16_t codes[kSymbols];
  if (kind == kFixed) {
    // The fixed code counts symbols 286 and 287 too: without them the 9-bit codes would shift.
    uint8_t all[288];
    uint16_t allCodes[288];
    for (int s = 0; s < 288; ++s) all[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    Codes(all, 288, allCodes);
    std::memcpy(codes, allCodes, sizeof(uint16_t) * kLitSymbols);
  } else {
    Codes(lengths, kLitSymbols, codes);
  }
  Codes(lengths + kLitSymbols, kDistSymbols, codes + kLitSymbols);
  w->Put(last ? 1 : 0, 1);
  w->Put(kind == kFixed ? 1 : 2, 2);
  if (kind == kDynamic) {
    THeader h;
    MakeHeader(lengths, lengths + kLitSymbols, &h);
    uint16_t clCodes[19];
    Codes(h.codeLength, 19, clCodes);
    w->Put(static_cast<uint32_t>(h.hlit - 257), 5);
    w->Put(static_cast<uint32_t>(h.hdist - 1), 5);
    w->Put(static_cast<uint32_t>(h.hclen - 4), 4);
    for (int i = 0; i < h.hclen; ++i) w->Put(h.codeLength[kCodeLengthOrder[i]], 3);
    for (size_t i = 0; i < h.rle.size(); ++i) {
      uint8_t s = h.rle[i];
      w->Put(clCodes[s], h.codeLength[s]);
      if (s >= 16) w->Put(h.rle[++i], s == 16 ? 2 : s == 17 ? 3 : 7);
    }
  }
  for (int32_t i = firstItem; i < endItem; ++i) {
    const TDeflateItem& item = t.items[static_cast<size_t>(i)];
    int ls = t.litSymbol[static_cast<size_t>(i)];
    w->Put(codes[ls], lengths[ls]);
    if (item.distance == 0) continue;
    int lc = ls - 257;
    if (kLengthExtra[lc] > 0) w->Put(static_cast<uint32_t>(item.value - kLengthBase[lc]), kLengthExtra[lc]);
    int dc = t.distSymbol[static_cast<size_t>(i)];
    w->Put(codes[kLitSymbols + dc], lengths[kLitSymbols + dc]);
    if (kDistanceExtra[dc] > 0) w->Put(static_cast<uint32_t>(item.distance - kDistanceBase[dc]), kDistanceExtra[dc]);
  }
  w->Put(codes[kEndOfBlock], lengths[kEndOfBlock]);
}

}  // namespace

std::vector<uint8_t> ResplitDeflate(const std::vector<uint8_t>& zlibStream) {
  TItems t;
  if (!DeflateItems(zlibStream.data(), zlibStream.size(), &t.content, &t.items) || t.items.empty()) return {};
  const int32_t n = static_cast<int32_t>(t.items.size());
  t.litSymbol.resize(t.items.size());
  t.distSymbol.resize(t.items.size());
  // Boundaries every few hundred items: finer buys little and costs time.
  t.spacing = std::max<int32_t>(128, (n + 2047) / 2048);
  t.boundaries = (n + t.spacing - 1) / t.spacing + 1;
  t.counts.assign(static_cast<size_t>(t.boundaries) * kSymbols, 0);
  t.extraBits.assign(static_cast<size_t>(t.boundaries), 0);
  t.contentAt.assign(static_cast<size_t>(t.boundaries), 0);
  uint32_t running[kSymbols] = {0};
  int64_t extra = 0, bytes = 0;
  for (int32_t i = 0; i <= n; ++i) {
    if (i % t.spacing == 0 || i == n) {
      int32_t b = (i + t.spacing - 1) / t.spacing;
      std::memcpy(&t.counts[static_cast<size_t>(b) * kSymbols], running, sizeof running);
      t.extraBits[static_cast<size_t>(b)] = extra;
      t.contentAt[static_cast<size_t>(b)] = bytes;
    }
    if (i == n) break;
    const TDeflateItem& item = t.items[static_cast<size_t>(i)];
    if (item.distance == 0) {
      t.litSymbol[static_cast<size_t>(i)] = item.value;
      t.distSymbol[static_cast<size_t>(i)] = -1;
      ++running[item.value];
      bytes += 1;
      continue;
    }
    int lc = LengthCode(item.value), dc = DistanceCode(item.distance);
    t.litSymbol[static_cast<size_t>(i)] = static_cast<uint16_t>(257 + lc);
    t.distSymbol[static_cast<size_t>(i)] = static_cast<int8_t>(dc);
    ++running[257 + lc];
    ++running[kLitSymbols + dc];
    extra += kLengthExtra[lc] + kDistanceExtra[dc];
    bytes += item.value;
  }

  const int32_t last = t.boundaries - 1;
  std::vector<int32_t> cuts;
  Split(t, 0, last, PlanBlock(t, 0, last).bits, &cuts);
  cuts.push_back(last);

  TBitWriter w;
  w.out.push_back(0x78);
  w.out.push_back(0xDA);
  int32_t from = 0;
  for (size_t c = 0; c < cuts.size(); ++c) {
    const TBlockPlan p = PlanBlock(t, from, cuts[c]);
    WriteBlock(t, t.ItemAt(from), t.ItemAt(cuts[c]), t.contentAt[static_cast<size_t>(from)],
               t.contentAt[static_cast<size_t>(cuts[c])], p.kind, c + 1 == cuts.size(), &w);
    from = cuts[c];
  }
  w.Align();
  uint32_t adler = static_cast<uint32_t>(adler32(adler32(0L, Z_NULL, 0), t.content.data(), static_cast<uInt>(t.content.size())));
  for (int k = 3; k >= 0; --k) w.out.push_back(static_cast<uint8_t>(adler >> (8 * k)));
  if (w.out.size() >= zlibStream.size()) return {};
  return std::move(w.out);
}
