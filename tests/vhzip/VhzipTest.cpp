// The packer against the setup's own readers: packed trees extract, bundles are
// found, delta patches rebuild the new file. Behaviour only, so that the
// encoder's internals may change freely.
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "CommandLine.h"
#include "DeltaEncoder.h"
#include "FileUtils.h"
#include "PatchApply.h"
#include "PatchBytes.h"
#include "TestSupport.h"
#include "VhUnZip.h"

namespace {

using namespace patchbytes;

bool Pack(const std::string& tree, const std::string& passPhrase, int threads, TBytes* archive) {
  std::vector<TPackEntry> entries;
  std::string error;
  return CollectTree(tree, &entries, &error) && BuildArchive(entries, {12, passPhrase, threads, nullptr}, archive, &error);
}

TEST(PackedTree, ExtractsWithTheSetupsCodeAndThreadsDoNotChangeTheBytes) {
  twxtest::TempFolder tree, out;
  MakeFolderPath(tree.Join("Program\\Flags"));
  const std::string big = AsText(twxtest::RandomBytes(5u << 20, 1));  // three blocks
  const struct {
    const char* name;
    std::string text;
  } kFiles[] = {{"Trawlix.exe", big}, {"Program\\readme.txt", std::string(20000, 'r')}, {"Program\\Flags\\e.ico", ""}};
  for (const auto& file : kFiles) ASSERT_TRUE(twxtest::WriteWholeFile(tree.Join(file.name), file.text));
  TBytes one, two, scrambled;
  ASSERT_TRUE(Pack(tree.Path(), "", 1, &one));
  ASSERT_TRUE(Pack(tree.Path(), "", 2, &two));
  ASSERT_TRUE(Pack(tree.Path(), "Trawlix", 2, &scrambled));
  EXPECT_TRUE(one == two);
  EXPECT_FALSE(one == scrambled);
  EXPECT_TRUE(std::equal(one.end() - 4, one.end(), scrambled.end() - 4)) << "the check value is of the plain body";
  ASSERT_TRUE(twxtest::WriteWholeFile(out.Join("a.vhz"), AsText(scrambled)));
  ASSERT_EQ(ExtractArchive(out.Join("a.vhz").c_str(), out.Path().c_str(), "Trawlix", nullptr), kExtractOk);
  for (const auto& file : kFiles) EXPECT_TRUE(twxtest::ReadWholeFileOr(out.Join(file.name), "-") == file.text) << file.name;
}

int Vhzip(std::vector<std::string> args) {
  std::string name = "vhzip";
  std::vector<char*> argv = {&name[0]};
  for (std::string& a : args) argv.push_back(&a[0]);
  return RunCommandLine(static_cast<int>(argv.size()), argv.data());
}

// A bundle is found past the lower-case marker text in the setup's own data;
// a bare archive whose scrambled bytes happen to hold the marker is still an
// archive (only an executable image is searched); an entry that fails part-way
// leaves no partial file under its name.
TEST(Bundle, MarkersInTheStubOrInABareArchiveAndAFailedEntryLeaveNothingPartial) {
  TBytes stub = twxtest::RandomBytes(70000, 2), setup;
  std::memcpy(stub.data() + 100, vhz::kPayloadMarkerLower, vhz::kPayloadMarkerLength);
  std::string error;
  ASSERT_TRUE(BundleSetup(setup = stub, TBytes{0xFF, 0xFF, 0xFF, 0xFF}, &error)) << error;
  EXPECT_EQ(FindArchiveOffset(setup.data(), setup.size()), static_cast<int64_t>(stub.size() + 24));
  EXPECT_FALSE(BundleSetup(setup = stub, TBytes{0xFF, 0xFF, 0xFF, 0xFE}, &error)) << "an archive the setup cannot open";
  EXPECT_EQ(setup, stub);

  twxtest::TempFolder temp;
  // The contents start 41 bytes into the body (record, block header, literal
  // opcode and length): chosen so that scrambled they read as the marker.
  Bytes keystream(80, 0);
  InitKeystream("");
  ApplyKeystream(keystream.data(), 80);
  std::string contents(vhz::kPayloadMarker, 24);
  for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>(contents[i] ^ keystream[41 + i]);
  const std::string bare = temp.Join("bare.vhz"), out = temp.Join("out");
  const Bytes archive = Archive(Entry("m", contents));
  ASSERT_EQ(FindArchiveOffset(archive.data(), archive.size()), 41 + 24) << "the marker shows";
  ASSERT_TRUE(twxtest::WriteWholeFile(bare, AsText(archive)));
  EXPECT_EQ(Vhzip({"verify", bare}), 0);
  ASSERT_EQ(Vhzip({"extract", bare, "-C", out}), 0);
  EXPECT_EQ(twxtest::ReadWholeFileOr(out + "\\m", ""), contents);
  const Bytes payload = FromText("payload");  // one data byte more than the stream takes: written, then refused
  const Bytes extra = Record("extra.bin", 7, StreamFor(payload) + Bytes{0}, Check(payload));
  ASSERT_TRUE(twxtest::WriteWholeFile(bare, AsText(Archive(Entry("first.txt", "ok") + extra))));
  EXPECT_EQ(Vhzip({"extract", bare, "-C", out}), 1);
  EXPECT_EQ(twxtest::ReadWholeFileOr(out + "\\first.txt", ""), "ok");
  EXPECT_FALSE(IsExistingFile(out + "\\extra.bin"));
}

// A new version of base: a few insertions, deletions and byte changes.
TBytes Mutate(const TBytes& base, std::mt19937* rng) {
  TBytes out = base;
  for (int edit = 0; edit < 20; ++edit) {
    const size_t at = (*rng)() % out.size();
    if ((*rng)() % 3 == 0) {
      out[at] ^= 0x5A;
    } else if ((*rng)() % 2) {
      const TBytes ins = twxtest::RandomBytes(1 + (*rng)() % 200, (*rng)());
      out.insert(out.begin() + at, ins.begin(), ins.end());
    } else {
      out.erase(out.begin() + at, out.begin() + std::min(out.size(), at + (*rng)() % 300));
    }
  }
  return out;
}

TBytes Delta(const TBytes& base, const TBytes& target, int level, int threads) {
  TDeltaOptions options = DefaultDeltaOptions();
  options.level = level;
  options.threads = threads;
  return EncodeDelta(base.data(), static_cast<int32_t>(base.size()), target.data(),
                     static_cast<int32_t>(target.size()), options, nullptr);
}

TEST(DeltaEncoder, EveryLevelRebuildsTheTargetAlikeOnOneOrTwoThreadsAndHigherLevelsAreSmaller) {
  // A mutated copy of the base, then bytes the base lacks but which deflate
  // well, so that both the copies and the literals count.
  std::mt19937 rng(31);
  TBytes base = twxtest::RandomBytes(150000, 4);
  for (uint8_t& b : base) b &= 0x1F;
  TBytes target = Mutate(base, &rng), fresh = twxtest::RandomBytes(90000, 5);
  for (uint8_t& b : fresh) b = static_cast<uint8_t>('a' + b % 6);
  target.insert(target.end(), fresh.begin(), fresh.end());
  size_t previous = target.size() + 1000;
  for (int level : {0, 1, 12, 13}) {
    const TBytes patch = Delta(base, target, level, 2);
    int32_t code = 0;
    ASSERT_TRUE(PatchRebuilds(base, patch, target, &code)) << "level " << level << ", code " << code;
    EXPECT_TRUE(Delta(base, target, level, 1) == patch) << "level " << level;
    if (level == 13) EXPECT_LE(patch.size(), previous);
    else EXPECT_LT(patch.size(), previous) << "level " << level;
    previous = patch.size();
  }
}

TEST(DeltaEncoder, PatchesRebuildEmptyEqualReversedAndLargeFilesAndCopyWhatTheBaseHas) {
  std::mt19937 rng(17);
  const TBytes some = twxtest::RandomBytes(5000, 8), noise = twxtest::RandomBytes(5u << 20, 3);
  const struct {
    TBytes base, target;
    size_t atMost;  // random data does not deflate: only copies make a patch small
  } kRows[] = {{TBytes(), TBytes(), 40}, {some, TBytes(), 40}, {TBytes(), some, 5100}, {some, some, 40},
               {some, TBytes(some.rbegin(), some.rend()), 5100}, {noise, Mutate(noise, &rng), noise.size() / 100}};
  for (const auto& row : kRows) {
    const TBytes patch = Delta(row.base, row.target, 6, 2);
    int32_t code = 0;
    EXPECT_TRUE(PatchRebuilds(row.base, patch, row.target, &code)) << row.base.size() << " -> " << row.target.size();
    EXPECT_LE(patch.size(), row.atMost) << row.base.size() << " -> " << row.target.size();
  }
}

}  // namespace
