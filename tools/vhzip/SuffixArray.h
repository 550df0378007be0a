// Suffix arrays over a delta base: every suffix start, in lexicographic order
// of the suffixes (a shorter suffix sorts before its extensions).
#pragma once

#include <cstdint>
#include <vector>

// Uses the fastest construction this build has.
std::vector<int32_t> BuildSuffixArray(const uint8_t* text, int32_t length);
// Induced sorting, linear time; always built, so both builds have one.
std::vector<int32_t> BuildSuffixArrayInduced(const uint8_t* text, int32_t length);
