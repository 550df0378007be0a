// Where the bits of a deflated stream go: decodes a zlib stream and charges
// every bit of it to the content bytes it describes. The delta encoder prices
// its next parse from these charges, because guessing what deflate will make of
// a command stream is far less accurate than asking a finished one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bytes.h"

// Decodes the zlib stream (any block types, window up to 32 KiB) into content
// and gives bits[i], the stream bits spent on content[i]: a literal's code
// length; a match's length and distance codes with their extra bits, shared
// evenly by the bytes it covers. Block headers and code tables are charged to
// no byte. When sourceValue is given, sourceValue[i] gets what content[i] was
// worth as a match source: the bits that the matches reading it saved against
// spelling their bytes out as literals of their block's average cost, shared
// evenly by the bytes each match read. False for a damaged or truncated stream.
bool DeflateBitCosts(const uint8_t* stream, size_t size, TBytes* content, std::vector<float>* bits,
                     std::vector<float>* sourceValue = nullptr);

// The deflate format's order of the code-length code lengths, and the first
// value and extra bits of each length code (257 + i) and distance code.
extern const int kCodeLengthOrder[19];
extern const int kLengthBase[29], kLengthExtra[29], kDistanceBase[30], kDistanceExtra[30];

// One literal (distance 0, value the byte) or match (length 3 to 258 at
// distance 1 to 32768) of a deflate stream.
struct TDeflateItem {
  uint16_t value;
  uint16_t distance;
};

// Decodes the zlib stream into content and the literals and matches that
// make it, in order; stored blocks give literals. False for a damaged stream.
bool DeflateItems(const uint8_t* stream, size_t size, TBytes* content, std::vector<TDeflateItem>* items);
