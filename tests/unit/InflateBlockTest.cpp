// Inflating one block over the arena allocator.
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveFormat.h"
#include "PatchBytes.h"
#include "TestSupport.h"
#include "ZLib.h"

namespace {

using patchbytes::Bytes;

bool Inflate(const Bytes& source, Bytes* out, int32_t length, int32_t arenaSize = vhz::kInflateArenaSize) {
  static uint8_t arena[vhz::kInflateArenaSize + 16];
  out->assign(static_cast<size_t>(length), 0xAA);
  return InflateBlock(source.data(), static_cast<int32_t>(source.size()), out->data(), length,
                      arenaSize ? arena : nullptr, arenaSize);
}

TEST(InflateBlock, RoundTripsWithAnyArenaAndNothingToWrite) {
  Bytes text;
  for (int i = 0; i < 50000; ++i) text.push_back(static_cast<uint8_t>("Trawlmark "[i % 10]));
  const Bytes noise = twxtest::RandomBytes(vhz::kMaxBlockContent, 9);
  // Requests that do not fit a small arena, or come without one, use the heap.
  for (int32_t arena : {vhz::kInflateArenaSize, 100, 0}) {
    for (const Bytes* plain : std::initializer_list<const Bytes*>{&text, &noise}) {
      Bytes out;
      ASSERT_TRUE(Inflate(patchbytes::Zlib(*plain), &out, static_cast<int32_t>(plain->size()), arena)) << arena;
      EXPECT_TRUE(out == *plain);
    }
  }
  const Bytes empty = patchbytes::Zlib(Bytes());
  EXPECT_TRUE(InflateBlock(empty.data(), static_cast<int32_t>(empty.size()), nullptr, 0, nullptr, 0));
}

TEST(InflateBlock, RejectsWrongLengthsAndDamagedStreams) {
  const Bytes plain = twxtest::RandomBytes(5000, 4);
  const Bytes packed = patchbytes::Zlib(plain);
  Bytes badTrailer = packed, out;
  badTrailer.back() ^= 1;
  EXPECT_FALSE(Inflate(packed, &out, 4999));  // Z_FINISH cannot reach the end
  EXPECT_FALSE(Inflate(packed, &out, 5001));  // would leave a stale byte
  EXPECT_FALSE(Inflate(Bytes(packed.begin(), packed.end() - 5), &out, 5000));
  EXPECT_FALSE(Inflate(badTrailer, &out, 5000));
  EXPECT_FALSE(Inflate(Bytes(packed.begin() + 2, packed.end() - 4), &out, 5000));  // raw deflate, no wrapper
  EXPECT_FALSE(Inflate(twxtest::RandomBytes(64, 1), &out, 10));
  EXPECT_FALSE(Inflate(Bytes(), &out, 10));
}

}  // namespace
