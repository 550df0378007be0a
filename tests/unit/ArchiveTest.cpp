// The check value, the keystream and the patch-stream decoders: result codes,
// block and command rules, output bounds, and the memory and callback variants.
#include <gtest/gtest.h>

#include "PatchBytes.h"
#include "TestSupport.h"

namespace {

using namespace patchbytes;

Bytes Scrambled(const std::string& passPhrase, Bytes plain, size_t piece) {
  TKeystream keystream = InitKeystream(passPhrase);
  for (size_t at = 0; at < plain.size(); at += piece)
    ApplyKeystream(&keystream, plain.data() + at, static_cast<int32_t>(std::min(piece, plain.size() - at)));
  return plain;
}

TEST(CheckValueAndKeystream, HandWorkedValuesAnyPiecesAndTwiceRestores) {
  EXPECT_EQ(UpdateCrc32("abc", 3, vhz::kCheckStart), 0xCADBBE3Du);
  EXPECT_EQ(UpdateCrc32("3456789", 7, UpdateCrc32("12", 2, vhz::kCheckStart)), ~0xCBF43926u);
  EXPECT_EQ(UpdateCrc32("abc", -1, 0x12345678u), 0x12345678u);
  // Worked out by hand from the seed and step rules: "abcde" seeds 0x6362C664.
  EXPECT_EQ(Scrambled("", Bytes(6), 6), (Bytes{0x00, 0x08, 0xDC, 0x33, 0x45, 0xAB}));
  EXPECT_EQ(Scrambled("abcde", Bytes(6), 6), (Bytes{0x32, 0x41, 0xFB, 0xE7, 0x75, 0x29}));
  EXPECT_NE(Scrambled("\xE9", Bytes(4), 4), Scrambled("\x69", Bytes(4), 4)) << "bytes above 127 are unsigned";
  const Bytes plain = twxtest::RandomBytes(100000, 5), whole = Scrambled("pass", plain, plain.size());
  for (size_t piece : {size_t(1), size_t(4095)}) EXPECT_EQ(Scrambled("pass", plain, piece), whole) << piece;
  EXPECT_EQ(Scrambled("pass", whole, whole.size()), plain);
}

struct Outcome {
  int32_t code;
  Bytes output;
  int32_t length;   // memory variant: the returned outputLength
  size_t consumed;  // callback variant: patch bytes handed to the decoder
};
int32_t Size(const Bytes& bytes) { return static_cast<int32_t>(bytes.size()); }

Outcome Memory(const Bytes& base, const Bytes& patch, int32_t capacity = 1 << 16) {
  Outcome r = {0, Bytes(static_cast<size_t>(capacity), 0xEE), capacity, 0};
  r.code = ApplyPatchToBuffer(base.data(), Size(base), r.output.data(), &r.length, patch.data(), Size(patch),
                              nullptr, nullptr);
  r.output.resize(static_cast<size_t>(std::min(r.length, capacity)));
  return r;
}

Outcome Stream(const Bytes& base, const Bytes& patch, size_t chunk = 5) {
  Outcome r = {0, Bytes(), 0, 0};
  TStreamIo io = {{base, patch}, {0, 0}, chunk, &r.output};
  r.code = ApplyPatchStream(BaseRead, BaseSeek, &io, OutputWrite, &io, PatchRead, Size(patch), &io, nullptr, nullptr);
  r.length = Size(r.output);
  r.consumed = io.at[1];
  return r;
}

const Bytes kBase = FromText("0123456789abcdefghijklmnopqrstuvwxyz");

Bytes Padded(const Bytes& packed) { return packed + Bytes(vhz::kMaxStoredLength + 1 - packed.size(), 0); }

TEST(PatchStream, EachRuleOfTheFormatGivesItsCodeInBothVariants) {
  const Bytes copy = Copy(1, 2, 2, 2), lit = Literal(FromText("abcd")), none = EndFor(Bytes()), abc = FromText("abc");
  const Bytes ends12 = EndFor(FromText("12")), endsAbcd = EndFor(FromText("abcd"));
  const Bytes ended = Stored(Literal(FromText("ok")) + EndFor(FromText("ok")) + FromText("\x05junk"));
  const Bytes content = Literal(abc) + EndFor(abc), packed = Part(Deflated(content), vhz::kBlockHeaderSize);
  const uint32_t n = static_cast<uint32_t>(content.size()), p = static_cast<uint32_t>(packed.size()), end = 36;
  const int32_t ok = kPatchOk, bad = kPatchMalformed, cmd = kPatchBadCommand, out = kPatchOutsideBase;
  const struct {
    const char* what;
    Bytes patch;
    int32_t memory, stream;  // the variants differ only in the copies of nothing they allow
  } kRows[] = {
      {"empty stream", Bytes(), bad, bad},
      {"deflated end only", Deflated(End(0xFFFFFFFFu)), ok, ok},
      {"zero-length literal with more in its block", Stored(Literal(Bytes(), 1) + none), ok, ok},
      // Blocks end before an opcode, an operand or a check value, never inside one or inside a literal run.
      {"block ends after the opcode", Stored(Part(copy, 0, 1)) + Deflated(Part(copy, 1) + ends12), ok, ok},
      {"block ends between operands", Stored(Part(copy, 0, 3)) + Stored(Part(copy, 3) + ends12), ok, ok},
      {"block ends before the check value", Stored(copy + Bytes{0}) + Stored(Part(ends12, 1)), ok, ok},
      {"block ends inside the offset", Stored(Part(copy, 0, 2)) + Stored(Part(copy, 2) + ends12), bad, bad},
      {"literal run crosses the block end", Stored(Part(lit, 0, 5)) + Stored(Part(lit, 5) + endsAbcd), bad, bad},
      {"literal length ends the block", Stored(Part(lit, 0, 3)) + Stored(Part(lit, 3) + endsAbcd), bad, bad},
      {"zero-length literal ends the block", Stored(Literal(Bytes(), 1)) + Stored(none), bad, bad},
      {"check value split between blocks", Stored(Part(none, 0, 3)) + Stored(Part(none, 3)), bad, bad},
      {"empty stored block", Stored(Bytes()) + Stored(none), bad, bad},
      {"wrong end check", Stored(Literal(abc) + End(Check(abc) ^ 0x100)), kPatchCheckMismatch, kPatchCheckMismatch},
      {"no end command", Stored(Literal(abc)), bad, bad},
      {"junk after the end command, then a bad block", ended + Header(9, 1, 1, 0) + FromText("!"), ok, ok},
      // A call that stops inside a block must not leave the rest of it to the next call.
      {"bad command before more in its block", Stored(Bytes{0x77} + Literal(FromText("leftover")) + none), cmd, cmd},
      {"the call after it", Stored(Literal(abc) + EndFor(abc)), ok, ok},
      {"copy offset 2^31", Stored(Copy(0x80000000u, 1) + none), cmd, cmd},
      {"literal length 2^32-1", Stored(Bytes{vhz::LiteralOpcode(4)} + Le(0xFFFFFFFFu, 4) + abc + none), bad, bad},
      {"copy of nothing at the base's end", Stored(Copy(end, 0) + none), out, ok},
      {"copy past the base's end", Stored(Copy(end - 2, 3) + none), out, out},
      {"copy that wraps around", Stored(Copy(5, 0x7FFFFFFFu) + none), out, out},
      {"copy of the base's last bytes", Stored(Copy(end - 3, 3) + EndFor(FromText("xyz"))), ok, ok},
      {"method 2", Header(2, n, n, Check(content)) + content, bad, bad},
      {"content above the limit", Header(1, vhz::kMaxBlockContent + 1, p, Check(packed)) + packed, bad, bad},
      {"negative stored length", Header(1, n, 0xFFFFFFFFu, Check(packed)) + packed, bad, bad},
      // Read through callbacks, the stored bytes go to a buffer of the limit's size first.
      {"stored length above the limit",
       Header(1, n, vhz::kMaxStoredLength + 1, Check(Padded(packed))) + Padded(packed), ok, bad},
      {"stored length unequal to content", Header(0, n, n + 1, Check(content)) + content + Bytes{0}, bad, bad},
      {"stored block check", Header(0, n, n, Check(content) ^ 1) + content, bad, bad},
      {"deflated block check", Header(1, n, p, Check(packed) + 1) + packed, bad, bad},
      {"stored bytes cut short", Header(0, n, n, Check(content)) + Part(content, 0, n - 1), bad, bad},
      {"header cut short", Part(Stored(content), 0, 12), bad, bad},
      {"data that does not inflate", Header(1, n, 6, Check(abc + abc)) + abc + abc, bad, bad},
      {"block that inflates short", Header(1, n + 1, p, Check(packed)) + packed, bad, bad},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(Memory(kBase, row.patch).code, row.memory);
    EXPECT_EQ(Stream(kBase, row.patch).code, row.stream);
    EXPECT_EQ(Stream(kBase, row.patch, 1 << 30).code, row.stream);
  }
  EXPECT_EQ(Stream(kBase, ended + Header(9, 1, 1, 0), 3).consumed, ended.size()) << "nothing read after the end";
  EXPECT_EQ(Memory(Bytes(), Stored(Copy(0, 0) + none)).code, out) << "a copy of nothing from no base";
  EXPECT_EQ(Stream(Bytes(), Stored(Copy(0, 0) + none)).code, ok);
  for (int op = 0x01; op <= 0xFF; op = op == 0x0F ? 0x24 : op + 1) {  // every opcode but the known 0x10 to 0x23
    const Bytes patch = Stored(Bytes{static_cast<uint8_t>(op)} + Bytes(16, 0x01) + none);
    EXPECT_EQ(Memory(kBase, patch).code, cmd) << op;
    EXPECT_EQ(Stream(kBase, patch).code, cmd) << op;
  }
}

// A block of the largest content; a copy longer than the decoder's buffer.
TEST(PatchStream, TheLargestBlockAndALongCopyArriveWhole) {
  const Bytes bytes = twxtest::RandomBytes(vhz::kMaxBlockContent - 5 - 5, 21), big = Part(bytes, 7);
  EXPECT_TRUE(Memory(Bytes(), Deflated(Literal(bytes, 4) + EndFor(bytes)), vhz::kMaxBlockContent).output == bytes);
  EXPECT_TRUE(Stream(bytes, Stored(Copy(7, static_cast<uint32_t>(big.size())) + EndFor(big)), 1 << 30).output == big);
}

TEST(MemoryVariant, TooSmallOutputReportsTheNeededLengthWritesNothingBeyondAndTheRetrySucceeds) {
  const Bytes want = FromText("0123456789literal bytesabcdef");
  const Bytes patch =
      Deflated(Copy(0, 10) + Literal(FromText("literal bytes"))) + Stored(Copy(10, 6, 1, 1) + EndFor(want));
  const Outcome small = Memory(kBase, patch, Size(want) - 1);
  EXPECT_EQ(small.code, kPatchOutputTooSmall);
  EXPECT_EQ(small.length, Size(want));
  EXPECT_EQ(Part(small.output, 0, 23), Part(want, 0, 23));  // the first two pieces fit, the last not
  EXPECT_EQ(small.output[23], 0xEE);
  EXPECT_EQ(Memory(kBase, patch, small.length).output, want);
  // 128 copies of a 16 MiB base make 2^31 bytes: the running length must
  // neither wrap nor be used to write anywhere.
  const Bytes base(16u << 20, 0x5A), one = Copy(0, 16u << 20);
  Bytes commands;
  for (int i = 0; i < 128; ++i) commands = commands + one;
  const Outcome huge = Memory(base, Stored(commands + End(0)), 8);
  EXPECT_EQ(huge.code, kPatchBadCommand);
  EXPECT_EQ(huge.length, 127 * Size(base));
  EXPECT_EQ(huge.output, Bytes(8, 0xEE));
}

}  // namespace
