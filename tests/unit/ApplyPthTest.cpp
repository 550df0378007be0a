// Patch-stream decoding: result codes, block rules and the two variants.
#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "ApplyPth.h"
#include "PatchBytes.h"
#include "TestSupport.h"

namespace {

using namespace patchbytes;

struct Outcome {
  int32_t code;
  Bytes output;
  int32_t length;  // memory variant: the returned outputLength
  size_t consumed; // callback variant: patch bytes handed to the decoder
};

const int32_t kRoomy = 1 << 16;

Outcome Memory(const Bytes& base, const Bytes& patch, int32_t capacity = kRoomy) {
  Outcome r;
  Bytes out(static_cast<size_t>(capacity), 0xEE);
  int32_t length = capacity;
  r.code = ApplyPatchToBuffer(base.data(), static_cast<int32_t>(base.size()), out.data(), &length,
                              patch.data(), static_cast<int32_t>(patch.size()), nullptr, nullptr);
  out.resize(static_cast<size_t>(std::min(length, capacity)));
  r.output = out;
  r.length = length;
  r.consumed = 0;
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

void BaseRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  StreamIo* io = static_cast<StreamIo*>(user);
  size_t left = io->basePosition < io->base->size() ? io->base->size() - io->basePosition : 0;
  size_t n = std::min({static_cast<size_t>(count), left, io->chunk});
  if (n) std::memcpy(buffer, io->base->data() + io->basePosition, n);
  io->basePosition += n;
  *delivered = static_cast<int32_t>(n);
}
void BaseSeek(int32_t offset, void* user) { static_cast<StreamIo*>(user)->basePosition = static_cast<size_t>(offset); }
void PatchRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  StreamIo* io = static_cast<StreamIo*>(user);
  size_t n = std::min({static_cast<size_t>(count), io->patch->size() - io->patchPosition, io->chunk});
  if (n) std::memcpy(buffer, io->patch->data() + io->patchPosition, n);
  io->patchPosition += n;
  *delivered = static_cast<int32_t>(n);
}
void OutputWrite(const void* buffer, int32_t count, void* user) {
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  static_cast<StreamIo*>(user)->output.insert(static_cast<StreamIo*>(user)->output.end(), p, p + count);
}

Outcome Stream(const Bytes& base, const Bytes& patch, size_t chunk = 5) {
  StreamIo io = {&base, 0, &patch, 0, chunk, Bytes()};
  Outcome r;
  r.code = ApplyPatchStream(BaseRead, BaseSeek, &io, OutputWrite, &io, PatchRead,
                            static_cast<int32_t>(patch.size()), &io, nullptr, nullptr);
  r.output = io.output;
  r.length = static_cast<int32_t>(io.output.size());
  r.consumed = io.patchPosition;
  return r;
}

// Both variants must give `code` for this stream.
void ExpectBoth(const Bytes& base, const Bytes& patch, int32_t code, const char* what) {
  EXPECT_EQ(Memory(base, patch).code, code) << what << " (memory)";
  EXPECT_EQ(Stream(base, patch).code, code) << what << " (callbacks)";
  EXPECT_EQ(Stream(base, patch, 1 << 30).code, code) << what << " (callbacks, whole reads)";
}

const Bytes kBase = FromText("0123456789abcdefghijklmnopqrstuvwxyz");

TEST(PatchStream, EmptyStreamAndEndOnlyBlock) {
  ExpectBoth(kBase, Bytes(), kPatchMalformed, "empty stream");
  Bytes endOnly = Stored(End(0xFFFFFFFFu));
  ExpectBoth(kBase, endOnly, kPatchOk, "end only");
  EXPECT_EQ(Memory(kBase, endOnly).length, 0);
  ExpectBoth(kBase, Deflated(End(0xFFFFFFFFu)), kPatchOk, "deflated end only");
}

TEST(PatchStream, CommandsMayContinueInTheNextBlockAtOperandBoundaries) {
  Bytes want = FromText("3456Hello, Trawlix!xyz");
  Bytes copy1 = Copy(3, 4, 1, 2);
  Bytes lit = Literal(FromText("Hello, Trawlix!"), 3);
  Bytes copy2 = Copy(33, 3, 4, 1);
  Bytes end = EndFor(want);
  // Cuts after the copy opcode, between offset and length, between commands,
  // and between the end opcode and its check value; stored and deflated mixed.
  Bytes patch = Stored(Bytes(copy1.begin(), copy1.begin() + 1)) +
                Deflated(Bytes(copy1.begin() + 1, copy1.begin() + 2)) +
                Stored(Bytes(copy1.begin() + 2, copy1.end())) + Deflated(lit + Bytes{copy2[0]}) +
                Stored(Bytes(copy2.begin() + 1, copy2.end()) + Bytes{end[0]}) +
                Stored(Bytes(end.begin() + 1, end.end()));
  for (size_t chunk : {size_t(1), size_t(5), size_t(1) << 30}) {
    Outcome s = Stream(kBase, patch, chunk);
    EXPECT_EQ(s.code, kPatchOk);
    EXPECT_EQ(s.output, want);
  }
  Outcome m = Memory(kBase, patch);
  EXPECT_EQ(m.code, kPatchOk);
  EXPECT_EQ(m.output, want);
  EXPECT_EQ(m.length, static_cast<int32_t>(want.size()));
}

TEST(PatchStream, ReadsThatCrossABlockEndAreMalformed) {
  Bytes copy = Copy(1, 2, 2, 2);
  Bytes produced = FromText("12");
  ExpectBoth(kBase, Stored(Bytes(copy.begin(), copy.begin() + 2)) + Stored(Bytes(copy.begin() + 2, copy.end()) + EndFor(produced)),
             kPatchMalformed, "block ends inside the offset");
  Bytes lit = Literal(FromText("abcd"), 2);
  ExpectBoth(kBase, Stored(Bytes(lit.begin(), lit.begin() + 5)) + Stored(Bytes(lit.begin() + 5, lit.end()) + EndFor(FromText("abcd"))),
             kPatchMalformed, "literal run crosses the block end");
  ExpectBoth(kBase, Stored(Bytes(lit.begin(), lit.begin() + 3)) + Stored(Bytes(lit.begin() + 3, lit.end()) + EndFor(FromText("abcd"))),
             kPatchMalformed, "literal length field ends the block");
  ExpectBoth(kBase, Stored(Literal(Bytes(), 1)) + Stored(EndFor(Bytes())), kPatchMalformed,
             "zero-length literal whose length field ends the block");
  Bytes end = EndFor(Bytes());
  ExpectBoth(kBase, Stored(Bytes(end.begin(), end.begin() + 3)) + Stored(Bytes(end.begin() + 3, end.end())),
             kPatchMalformed, "check value split between blocks");
  // A zero-length literal is fine when something follows it in its block.
  ExpectBoth(kBase, Stored(Literal(Bytes(), 1) + EndFor(Bytes())), kPatchOk, "zero-length literal");
}

TEST(PatchStream, ZeroLengthBlocksDeliverNothing) {
  ExpectBoth(kBase, Stored(Bytes()) + Stored(EndFor(Bytes())), kPatchMalformed, "empty stored block");
  ExpectBoth(kBase, Deflated(Bytes()) + Stored(EndFor(Bytes())), kPatchMalformed, "empty deflated block");
}

TEST(PatchStream, BytesAfterTheEndCommandAreIgnoredAndNoFurtherBlockIsRead) {
  Bytes first = Stored(Literal(FromText("ok")) + EndFor(FromText("ok")) + FromText("\x05junk"));
  Bytes patch = first + Header(9, 1, 1, 0) + FromText("!");
  Outcome m = Memory(kBase, patch);
  EXPECT_EQ(m.code, kPatchOk);
  EXPECT_EQ(m.output, FromText("ok"));
  Outcome s = Stream(kBase, patch, 3);
  EXPECT_EQ(s.code, kPatchOk);
  EXPECT_EQ(s.consumed, first.size());
}

TEST(PatchStream, WrongEndCheckValueFailsEvenWhenEveryBlockCheckPasses) {
  Bytes want = FromText("abc");
  ExpectBoth(kBase, Stored(Literal(want) + End(Check(want) ^ 0x100)), kPatchCheckMismatch, "wrong end check");
  ExpectBoth(kBase, Stored(Literal(want)), kPatchMalformed, "no end command");
}

TEST(PatchStream, OpcodesOutsideTheTableAreRejected) {
  Bytes filler(16, 0x01);
  for (int op = 0x01; op <= 0xFF; ++op) {
    if ((op >= 0x10 && op <= 0x23)) continue;
    Bytes patch = Stored(Bytes{static_cast<uint8_t>(op)} + filler + EndFor(Bytes()));
    EXPECT_EQ(Memory(kBase, patch).code, kPatchBadCommand) << "opcode " << op;
    EXPECT_EQ(Stream(kBase, patch).code, kPatchBadCommand) << "opcode " << op;
  }
}

TEST(PatchStream, OperandsOfTwoToTheThirtyOneOrMore) {
  ExpectBoth(kBase, Stored(Copy(0x80000000u, 1) + EndFor(Bytes())), kPatchBadCommand, "copy offset 2^31");
  ExpectBoth(kBase, Stored(Copy(0, 0x80000000u) + EndFor(Bytes())), kPatchBadCommand, "copy length 2^31");
  // A literal length of 2^31 or more cannot lie in its block.
  ExpectBoth(kBase, Stored(Bytes{vhz::LiteralOpcode(4)} + Le(0xFFFFFFFFu, 4) + FromText("abc") + EndFor(Bytes())),
             kPatchMalformed, "literal length 2^32-1");
}

TEST(PatchStream, DamagedBlockHeadersAndBlocks) {
  Bytes content = Literal(FromText("xyz")) + EndFor(FromText("xyz"));
  uint32_t n = static_cast<uint32_t>(content.size());
  Bytes packed = Zlib(content);
  uint32_t p = static_cast<uint32_t>(packed.size());
  Bytes whole = Stored(content);
  struct Case { const char* what; Bytes patch; } cases[] = {
      {"method 2", Header(2, n, n, Check(content)) + content},
      {"negative content length", Header(0, 0xFFFFFFFFu, n, Check(content)) + content},
      {"content length above the limit", Header(1, vhz::kMaxBlockContent + 1, p, Check(packed)) + packed},
      {"negative stored length", Header(1, n, 0xFFFFFFFFu, Check(packed)) + packed},
      {"stored block with stored length unequal to content", Header(0, n, n + 1, Check(content)) + content + Bytes{0}},
      {"stored block check mismatch", Header(0, n, n, Check(content) ^ 1) + content},
      {"deflated block check mismatch", Header(1, n, p, Check(packed) + 1) + packed},
      {"stored bytes cut short", Header(0, n, n, Check(content)) + Bytes(content.begin(), content.end() - 1)},
      {"header cut short", Bytes(whole.begin(), whole.begin() + 12)},
      {"deflated data that does not inflate", Header(1, n, 4, Check(FromText("nope"))) + FromText("nope")},
      {"deflated block that inflates short", Header(1, n + 1, p, Check(packed)) + packed},
      {"deflated block that inflates long", Header(1, n - 1, p, Check(packed)) + packed},
  };
  for (const Case& c : cases) ExpectBoth(kBase, c.patch, kPatchMalformed, c.what);
}

TEST(PatchStream, BlockSizeLimits) {
  // A literal that fills a block of the largest content length exactly.
  Bytes bytes = twxtest::RandomBytes(vhz::kMaxBlockContent - 5 - 5, 21);
  Bytes full = Literal(bytes, 4) + EndFor(bytes);
  ASSERT_EQ(full.size(), static_cast<size_t>(vhz::kMaxBlockContent));
  Outcome m = Memory(Bytes(), Deflated(full), vhz::kMaxBlockContent);
  EXPECT_EQ(m.code, kPatchOk);
  EXPECT_EQ(m.output, bytes);
  EXPECT_EQ(Stream(Bytes(), Stored(full), 1 << 30).code, kPatchOk);

  // The stored-length limit binds only streams read through callbacks: a zlib
  // stream with trailing padding that takes the stored bytes past it.
  Bytes small = Literal(FromText("pad")) + EndFor(FromText("pad"));
  Bytes padded = Zlib(small) + Bytes(vhz::kMaxStoredLength, 0);
  Bytes patch = Header(1, static_cast<uint32_t>(small.size()), static_cast<uint32_t>(padded.size()), Check(padded)) + padded;
  EXPECT_EQ(Memory(Bytes(), patch).code, kPatchOk);
  EXPECT_EQ(Stream(Bytes(), patch, 1 << 30).code, kPatchMalformed);
  padded.resize(vhz::kMaxStoredLength);
  patch = Header(1, static_cast<uint32_t>(small.size()), static_cast<uint32_t>(padded.size()), Check(padded)) + padded;
  EXPECT_EQ(Stream(Bytes(), patch, 1 << 30).code, kPatchOk);
}

TEST(MemoryVariant, CopyRangeMustLieInTheBase) {
  uint32_t size = static_cast<uint32_t>(kBase.size());
  EXPECT_EQ(Memory(kBase, Stored(Copy(size, 0) + EndFor(Bytes()))).code, kPatchOutsideBase);
  EXPECT_EQ(Memory(kBase, Stored(Copy(size - 2, 3) + EndFor(Bytes()))).code, kPatchOutsideBase);
  EXPECT_EQ(Memory(Bytes(), Stored(Copy(0, 0) + EndFor(Bytes()))).code, kPatchOutsideBase);
  // Offset and length near 2^31 must not wrap around into the base.
  EXPECT_EQ(Memory(kBase, Stored(Copy(5, 0x7FFFFFFFu) + EndFor(Bytes()))).code, kPatchOutsideBase);
  Outcome tail = Memory(kBase, Stored(Copy(size - 3, 3) + EndFor(FromText("xyz"))));
  EXPECT_EQ(tail.code, kPatchOk);
  EXPECT_EQ(tail.output, FromText("xyz"));
}

TEST(MemoryVariant, TooSmallOutputReportsTheNeededLengthAndTheRetrySucceeds) {
  Bytes want = FromText("0123456789") + FromText("literal bytes") + FromText("abcdef");
  Bytes patch = Deflated(Copy(0, 10) + Literal(FromText("literal bytes"))) +
                Stored(Copy(10, 6, 1, 1) + EndFor(want));
  const int32_t needed = static_cast<int32_t>(want.size());

  Outcome small = Memory(kBase, patch, needed - 1);
  EXPECT_EQ(small.code, kPatchOutputTooSmall);
  EXPECT_EQ(small.length, needed);
  // What did not fit was not written: the first two pieces fit, the last not.
  EXPECT_EQ(Bytes(small.output.begin(), small.output.begin() + 23), Bytes(want.begin(), want.begin() + 23));
  EXPECT_EQ(small.output[23], 0xEE);

  Outcome retry = Memory(kBase, patch, small.length);
  EXPECT_EQ(retry.code, kPatchOk);
  EXPECT_EQ(retry.output, want);

  int32_t length = 0;
  EXPECT_EQ(ApplyPatchToBuffer(kBase.data(), static_cast<int32_t>(kBase.size()), nullptr, &length,
                               patch.data(), static_cast<int32_t>(patch.size()), nullptr, nullptr),
            kPatchOutputTooSmall);
  EXPECT_EQ(length, needed);
}

TEST(MemoryVariant, LaterFailuresOverrideTooSmall) {
  Bytes want = FromText("abcdef");
  EXPECT_EQ(Memory(kBase, Stored(Literal(want) + End(Check(want) ^ 1)), 2).code, kPatchCheckMismatch);
  EXPECT_EQ(Memory(kBase, Stored(Literal(want) + Bytes{0x30}), 2).code, kPatchBadCommand);
  EXPECT_EQ(Memory(kBase, Stored(Literal(want)), 2).code, kPatchMalformed);
}

TEST(MemoryVariant, OutputThatWouldReachTwoGigabytesIsRefused) {
  // 128 copies of a 16 MiB base make 2^31 bytes: the running length must
  // neither wrap nor be used to write anywhere.
  Bytes base(16u << 20, 0x5A);
  const Bytes one = Copy(0, static_cast<uint32_t>(base.size()));
  Bytes commands;
  for (int i = 0; i < 128; ++i) commands.insert(commands.end(), one.begin(), one.end());
  Bytes patch = Stored(commands + End(0));
  Bytes out(8, 0);
  int32_t length = 8;
  int32_t code = ApplyPatchToBuffer(base.data(), static_cast<int32_t>(base.size()), out.data(), &length,
                                    patch.data(), static_cast<int32_t>(patch.size()), nullptr, nullptr);
  EXPECT_EQ(code, kPatchBadCommand);
  EXPECT_EQ(length, 127 * static_cast<int32_t>(base.size()));
  EXPECT_EQ(out, Bytes(8, 0));
}

TEST(CallbackVariant, CopiesAreReadFromTheBaseInPieces) {
  EXPECT_EQ(Stream(Bytes(), Stored(Copy(0, 0) + EndFor(Bytes()))).code, kPatchOk);
  EXPECT_EQ(Stream(Bytes(), Stored(Copy(0, 1) + EndFor(FromText("x")))).code, kPatchOutsideBase);
  EXPECT_EQ(Stream(kBase, Stored(Copy(30, 7) + EndFor(Bytes()))).code, kPatchOutsideBase);
  // A copy longer than the input buffer arrives whole, in base order.
  Bytes big = twxtest::RandomBytes(3u << 20, 8);
  Bytes want(big.begin() + 7, big.end());
  Outcome r = Stream(big, Stored(Copy(7, static_cast<uint32_t>(want.size())) + EndFor(want)), 1 << 30);
  EXPECT_EQ(r.code, kPatchOk);
  EXPECT_TRUE(r.output == want);
}

struct ProgressLog {
  std::vector<std::pair<int32_t, int32_t>> calls;
};
void RecordProgress(int32_t position, int32_t total, void* user) {
  static_cast<ProgressLog*>(user)->calls.push_back({position, total});
}

TEST(Progress, CalledAfterEveryCommandThatDidNotStop) {
  Bytes want = FromText("0123ab");
  Bytes block1 = Stored(Copy(0, 4, 1, 1));
  Bytes block2 = Stored(Literal(FromText("ab")) + EndFor(want));
  Bytes patch = block1 + block2;
  int32_t p1 = static_cast<int32_t>(block1.size());
  int32_t p2 = static_cast<int32_t>(patch.size());
  std::vector<std::pair<int32_t, int32_t>> expected = {{p1, p2}, {p2, p2}, {p2, p2}};

  ProgressLog log;
  Bytes out(64);
  int32_t length = 64;
  ASSERT_EQ(ApplyPatchToBuffer(kBase.data(), static_cast<int32_t>(kBase.size()), out.data(), &length,
                               patch.data(), p2, RecordProgress, &log),
            kPatchOk);
  EXPECT_EQ(log.calls, expected);

  StreamIo io = {&kBase, 0, &patch, 0, 3, Bytes()};
  ProgressLog streamLog;
  ASSERT_EQ(ApplyPatchStream(BaseRead, BaseSeek, &io, OutputWrite, &io, PatchRead, 777, &io,
                             RecordProgress, &streamLog),
            kPatchOk);
  expected = {{p1, 777}, {p2, 777}, {p2, 777}};
  EXPECT_EQ(streamLog.calls, expected);

  // The stopping command gets no call; a failed end check still gets one.
  log.calls.clear();
  Bytes stops = Stored(Literal(FromText("ab")) + Copy(99, 1, 1, 1) + EndFor(FromText("ab")));
  length = 64;
  EXPECT_EQ(ApplyPatchToBuffer(kBase.data(), static_cast<int32_t>(kBase.size()), out.data(), &length,
                               stops.data(), static_cast<int32_t>(stops.size()), RecordProgress, &log),
            kPatchOutsideBase);
  EXPECT_EQ(log.calls.size(), 1u);
  log.calls.clear();
  Bytes wrongEnd = Stored(End(1));
  length = 64;
  EXPECT_EQ(ApplyPatchToBuffer(kBase.data(), static_cast<int32_t>(kBase.size()), out.data(), &length,
                               wrongEnd.data(), static_cast<int32_t>(wrongEnd.size()), RecordProgress, &log),
            kPatchCheckMismatch);
  EXPECT_EQ(log.calls.size(), 1u);
}

TEST(Decoder, EachCallStartsWithNoBlockLoaded) {
  // The first call stops in the middle of a block; what is left of that block
  // must not leak into the next call.
  Bytes stopsEarly = Stored(Literal(FromText("ab")) + Bytes{0x77} + Literal(FromText("leftover")) + EndFor(Bytes()));
  Bytes good = Stored(Literal(FromText("fresh")) + EndFor(FromText("fresh")));
  for (int variant = 0; variant < 2; ++variant) {
    ASSERT_EQ(variant ? Stream(kBase, stopsEarly).code : Memory(kBase, stopsEarly).code, kPatchBadCommand);
    Outcome next = variant ? Stream(kBase, good) : Memory(kBase, good);
    EXPECT_EQ(next.code, kPatchOk);
    EXPECT_EQ(next.output, FromText("fresh"));
  }
}

// A random valid stream against base, cut into blocks only where cuts are
// allowed (before an opcode, an operand or an end check value, never inside a
// literal run or right after its length field).
Bytes RandomPatch(const Bytes& base, std::mt19937* rng, Bytes* produced) {
  std::vector<Bytes> atoms;
  produced->clear();
  int commands = 1 + static_cast<int>((*rng)() % 40);
  for (int i = 0; i < commands; ++i) {
    if (!base.empty() && (*rng)() % 2) {
      uint32_t offset = (*rng)() % base.size();
      uint32_t length = (*rng)() % (base.size() - offset + 1);
      int ow = std::max(1, static_cast<int>((*rng)() % 4) + 1);
      int lw = 1 + static_cast<int>((*rng)() % 4);
      if (ow < vhz::OperandWidth(offset)) ow = vhz::OperandWidth(offset);
      if (lw < vhz::OperandWidth(length)) lw = vhz::OperandWidth(length);
      Bytes c = Copy(offset, length, ow, lw);
      atoms.push_back(Bytes(c.begin(), c.begin() + 1));
      atoms.push_back(Bytes(c.begin() + 1, c.begin() + 1 + ow));
      atoms.push_back(Bytes(c.begin() + 1 + ow, c.end()));
      produced->insert(produced->end(), base.begin() + offset, base.begin() + offset + length);
    } else {
      Bytes bytes = twxtest::RandomBytes(1 + (*rng)() % 300, (*rng)());
      int lw = vhz::OperandWidth(static_cast<uint32_t>(bytes.size())) + static_cast<int>((*rng)() % 2);
      Bytes l = Literal(bytes, std::min(lw, 4));
      atoms.push_back(Bytes(l.begin(), l.begin() + 1));
      atoms.push_back(Bytes(l.begin() + 1, l.end()));
      produced->insert(produced->end(), bytes.begin(), bytes.end());
    }
  }
  Bytes end = EndFor(*produced);
  atoms.push_back(Bytes(end.begin(), end.begin() + 1));
  atoms.push_back(Bytes(end.begin() + 1, end.end()));
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
  Bytes base = twxtest::RandomBytes(5000, 77);
  for (int round = 0; round < 300; ++round) {
    Bytes produced;
    Bytes patch = RandomPatch(round % 5 ? base : Bytes(), &rng, &produced);
    Outcome m = Memory(round % 5 ? base : Bytes(), patch);
    ASSERT_EQ(m.code, kPatchOk) << "round " << round;
    ASSERT_EQ(m.output, produced);
    Outcome s = Stream(round % 5 ? base : Bytes(), patch, 1 + rng() % 64);
    ASSERT_EQ(s.code, kPatchOk) << "round " << round;
    ASSERT_EQ(s.output, produced);
    ASSERT_EQ(s.consumed, patch.size());

    // Any flipped byte is caught by a block check, the end check or a range
    // check; neither variant reports success with other bytes.
    Bytes damaged = patch;
    damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    Outcome dm = Memory(base, damaged);
    Outcome ds = Stream(base, damaged);
    EXPECT_TRUE(dm.code != kPatchOk || dm.output == produced);
    EXPECT_TRUE(ds.code != kPatchOk || ds.output == produced);
    EXPECT_GE(dm.code, -5);
    EXPECT_GE(ds.code, -5);
  }
}

TEST(DecodeEntryStream, SuccessOrThree) {
  // The short form of an empty file: four bytes, a short header.
  EntryDecoding shortForm = DecodeEntry(Bytes(4, 0));
  EXPECT_EQ(shortForm.code, kEntryFailed);
  EXPECT_EQ(shortForm.consumed, 4u);

  Bytes contents = twxtest::RandomBytes(100000, 12);
  Bytes data = Deflated(Literal(contents, 4) + EndFor(contents));
  EntryDecoding good = DecodeEntry(data);
  EXPECT_EQ(good.code, kEntryDecoded);
  EXPECT_EQ(good.output, contents);
  EXPECT_EQ(good.consumed, data.size());

  // Against the empty base a copy of nothing is harmless; anything else fails.
  EXPECT_EQ(DecodeEntry(Stored(Copy(0, 0) + EndFor(Bytes()))).code, kEntryDecoded);
  EXPECT_EQ(DecodeEntry(Stored(Copy(0, 1) + EndFor(Bytes()))).code, kEntryFailed);
  EXPECT_EQ(DecodeEntry(Stored(Literal(contents, 4) + End(0))).code, kEntryFailed);
}

}  // namespace
