// Patch-stream decoding: result codes, block rules and the two variants.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "ApplyPth.h"
#include "PatchBytes.h"
#include "TestSupport.h"

namespace {

using namespace patchbytes;

typedef std::vector<std::pair<int32_t, int32_t>> TCalls;

struct Outcome {
  int32_t code;
  Bytes output;
  int32_t length;   // memory variant: the returned outputLength
  size_t consumed;  // callback variant: patch bytes handed to the decoder
  TCalls progress;
};

void RecordProgress(int32_t position, int32_t total, void* user) {
  static_cast<TCalls*>(user)->push_back({position, total});
}

int32_t Size(const Bytes& bytes) { return static_cast<int32_t>(bytes.size()); }

Outcome Memory(const Bytes& base, const Bytes& patch, int32_t capacity = 1 << 16) {
  Outcome r = {0, Bytes(static_cast<size_t>(capacity), 0xEE), capacity, 0, TCalls()};
  r.code = ApplyPatchToBuffer(base.data(), Size(base), r.output.data(), &r.length, patch.data(), Size(patch),
                              RecordProgress, &r.progress);
  r.output.resize(static_cast<size_t>(std::min(r.length, capacity)));
  return r;
}

// Callbacks that hand out at most `chunk` bytes per call, so that the
// decoder's read-until-complete loops are exercised.
struct StreamIo {
  const Bytes* base;
  size_t basePosition;
  const Bytes* patch;
  size_t patchPosition;
  size_t chunk;
  Bytes output;
};

size_t Deliver(const Bytes& from, size_t* position, size_t chunk, int32_t count, void* buffer) {
  const size_t left = *position < from.size() ? from.size() - *position : 0;
  const size_t n = std::min({static_cast<size_t>(count), left, chunk});
  if (n) std::memcpy(buffer, from.data() + *position, n);
  *position += n;
  return n;
}
void BaseRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  StreamIo* io = static_cast<StreamIo*>(user);
  *delivered = static_cast<int32_t>(Deliver(*io->base, &io->basePosition, io->chunk, count, buffer));
}
void BaseSeek(int32_t offset, void* user) { static_cast<StreamIo*>(user)->basePosition = static_cast<size_t>(offset); }
void PatchRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  StreamIo* io = static_cast<StreamIo*>(user);
  *delivered = static_cast<int32_t>(Deliver(*io->patch, &io->patchPosition, io->chunk, count, buffer));
}
void OutputWrite(const void* buffer, int32_t count, void* user) {
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  static_cast<StreamIo*>(user)->output.insert(static_cast<StreamIo*>(user)->output.end(), p, p + count);
}

Outcome Stream(const Bytes& base, const Bytes& patch, size_t chunk = 5, int32_t total = -1) {
  StreamIo io = {&base, 0, &patch, 0, chunk, Bytes()};
  Outcome r = {0, Bytes(), 0, 0, TCalls()};
  r.code = ApplyPatchStream(BaseRead, BaseSeek, &io, OutputWrite, &io, PatchRead, total < 0 ? Size(patch) : total,
                            &io, RecordProgress, &r.progress);
  r.output = io.output;
  r.length = Size(io.output);
  r.consumed = io.patchPosition;
  return r;
}

const Bytes kBase = FromText("0123456789abcdefghijklmnopqrstuvwxyz");

Bytes Part(const Bytes& bytes, size_t from, size_t to = std::string::npos) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(std::min(to, bytes.size())));
}

TEST(PatchStream, BothVariantsGiveTheSameCodeForEachRuleOfTheFormat) {
  const Bytes copy = Copy(1, 2, 2, 2), lit = Literal(FromText("abcd"), 2), none = EndFor(Bytes());
  const Bytes abcd = EndFor(FromText("abcd")), abc = FromText("abc");
  const Bytes content = Literal(FromText("xyz")) + EndFor(FromText("xyz")), packed = Zlib(content);
  const uint32_t n = static_cast<uint32_t>(content.size()), p = static_cast<uint32_t>(packed.size());
  const struct {
    const char* what;
    Bytes patch;
    int32_t code;
  } kRows[] = {
      {"empty stream", Bytes(), kPatchMalformed},
      {"end only", Stored(End(0xFFFFFFFFu)), kPatchOk},
      {"deflated end only", Deflated(End(0xFFFFFFFFu)), kPatchOk},
      {"zero-length literal with more in its block", Stored(Literal(Bytes(), 1) + none), kPatchOk},
      // Operands and literal runs never continue in the next block.
      {"block ends inside the offset", Stored(Part(copy, 0, 2)) + Stored(Part(copy, 2) + EndFor(FromText("12"))),
       kPatchMalformed},
      {"literal run crosses the block end", Stored(Part(lit, 0, 5)) + Stored(Part(lit, 5) + abcd), kPatchMalformed},
      {"literal length field ends the block", Stored(Part(lit, 0, 3)) + Stored(Part(lit, 3) + abcd), kPatchMalformed},
      {"zero-length literal ends the block", Stored(Literal(Bytes(), 1)) + Stored(none), kPatchMalformed},
      {"check value split between blocks", Stored(Part(none, 0, 3)) + Stored(Part(none, 3)), kPatchMalformed},
      {"empty stored block", Stored(Bytes()) + Stored(none), kPatchMalformed},
      {"empty deflated block", Deflated(Bytes()) + Stored(none), kPatchMalformed},
      {"wrong end check", Stored(Literal(abc) + End(Check(abc) ^ 0x100)), kPatchCheckMismatch},
      {"no end command", Stored(Literal(abc)), kPatchMalformed},
      {"copy offset 2^31", Stored(Copy(0x80000000u, 1) + none), kPatchBadCommand},
      {"copy length 2^31", Stored(Copy(0, 0x80000000u) + none), kPatchBadCommand},
      {"literal length 2^32-1", Stored(Bytes{vhz::LiteralOpcode(4)} + Le(0xFFFFFFFFu, 4) + abc + none),
       kPatchMalformed},
      // Damaged block headers and blocks.
      {"method 2", Header(2, n, n, Check(content)) + content, kPatchMalformed},
      {"negative content length", Header(0, 0xFFFFFFFFu, n, Check(content)) + content, kPatchMalformed},
      {"content length above the limit", Header(1, vhz::kMaxBlockContent + 1, p, Check(packed)) + packed,
       kPatchMalformed},
      {"negative stored length", Header(1, n, 0xFFFFFFFFu, Check(packed)) + packed, kPatchMalformed},
      {"stored length unequal to content", Header(0, n, n + 1, Check(content)) + content + Bytes{0},
       kPatchMalformed},
      {"stored block check", Header(0, n, n, Check(content) ^ 1) + content, kPatchMalformed},
      {"deflated block check", Header(1, n, p, Check(packed) + 1) + packed, kPatchMalformed},
      {"stored bytes cut short", Header(0, n, n, Check(content)) + Part(content, 0, n - 1), kPatchMalformed},
      {"header cut short", Part(Stored(content), 0, 12), kPatchMalformed},
      {"data that does not inflate", Header(1, n, 4, Check(FromText("nope"))) + FromText("nope"), kPatchMalformed},
      {"block that inflates short", Header(1, n + 1, p, Check(packed)) + packed, kPatchMalformed},
      {"block that inflates long", Header(1, n - 1, p, Check(packed)) + packed, kPatchMalformed},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(Memory(kBase, row.patch).code, row.code);
    EXPECT_EQ(Stream(kBase, row.patch).code, row.code);
    EXPECT_EQ(Stream(kBase, row.patch, 1 << 30).code, row.code);
  }
  for (int op = 0x01; op <= 0xFF; ++op) {
    if (op >= 0x10 && op <= 0x23) continue;
    const Bytes patch = Stored(Bytes{static_cast<uint8_t>(op)} + Bytes(16, 0x01) + none);
    EXPECT_EQ(Memory(kBase, patch).code, kPatchBadCommand) << "opcode " << op;
    EXPECT_EQ(Stream(kBase, patch).code, kPatchBadCommand) << "opcode " << op;
  }
}

TEST(PatchStream, BytesAfterTheEndCommandAreIgnoredAndNoFurtherBlockIsRead) {
  const Bytes first = Stored(Literal(FromText("ok")) + EndFor(FromText("ok")) + FromText("\x05junk"));
  const Bytes patch = first + Header(9, 1, 1, 0) + FromText("!");
  const Outcome m = Memory(kBase, patch);
  EXPECT_EQ(m.code, kPatchOk);
  EXPECT_EQ(m.output, FromText("ok"));
  const Outcome s = Stream(kBase, patch, 3);
  EXPECT_EQ(s.code, kPatchOk);
  EXPECT_EQ(s.consumed, first.size());
}

TEST(PatchStream, BlockSizeLimits) {
  // A literal that fills a block of the largest content length exactly.
  const Bytes bytes = twxtest::RandomBytes(vhz::kMaxBlockContent - 5 - 5, 21);
  const Bytes full = Literal(bytes, 4) + EndFor(bytes);
  ASSERT_EQ(full.size(), static_cast<size_t>(vhz::kMaxBlockContent));
  const Outcome m = Memory(Bytes(), Deflated(full), vhz::kMaxBlockContent);
  EXPECT_EQ(m.code, kPatchOk);
  EXPECT_EQ(m.output, bytes);
  EXPECT_EQ(Stream(Bytes(), Stored(full), 1 << 30).code, kPatchOk);

  // The stored-length limit binds only streams read through callbacks: a zlib
  // stream with trailing padding that takes the stored bytes past it.
  const Bytes small = Literal(FromText("pad")) + EndFor(FromText("pad"));
  for (size_t padding : {size_t(vhz::kMaxStoredLength), vhz::kMaxStoredLength - Zlib(small).size()}) {
    const Bytes padded = Zlib(small) + Bytes(padding, 0);
    const Bytes patch = Header(1, Size(small), Size(padded), Check(padded)) + padded;
    EXPECT_EQ(Memory(Bytes(), patch).code, kPatchOk);
    EXPECT_EQ(Stream(Bytes(), patch, 1 << 30).code,
              padded.size() > static_cast<size_t>(vhz::kMaxStoredLength) ? kPatchMalformed : kPatchOk);
  }
}

TEST(MemoryVariant, CopyRangeMustLieInTheBaseWithoutWrappingAround) {
  const uint32_t size = static_cast<uint32_t>(kBase.size());
  EXPECT_EQ(Memory(kBase, Stored(Copy(size, 0) + EndFor(Bytes()))).code, kPatchOutsideBase);
  EXPECT_EQ(Memory(kBase, Stored(Copy(size - 2, 3) + EndFor(Bytes()))).code, kPatchOutsideBase);
  EXPECT_EQ(Memory(Bytes(), Stored(Copy(0, 0) + EndFor(Bytes()))).code, kPatchOutsideBase);
  EXPECT_EQ(Memory(kBase, Stored(Copy(5, 0x7FFFFFFFu) + EndFor(Bytes()))).code, kPatchOutsideBase);
  const Outcome tail = Memory(kBase, Stored(Copy(size - 3, 3) + EndFor(FromText("xyz"))));
  EXPECT_EQ(tail.code, kPatchOk);
  EXPECT_EQ(tail.output, FromText("xyz"));
}

TEST(MemoryVariant, TooSmallOutputReportsTheNeededLengthAndTheRetrySucceeds) {
  const Bytes want = FromText("0123456789literal bytesabcdef");
  const Bytes patch = Deflated(Copy(0, 10) + Literal(FromText("literal bytes"))) + Stored(Copy(10, 6, 1, 1) + EndFor(want));
  const int32_t needed = Size(want);
  const Outcome small = Memory(kBase, patch, needed - 1);
  EXPECT_EQ(small.code, kPatchOutputTooSmall);
  EXPECT_EQ(small.length, needed);
  // What did not fit was not written: the first two pieces fit, the last not.
  EXPECT_EQ(Part(small.output, 0, 23), Part(want, 0, 23));
  EXPECT_EQ(small.output[23], 0xEE);
  const Outcome retry = Memory(kBase, patch, small.length);
  EXPECT_EQ(retry.code, kPatchOk);
  EXPECT_EQ(retry.output, want);

  int32_t length = 0;  // no destination at all
  EXPECT_EQ(ApplyPatchToBuffer(kBase.data(), Size(kBase), nullptr, &length, patch.data(), Size(patch), nullptr, nullptr),
            kPatchOutputTooSmall);
  EXPECT_EQ(length, needed);
  // Later failures override "too small".
  EXPECT_EQ(Memory(kBase, Stored(Literal(want) + End(Check(want) ^ 1)), 2).code, kPatchCheckMismatch);
  EXPECT_EQ(Memory(kBase, Stored(Literal(want) + Bytes{0x30}), 2).code, kPatchBadCommand);
  EXPECT_EQ(Memory(kBase, Stored(Literal(want)), 2).code, kPatchMalformed);
}

TEST(MemoryVariant, OutputThatWouldReachTwoGigabytesIsRefused) {
  // 128 copies of a 16 MiB base make 2^31 bytes: the running length must
  // neither wrap nor be used to write anywhere.
  const Bytes base(16u << 20, 0x5A);
  const Bytes one = Copy(0, static_cast<uint32_t>(base.size()));
  Bytes commands;
  for (int i = 0; i < 128; ++i) commands = commands + one;
  const Bytes patch = Stored(commands + End(0));
  Bytes out(8, 0);
  int32_t length = 8;
  EXPECT_EQ(ApplyPatchToBuffer(base.data(), Size(base), out.data(), &length, patch.data(), Size(patch), nullptr, nullptr),
            kPatchBadCommand);
  EXPECT_EQ(length, 127 * Size(base));
  EXPECT_EQ(out, Bytes(8, 0));
}

TEST(CallbackVariant, CopiesAreReadFromTheBaseInPieces) {
  EXPECT_EQ(Stream(Bytes(), Stored(Copy(0, 0) + EndFor(Bytes()))).code, kPatchOk);
  EXPECT_EQ(Stream(Bytes(), Stored(Copy(0, 1) + EndFor(FromText("x")))).code, kPatchOutsideBase);
  EXPECT_EQ(Stream(kBase, Stored(Copy(30, 7) + EndFor(Bytes()))).code, kPatchOutsideBase);
  // A copy longer than the input buffer arrives whole, in base order.
  const Bytes big = twxtest::RandomBytes(3u << 20, 8);
  const Bytes want = Part(big, 7);
  const Outcome r = Stream(big, Stored(Copy(7, static_cast<uint32_t>(want.size())) + EndFor(want)), 1 << 30);
  EXPECT_EQ(r.code, kPatchOk);
  EXPECT_TRUE(r.output == want);
}

TEST(Progress, CalledAfterEveryCommandThatDidNotStop) {
  const Bytes block1 = Stored(Copy(0, 4, 1, 1));
  const Bytes patch = block1 + Stored(Literal(FromText("ab")) + EndFor(FromText("0123ab")));
  const int32_t p1 = Size(block1), p2 = Size(patch);
  EXPECT_EQ(Memory(kBase, patch).progress, (TCalls{{p1, p2}, {p2, p2}, {p2, p2}}));
  // The callback variant reports the total it was given.
  EXPECT_EQ(Stream(kBase, patch, 3, 777).progress, (TCalls{{p1, 777}, {p2, 777}, {p2, 777}}));
  // The stopping command gets no call; a failed end check still gets one.
  const Bytes stops = Stored(Literal(FromText("ab")) + Copy(99, 1, 1, 1) + EndFor(FromText("ab")));
  EXPECT_EQ(Memory(kBase, stops).progress.size(), 1u);
  EXPECT_EQ(Memory(kBase, Stored(End(1))).progress.size(), 1u);
}

TEST(Decoder, EachCallStartsWithNoBlockLoaded) {
  // The first call stops in the middle of a block; what is left of that block
  // must not leak into the next call.
  const Bytes stopsEarly = Stored(Literal(FromText("ab")) + Bytes{0x77} + Literal(FromText("leftover")) + EndFor(Bytes()));
  const Bytes good = Stored(Literal(FromText("fresh")) + EndFor(FromText("fresh")));
  for (int variant = 0; variant < 2; ++variant) {
    ASSERT_EQ(variant ? Stream(kBase, stopsEarly).code : Memory(kBase, stopsEarly).code, kPatchBadCommand);
    const Outcome next = variant ? Stream(kBase, good) : Memory(kBase, good);
    EXPECT_EQ(next.code, kPatchOk);
    EXPECT_EQ(next.output, FromText("fresh"));
  }
}

// A random valid stream against base, cut into stored and deflated blocks
// wherever cuts are allowed: before an opcode, an operand or an end check
// value, never inside a literal run or right after its length field.
Bytes RandomPatch(const Bytes& base, std::mt19937* rng, Bytes* produced) {
  std::vector<Bytes> atoms;
  produced->clear();
  const int commands = 1 + static_cast<int>((*rng)() % 40);
  for (int i = 0; i < commands; ++i) {
    if (!base.empty() && (*rng)() % 2) {
      const uint32_t offset = (*rng)() % base.size();
      const uint32_t length = (*rng)() % (base.size() - offset + 1);
      const int ow = std::max(vhz::OperandWidth(offset), 1 + static_cast<int>((*rng)() % 4));
      const int lw = std::max(vhz::OperandWidth(length), 1 + static_cast<int>((*rng)() % 4));
      const Bytes c = Copy(offset, length, ow, lw);
      atoms.push_back(Part(c, 0, 1));
      atoms.push_back(Part(c, 1, 1 + ow));
      atoms.push_back(Part(c, 1 + ow));
      produced->insert(produced->end(), base.begin() + offset, base.begin() + offset + length);
    } else {
      const Bytes bytes = twxtest::RandomBytes(1 + (*rng)() % 300, (*rng)());
      const int lw = vhz::OperandWidth(static_cast<uint32_t>(bytes.size())) + static_cast<int>((*rng)() % 2);
      const Bytes l = Literal(bytes, std::min(lw, 4));
      atoms.push_back(Part(l, 0, 1));
      atoms.push_back(Part(l, 1));
      *produced = *produced + bytes;
    }
  }
  const Bytes end = EndFor(*produced);
  atoms.push_back(Part(end, 0, 1));
  atoms.push_back(Part(end, 1));
  Bytes patch, block;
  for (size_t i = 0; i < atoms.size(); ++i) {
    block = block + atoms[i];
    if (i + 1 == atoms.size() || (*rng)() % 3 == 0) {
      patch = patch + (((*rng)() % 2) ? Deflated(block) : Stored(block));
      block.clear();
    }
  }
  return patch;
}

TEST(Decoder, BothVariantsRebuildRandomStreamsAndSurviveDamage) {
  std::mt19937 rng(2024);
  const Bytes base = twxtest::RandomBytes(5000, 77);
  for (int round = 0; round < 300; ++round) {
    const Bytes& b = round % 5 ? base : Bytes();
    Bytes produced;
    const Bytes patch = RandomPatch(b, &rng, &produced);
    const Outcome m = Memory(b, patch);
    ASSERT_EQ(m.code, kPatchOk) << "round " << round;
    ASSERT_EQ(m.output, produced);
    const Outcome s = Stream(b, patch, 1 + rng() % 64);
    ASSERT_EQ(s.code, kPatchOk) << "round " << round;
    ASSERT_EQ(s.output, produced);
    ASSERT_EQ(s.consumed, patch.size());

    // Any flipped byte is caught by a block check, the end check or a range
    // check; neither variant reports success with other bytes.
    Bytes damaged = patch;
    damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    for (const Outcome& d : {Memory(base, damaged), Stream(base, damaged)}) {
      EXPECT_TRUE(d.code != kPatchOk || d.output == produced);
      EXPECT_GE(d.code, -5);
    }
  }
}

TEST(DecodeEntryStream, SuccessOrThree) {
  // The short form of an empty file: four bytes, a short header.
  const EntryDecoding shortForm = DecodeEntry(Bytes(4, 0));
  EXPECT_EQ(shortForm.code, kEntryFailed);
  EXPECT_EQ(shortForm.consumed, 4u);
  const Bytes contents = twxtest::RandomBytes(100000, 12);
  const Bytes data = Deflated(Literal(contents, 4) + EndFor(contents));
  const EntryDecoding good = DecodeEntry(data);
  EXPECT_EQ(good.code, kEntryDecoded);
  EXPECT_EQ(good.output, contents);
  EXPECT_EQ(good.consumed, data.size());
  // Against the empty base a copy of nothing is harmless; anything else fails.
  EXPECT_EQ(DecodeEntry(Stored(Copy(0, 0) + EndFor(Bytes()))).code, kEntryDecoded);
  EXPECT_EQ(DecodeEntry(Stored(Copy(0, 1) + EndFor(Bytes()))).code, kEntryFailed);
  EXPECT_EQ(DecodeEntry(Stored(Literal(contents, 4) + End(0))).code, kEntryFailed);
}

}  // namespace
