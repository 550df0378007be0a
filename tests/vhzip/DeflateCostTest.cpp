// Charging deflate's bits to the bytes they encode: the delta encoder prices
// its parses from these charges, so they must decode every kind of block
// exactly and account for the stream's bits.
#include <cstring>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "Deflate.h"
#include "DeflateCost.h"
#include "DeflateSplit.h"
#include "TestSupport.h"

namespace {

typedef std::vector<uint8_t> TBytes;

TBytes WithZlib(const TBytes& data, int level, int strategy) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15, 9, strategy), Z_OK);
  TBytes out(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Text-like data with repeats near and far, plus a stretch of noise.
TBytes MixedData() {
  TBytes data;
  const char* words[] = {"copy ", "literal ", "offset ", "length ", "block ", "window "};
  uint32_t x = 7;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245u + 12345u;
    const char* w = words[(x >> 16) % 6];
    data.insert(data.end(), w, w + std::strlen(w));
  }
  TBytes noise = twxtest::RandomBytes(30000, 3);
  data.insert(data.begin() + 50000, noise.begin(), noise.end());
  return data;
}

TEST(DeflateBitCosts, EveryBlockKindDecodesAndItsBitsAddUpToTheStream) {
  const TBytes data = MixedData();
  struct Case {
    const char* name;
    TBytes stream;
  } cases[] = {
      {"stored", WithZlib(data, 0, Z_DEFAULT_STRATEGY)},
      {"fixed codes", WithZlib(data, 6, Z_FIXED)},
      {"dynamic codes", WithZlib(data, 9, Z_DEFAULT_STRATEGY)},
      {"strongest encoder", DeflateZlib(data.data(), data.size(), kDeflateLevelStrong)},
      {"its blocks split again", ResplitDeflate(DeflateZlib(data.data(), data.size(), kDeflateLevelStrong))},
  };
  for (const Case& c : cases) {
    TBytes content;
    std::vector<float> bits;
    ASSERT_TRUE(DeflateBitCosts(c.stream.data(), c.stream.size(), &content, &bits)) << c.name;
    ASSERT_TRUE(content == data) << c.name;
    ASSERT_EQ(bits.size(), data.size());
    double total = std::accumulate(bits.begin(), bits.end(), 0.0);
    double streamBits = 8.0 * static_cast<double>(c.stream.size());
    // Only block headers, code tables, the wrapper and padding go uncharged.
    EXPECT_LE(total, streamBits) << c.name;
    EXPECT_GE(total, 0.97 * streamBits - 2000) << c.name;
  }
}

TEST(DeflateBitCosts, BytesThatLaterMatchesReadAreWorthWhatTheySaved) {
  // A phrase, noise, the phrase again: only the first phrase is read by a
  // match, and it saved about the phrase's literal bits.
  TBytes phrase = twxtest::RandomBytes(200, 5);
  TBytes noise = twxtest::RandomBytes(1000, 6);
  TBytes data = phrase;
  data.insert(data.end(), noise.begin(), noise.end());
  data.insert(data.end(), phrase.begin(), phrase.end());
  data.insert(data.end(), noise.begin(), noise.begin() + 100);
  TBytes stream = WithZlib(data, 9, Z_DEFAULT_STRATEGY);
  TBytes content;
  std::vector<float> bits, worth;
  ASSERT_TRUE(DeflateBitCosts(stream.data(), stream.size(), &content, &bits, &worth));
  ASSERT_EQ(content, data);
  ASSERT_EQ(worth.size(), data.size());
  auto sum = [](const std::vector<float>& v, size_t from, size_t to) {
    return std::accumulate(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(to), 0.0);
  };
  // Layout: phrase [0, 200), noise [200, 1200), phrase [1200, 1400), the
  // noise's first hundred bytes [1400, 1500).
  EXPECT_GT(sum(worth, 0, 200), 200 * 6.0);  // random bytes cost about 8 bits as literals
  EXPECT_LT(sum(worth, 0, 200), 200 * 8.5);
  EXPECT_LT(sum(bits, 1200, 1400), 40.0);    // while the repeat is one cheap match
  EXPECT_GT(sum(worth, 200, 300), 100 * 6.0);
  EXPECT_LT(sum(worth, 300, 1200), 20.0);    // noise nobody reads (chance matches aside)
  EXPECT_EQ(sum(worth, 1200, 1500), 0.0);    // nothing comes after to read the repeats
}

}  // namespace
