// The packer's patch-stream writer and delta encoder, checked against the
// setup's own decoders.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "DeltaEncoder.h"
#include "PatchApply.h"
#include "PatchBytes.h"
#include "PatchWriter.h"
#include "SuffixArray.h"
#include "TestSupport.h"

namespace {

TEST(PatchWriter, SmallBlocksKeepEveryCommandReadableWithinItsBlock) {
  // Random commands through blocks of a few dozen bytes: every boundary case
  // of the block rules comes up, and both decoders must rebuild the target.
  std::mt19937 rng(5);
  TBytes base = twxtest::RandomBytes(3000, 1);
  for (int round = 0; round < 200; ++round) {
    TPatchWriter w;
    BeginPatch(&w, base.data(), static_cast<int32_t>(base.size()));
    w.blockLimit = 12 + static_cast<int32_t>(rng() % 40);
    w.minOffsetWidth = 1 + round % 4;  // padded offsets meet the block ends at other places
    TBytes want;
    for (int c = 0; c < 30; ++c) {
      if (rng() % 2) {
        uint32_t offset = rng() % 2900, length = 1 + rng() % 100;
        AddCopy(&w, offset, length);
        want.insert(want.end(), base.begin() + offset, base.begin() + offset + length);
      } else {
        TBytes lit = twxtest::RandomBytes(1 + rng() % 300, rng());
        AddLiteral(&w, lit.data(), lit.size());
        want.insert(want.end(), lit.begin(), lit.end());
      }
    }
    std::vector<TBytes> commands = FinishCommands(&w);
    for (const TBytes& b : commands) ASSERT_LE(b.size(), static_cast<size_t>(w.blockLimit));
    TBytes stream = EncodeBlocks(commands, round % 3 == 0 ? 0 : 6, 1 + round % 2);
    TBytes out;
    ASSERT_EQ(ApplyPatchWithRetry(base, stream, &out), kPatchOk) << "round " << round;
    ASSERT_EQ(out, want);
  }
}

TEST(PatchWriter, StoresWhatDeflateCannotShrinkAndDecodesThroughCallbacks) {
  TBytes noise = twxtest::RandomBytes(3u << 20, 4);
  TPatchWriter w;
  BeginPatch(&w, nullptr, 0);
  AddLiteral(&w, noise.data(), noise.size());
  TBytes stream = EncodeBlocks(FinishCommands(&w), 12, 2);
  EXPECT_EQ(stream[0], vhz::kMethodStored);
  patchbytes::EntryDecoding io = patchbytes::DecodeEntry(stream);
  EXPECT_EQ(io.code, kEntryDecoded);
  EXPECT_TRUE(io.output == noise);
}

TEST(SuffixArray, InducedSortingGivesTheOrderOfAllSuffixes) {
  std::mt19937 rng(9);
  std::vector<TBytes> texts = {TBytes(1, 'a'), TBytes(1000, 0), TBytes(2000, 0xFF)};
  for (int i = 0; i < 30; ++i) {
    TBytes t = twxtest::RandomBytes(1 + rng() % 3000, rng());
    if (i % 3 == 0) for (uint8_t& b : t) b &= 3;  // small alphabet: long repeats
    if (i % 3 == 1) for (size_t k = 0; k < t.size(); ++k) t[k] = static_cast<uint8_t>("abcab"[k % 5]);
    texts.push_back(t);
  }
  for (const TBytes& t : texts) {
    std::vector<int32_t> sa = BuildSuffixArrayInduced(t.data(), static_cast<int32_t>(t.size()));
    ASSERT_EQ(sa.size(), t.size());
    std::vector<int32_t> seen(sa);
    std::sort(seen.begin(), seen.end());
    for (size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], static_cast<int32_t>(i));
    for (size_t i = 1; i < sa.size(); ++i) {
      ASSERT_TRUE(std::lexicographical_compare(t.begin() + sa[i - 1], t.end(), t.begin() + sa[i], t.end()))
          << "size " << t.size() << " at " << i;
    }
    EXPECT_EQ(BuildSuffixArray(t.data(), static_cast<int32_t>(t.size())), sa);
  }
}

// A new version of base: a few insertions, deletions and byte changes.
TBytes Mutate(const TBytes& base, std::mt19937* rng) {
  TBytes out = base;
  for (int edit = 0; edit < 20 && !out.empty(); ++edit) {
    size_t at = (*rng)() % out.size();
    switch ((*rng)() % 3) {
      case 0: out[at] ^= 0x5A; break;
      case 1: {
        TBytes ins = twxtest::RandomBytes(1 + (*rng)() % 200, (*rng)());
        out.insert(out.begin() + static_cast<long>(at), ins.begin(), ins.end());
        break;
      }
      default: out.erase(out.begin() + static_cast<long>(at), out.begin() + static_cast<long>(std::min(out.size(), at + (*rng)() % 300)));
    }
  }
  return out;
}

TEST(DeltaEncoder, PatchesRebuildTheTargetAndCopyWhatTheBaseHas) {
  std::mt19937 rng(17);
  TDeltaOptions options = DefaultDeltaOptions();
  options.level = 6;
  TBytes base = twxtest::RandomBytes(200000, 3);
  for (int round = 0; round < 6; ++round) {
    TBytes target = Mutate(base, &rng);
    TDeltaStats stats;
    TBytes patch = EncodeDelta(base.data(), static_cast<int32_t>(base.size()), target.data(),
                               static_cast<int32_t>(target.size()), options, &stats);
    int32_t code = 0;
    ASSERT_TRUE(PatchRebuilds(base, patch, target, &code)) << "code " << code;
    // Random data does not deflate: only copies can make the patch small.
    EXPECT_LT(patch.size(), target.size() / 20);
    EXPECT_GT(stats.copies, 0);
  }
}

TEST(DeltaEncoder, DenseSmallEditsCostFarLessThanTheirBytes) {
  // A new build: every 20 to 80 bytes the low bytes of a 32-bit field change,
  // as relative addresses do when code moves. The parse must keep copying
  // between the edits instead of giving whole stretches to literals.
  std::mt19937 rng(23);
  TBytes base = twxtest::RandomBytes(400000, 12);
  for (uint8_t& b : base) b &= 0x3F;  // some redundancy, as code has
  TBytes target = base;
  int edits = 0;
  for (size_t at = 16; at + 4 < target.size(); at += 20 + rng() % 60, ++edits) {
    uint32_t field;
    std::memcpy(&field, &target[at], 4);
    field += 0xE0;
    std::memcpy(&target[at], &field, 4);
  }
  TDeltaOptions options = DefaultDeltaOptions();
  options.level = 12;
  TDeltaStats stats;
  TBytes patch = EncodeDelta(base.data(), static_cast<int32_t>(base.size()), target.data(),
                             static_cast<int32_t>(target.size()), options, &stats);
  int32_t code = 0;
  ASSERT_TRUE(PatchRebuilds(base, patch, target, &code)) << "code " << code;
  EXPECT_GT(stats.copies, edits / 2);
  EXPECT_LT(patch.size(), static_cast<size_t>(edits) * 7) << edits << " edits";
}

TEST(DeltaEncoder, EveryLevelRebuildsTheTargetAlikeOnOneOrTwoThreads) {
  // Several segments: a mutated copy of the base, then bytes the base lacks
  // but which deflate well, so both the copies and the literal pricing count.
  std::mt19937 rng(31);
  TBytes base = twxtest::RandomBytes(150000, 4);
  for (uint8_t& b : base) b &= 0x1F;
  TBytes target = Mutate(base, &rng);
  TBytes fresh = twxtest::RandomBytes(90000, 5);
  for (uint8_t& b : fresh) b = static_cast<uint8_t>('a' + b % 6);
  target.insert(target.end(), fresh.begin(), fresh.end());
  struct Row { int level; size_t size; } rows[] = {{0, 0}, {1, 0}, {12, 0}, {13, 0}};
  for (Row& row : rows) {
    TDeltaOptions options = DefaultDeltaOptions();
    options.level = row.level;
    options.threads = 2;
    TBytes patch = EncodeDelta(base.data(), static_cast<int32_t>(base.size()), target.data(),
                               static_cast<int32_t>(target.size()), options, nullptr);
    int32_t code = 0;
    ASSERT_TRUE(PatchRebuilds(base, patch, target, &code)) << "level " << row.level << ", code " << code;
    options.threads = 1;
    EXPECT_TRUE(EncodeDelta(base.data(), static_cast<int32_t>(base.size()), target.data(),
                            static_cast<int32_t>(target.size()), options, nullptr) == patch)
        << "level " << row.level;
    row.size = patch.size();
  }
  // Each level buys something over the one below.
  EXPECT_LT(rows[1].size, rows[0].size);
  EXPECT_LT(rows[2].size, rows[1].size);
  EXPECT_LE(rows[3].size, rows[2].size);
}

TEST(DeltaEncoder, EdgeCasesOfEmptyAndEqualFiles) {
  TDeltaOptions options = DefaultDeltaOptions();
  options.level = 6;
  TBytes some = twxtest::RandomBytes(5000, 8);
  struct Pair { TBytes base, target; } pairs[] = {
      {TBytes(), TBytes()}, {some, TBytes()}, {TBytes(), some}, {some, some},
      {TBytes(1, 7), TBytes(1, 7)}, {some, TBytes(some.rbegin(), some.rend())}};
  for (const Pair& p : pairs) {
    TBytes patch = EncodeDelta(p.base.data(), static_cast<int32_t>(p.base.size()), p.target.data(),
                               static_cast<int32_t>(p.target.size()), options, nullptr);
    int32_t code = 0;
    EXPECT_TRUE(PatchRebuilds(p.base, patch, p.target, &code)) << p.base.size() << " -> " << p.target.size();
  }
  TBytes same = EncodeDelta(some.data(), 5000, some.data(), 5000, options, nullptr);
  EXPECT_LT(same.size(), 40u);  // one copy
}

TEST(PatchApply, OutputsBeyondBasePlusQuarterMegabyteTakeASecondPass) {
  TBytes base(1000, 'b');
  TBytes target = twxtest::RandomBytes(300000, 6);
  TDeltaOptions options = DefaultDeltaOptions();
  options.level = 1;
  TBytes patch = EncodeDelta(base.data(), 1000, target.data(), static_cast<int32_t>(target.size()), options, nullptr);
  TBytes out;
  EXPECT_EQ(ApplyPatchWithRetry(base, patch, &out), kPatchOk);
  EXPECT_TRUE(out == target);
  TBytes damaged = patch;
  damaged[damaged.size() / 2] ^= 1;
  EXPECT_NE(ApplyPatchWithRetry(base, damaged, &out), kPatchOk);
  EXPECT_TRUE(out.empty());
}

}  // namespace
