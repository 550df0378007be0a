// zlib-format compression of one patch-stream block. The setup only inflates,
// so the packer is free to use whichever encoder this build has: the strongest
// give noticeably smaller archives and patches than zlib's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bytes.h"

// 0 stores everything; 1 to 12 trade time for size (zlib's scale where the
// fast encoder is missing, so 10 to 12 act as 9 there); 13 also runs the
// exhaustive encoder and keeps the smaller stream, which takes minutes on
// large inputs and gains a few percent.
const int kDeflateLevelMax = 13;
const int kDeflateLevelStrong = 12;

// One zlib stream (window bits 15, Adler-32 trailer) holding data. Always
// deterministic: the same bytes and level give the same stream.
TBytes DeflateZlib(const uint8_t* data, size_t size, int level);
