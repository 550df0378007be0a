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
  return InflateBlock(source.data(), static_cast<int32_t>(source.size()), out->data(), length, arena,
                      arenaSize);
}

TEST(InflateBlock, RoundTripsCompressibleAndIncompressibleData) {
  Bytes text;
  for (int i = 0; i < 50000; ++i) text.push_back(static_cast<uint8_t>("Trawlmark "[i % 10]));
  Bytes noise = twxtest::RandomBytes(vhz::kMaxBlockContent, 9);
  for (const Bytes* plain : {&text, &noise}) {
    Bytes out;
    ASSERT_TRUE(Inflate(patchbytes::Zlib(*plain), &out, static_cast<int32_t>(plain->size())));
    EXPECT_EQ(out, *plain);
  }
  Bytes out;
  EXPECT_TRUE(Inflate(patchbytes::Zlib(Bytes()), &out, 0));
}

TEST(InflateBlock, WorksWhenTheArenaIsTooSmallOrMissing) {
  // Requests that do not fit come from the heap instead.
  Bytes plain = twxtest::RandomBytes(100000, 2);
  Bytes packed = patchbytes::Zlib(plain);
  Bytes out;
  EXPECT_TRUE(Inflate(packed, &out, static_cast<int32_t>(plain.size()), 100));
  EXPECT_EQ(out, plain);
  EXPECT_TRUE(InflateBlock(packed.data(), static_cast<int32_t>(packed.size()), out.data(),
                           static_cast<int32_t>(out.size()), nullptr, 0));
  EXPECT_EQ(out, plain);
}

TEST(InflateBlock, RejectsWrongLengthsAndDamagedStreams) {
  Bytes plain = twxtest::RandomBytes(5000, 4);
  Bytes packed = patchbytes::Zlib(plain);
  Bytes out;
  // Room for fewer bytes than the stream holds: Z_FINISH cannot reach the end.
  EXPECT_FALSE(Inflate(packed, &out, 4999));
  // A stream that ends before the destination is full would leave stale bytes.
  EXPECT_FALSE(Inflate(packed, &out, 5001));
  // Cut short, or a damaged Adler-32 trailer.
  Bytes cut(packed.begin(), packed.end() - 5);
  EXPECT_FALSE(Inflate(cut, &out, 5000));
  Bytes badTrailer = packed;
  badTrailer.back() ^= 1;
  EXPECT_FALSE(Inflate(badTrailer, &out, 5000));
  // Raw deflate without the zlib wrapper, and garbage.
  Bytes raw(packed.begin() + 2, packed.end() - 4);
  EXPECT_FALSE(Inflate(raw, &out, 5000));
  EXPECT_FALSE(Inflate(twxtest::RandomBytes(64, 1), &out, 10));
  EXPECT_FALSE(Inflate(Bytes(), &out, 10));
}

}  // namespace
