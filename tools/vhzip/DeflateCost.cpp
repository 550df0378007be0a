#include "DeflateCost.h"

#include <cmath>
#include <cstring>

// The deflate format's tables, shared with the block re-split.
const int kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
const int kLengthBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                             35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDistanceBase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129,
                               193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

namespace {

struct TBitReader {
  const uint8_t* data;
  size_t size;
  size_t bit;  // next bit to read
  bool overrun;
};

uint32_t Bits(TBitReader* r, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    size_t byte = r->bit >> 3;
    if (byte >= r->size) {
      r->overrun = true;
      return 0;
    }
    value |= static_cast<uint32_t>((r->data[byte] >> (r->bit & 7)) & 1) << i;
    ++r->bit;
  }
  return value;
}

const int kMaxCodeLength = 15;

// Canonical Huffman decoding, one bit at a time: slow, but this runs once per
// trial parse over a few megabytes at most.
struct THuffman {
  int count[kMaxCodeLength + 1];
  std::vector<int> symbols;
};

bool BuildHuffman(const int* lengths, int n, THuffman* h) {
  std::memset(h->count, 0, sizeof h->count);
  for (int s = 0; s < n; ++s) ++h->count[lengths[s]];
  h->count[0] = 0;
  int left = 1;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    left = 2 * left - h->count[len];
    if (left < 0) return false;  // over-subscribed
  }
  int offsets[kMaxCodeLength + 2];
  offsets[1] = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) offsets[len + 1] = offsets[len] + h->count[len];
  h->symbols.assign(static_cast<size_t>(n), 0);
  for (int s = 0; s < n; ++s)
    if (lengths[s] != 0) h->symbols[static_cast<size_t>(offsets[lengths[s]]++)] = s;
  return true;
}

// The symbol, or -1; *length gets the code's length in bits.
int Decode(TBitReader* r, const THuffman& h, int* length) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    code |= static_cast<int>(Bits(r, 1));
    if (r->overrun) return -1;
    int n = h.count[len];
    if (code - n < first) {
      *length = len;
      return h.symbols[static_cast<size_t>(index + code - first)];
    }
    index += n;
    first = (first + n) << 1;
    code <<= 1;
  }
  return -1;
}

bool ReadDynamicTables(TBitReader* r, THuffman* literals, THuffman* distances) {
  int nLiterals = static_cast<int>(Bits(r, 5)) + 257;
  int nDistances = static_cast<int>(Bits(r, 5)) + 1;
  int nCodeLengths = static_cast<int>(Bits(r, 4)) + 4;
  if (nLiterals > 286 || nDistances > 30) return false;
  int codeLengths[19] = {0};
  for (int i = 0; i < nCodeLengths; ++i) codeLengths[kCodeLengthOrder[i]] = static_cast<int>(Bits(r, 3));
  THuffman lengthCode;
  if (!BuildHuffman(codeLengths, 19, &lengthCode)) return false;
  int lengths[286 + 30];
  int have = 0;
  while (have < nLiterals + nDistances) {
    int unused;
    int s = Decode(r, lengthCode, &unused);
    if (s < 0) return false;
    if (s < 16) {
      lengths[have++] = s;
      continue;
    }
    int repeat, value = 0;
    if (s == 16) {
      if (have == 0) return false;
      value = lengths[have - 1];
      repeat = 3 + static_cast<int>(Bits(r, 2));
    } else if (s == 17) {
      repeat = 3 + static_cast<int>(Bits(r, 3));
    } else {
      repeat = 11 + static_cast<int>(Bits(r, 7));
    }
    if (have + repeat > nLiterals + nDistances) return false;
    while (repeat-- > 0) lengths[have++] = value;
  }
  if (r->overrun) return false;
  return BuildHuffman(lengths, nLiterals, literals) && BuildHuffman(lengths + nLiterals, nDistances, distances);
}

void FixedTables(THuffman* literals, THuffman* distances) {
  int lengths[288];
  for (int s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  BuildHuffman(lengths, 288, literals);
  int d[30];
  for (int s = 0; s < 30; ++s) d[s] = 5;
  BuildHuffman(d, 30, distances);
}

// A literal's average code length in one block: what a byte costs when no
// match covers it.
float MeanLiteralBits(const THuffman& literals) {
  double weighted = 0, probability = 0;
  int first = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    for (int k = 0; k < literals.count[len]; ++k) {
      if (literals.symbols[static_cast<size_t>(first + k)] < 256) {
        double p = std::ldexp(1.0, -len);
        weighted += p * len;
        probability += p;
      }
    }
    first += literals.count[len];
  }
  return probability > 0 ? static_cast<float>(weighted / probability) : 8.0f;
}

}  // namespace

namespace {

// One decoder for both questions: where the bits went, and which literals and
// matches the stream is made of. Every output but content is optional.
bool DecodeStream(const uint8_t* stream, size_t size, std::vector<uint8_t>* content, std::vector<float>* bits,
                  std::vector<float>* sourceValue, std::vector<TDeflateItem>* items) {
  content->clear();
  if (bits) bits->clear();
  if (sourceValue) sourceValue->clear();
  if (items) items->clear();
  if (size < 6 || (stream[0] & 0x0F) != 8 || (stream[1] & 0x20) != 0 || ((stream[0] << 8) | stream[1]) % 31 != 0)
    return false;
  TBitReader r = {stream + 2, size - 6, 0, false};
  bool last = false;
  while (!last) {
    last = Bits(&r, 1) != 0;
    uint32_t type = Bits(&r, 2);
    if (r.overrun || type == 3) return false;
    if (type == 0) {
      r.bit = (r.bit + 7) & ~static_cast<size_t>(7);
      uint32_t length = Bits(&r, 16);
      uint32_t check = Bits(&r, 16);
      if (r.overrun || (length ^ 0xFFFF) != check || (r.bit >> 3) + length > r.size) return false;
      content->insert(content->end(), r.data + (r.bit >> 3), r.data + (r.bit >> 3) + length);
      if (bits) bits->insert(bits->end(), length, 8.0f);
      if (items)
        for (uint32_t k = 0; k < length; ++k) items->push_back(TDeflateItem{r.data[(r.bit >> 3) + k], 0});
      if (sourceValue) sourceValue->insert(sourceValue->end(), length, 0.0f);
      r.bit += 8 * static_cast<size_t>(length);
      continue;
    }
    THuffman literals, distances;
    if (type == 1) {
      FixedTables(&literals, &distances);
    } else if (!ReadDynamicTables(&r, &literals, &distances)) {
      return false;
    }
    const float meanLiteral = sourceValue ? MeanLiteralBits(literals) : 0.0f;
    for (;;) {
      int codeBits;
      int s = Decode(&r, literals, &codeBits);
      if (s < 0) return false;
      if (s < 256) {
        content->push_back(static_cast<uint8_t>(s));
        if (bits) bits->push_back(static_cast<float>(codeBits));
        if (items) items->push_back(TDeflateItem{static_cast<uint16_t>(s), 0});
        if (sourceValue) sourceValue->push_back(0.0f);
        continue;
      }
      if (s == 256) break;
      s -= 257;
      if (s >= 29) return false;
      int length = kLengthBase[s] + static_cast<int>(Bits(&r, kLengthExtra[s]));
      int distanceBits;
      int d = Decode(&r, distances, &distanceBits);
      if (d < 0 || d >= 30) return false;
      size_t distance = static_cast<size_t>(kDistanceBase[d]) + Bits(&r, kDistanceExtra[d]);
      if (r.overrun || distance > content->size()) return false;
      float matchBits = static_cast<float>(codeBits + kLengthExtra[s] + distanceBits + kDistanceExtra[d]);
      float share = matchBits / static_cast<float>(length);
      size_t from = content->size() - distance;
      if (items) items->push_back(TDeflateItem{static_cast<uint16_t>(length), static_cast<uint16_t>(distance)});
      for (int i = 0; i < length; ++i) {
        content->push_back((*content)[from + static_cast<size_t>(i)]);
        if (bits) bits->push_back(share);
        if (sourceValue) sourceValue->push_back(0.0f);
      }
      if (sourceValue) {
        float saved = (meanLiteral * static_cast<float>(length) - matchBits) / static_cast<float>(length);
        if (saved > 0)
          for (int i = 0; i < length; ++i) (*sourceValue)[from + static_cast<size_t>(i)] += saved;
      }
    }
  }
  return !r.overrun;
}

}  // namespace

bool DeflateBitCosts(const uint8_t* stream, size_t size, std::vector<uint8_t>* content, std::vector<float>* bits,
                     std::vector<float>* sourceValue) {
  return DecodeStream(stream, size, content, bits, sourceValue, nullptr);
}

bool DeflateItems(const uint8_t* stream, size_t size, std::vector<uint8_t>* content, std::vector<TDeflateItem>* items) {
  return DecodeStream(stream, size, content, nullptr, nullptr, items);
}
