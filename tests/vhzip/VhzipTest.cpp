// The packer against the setup's own readers: packed trees extract, bundles are
// found, delta patches rebuild the new file. Behaviour only, so that the
// encoder's internals may change freely.
#include <cstring>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "CommandLine.h"
#include "DeltaEncoder.h"
#include "FileUtils.h"
#include "PatchApply.h"
#include "PatchBytes.h"
#include "TestSupport.h"

namespace {

using namespace patchbytes;

bool Pack(const std::string& tree, const std::string& passPhrase, int threads, TBytes* archive) {
  std::vector<TPackEntry> entries;
  std::string error;
  return CollectTree(tree, &entries, &error) &&
         BuildArchive(entries, {12, passPhrase, threads, nullptr}, archive, &error);
}

// Entries are packed side by side; what the setup extracts from them is the command line's test.
TEST(PackedTree, TwoThreadsPackTheSameBytesAsOne) {
  twxtest::TempFolder tree;
  MakeFolderPath(tree.Join("Program\\Flags"));  // a file of two blocks, one that deflates, an empty one
  const std::pair<const char*, std::string> kFiles[] = {{"Trawlix.exe", AsText(twxtest::RandomBytes(3u << 20, 1))},
                                                        {"Program\\readme.txt", std::string(20000, 'r')},
                                                        {"Program\\Flags\\e.ico", ""}};
  for (const auto& file : kFiles) ASSERT_TRUE(twxtest::WriteWholeFile(tree.Join(file.first), file.second));
  TBytes one, two;
  ASSERT_TRUE(Pack(tree.Path(), "Trawlix", 1, &one));
  ASSERT_TRUE(Pack(tree.Path(), "Trawlix", 2, &two));
  EXPECT_TRUE(one == two);
}

int Vhzip(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  return RunCommandLine(static_cast<int>(argv.size()), argv.data());
}

// A bundle is found past the lower-case marker text in the setup's own data;
// a bare archive whose scrambled bytes happen to hold the marker is still an
// archive: only an executable image is searched.
TEST(Bundle, OnlyAnExecutableImageIsSearchedForTheMarker) {
  TBytes stub = twxtest::RandomBytes(70000, 2), setup;
  std::memcpy(stub.data() + 100, vhz::kPayloadMarkerLower, vhz::kPayloadMarkerLength);
  std::string error;
  ASSERT_TRUE(BundleSetup(setup = stub, TBytes{0xFF, 0xFF, 0xFF, 0xFF}, &error)) << error;
  EXPECT_EQ(FindArchiveOffset(setup.data(), setup.size()), static_cast<int64_t>(setup.size() - 4));
  // The contents start 41 bytes into the body (record, block header, literal
  // opcode and length): chosen so that scrambled they read as the marker.
  const Bytes keystream = Archive(Bytes(80, 0));
  std::string contents(vhz::kPayloadMarker, 24);
  for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>(contents[i] ^ keystream[41 + i]);
  twxtest::TempFolder temp;
  const std::string bare = temp.Join("bare.vhz"), out = temp.Join("out");
  const Bytes archive = Archive(Entry("m", contents));
  ASSERT_EQ(FindArchiveOffset(archive.data(), archive.size()), 41 + 24) << "the marker shows";
  ASSERT_TRUE(twxtest::WriteWholeFile(bare, AsText(archive)));
  ASSERT_EQ(Vhzip({"vhzip", "verify", bare}), 0);
  ASSERT_EQ(Vhzip({"vhzip", "extract", bare, "-C", out}), 0);
  EXPECT_EQ(twxtest::ReadWholeFileOr(out + "\\m", ""), contents);
}

// A new version of base: twenty stretches replaced by others of another length.
TBytes Mutate(TBytes out, std::mt19937& rng) {
  for (int edit = 0; edit < 20; ++edit) {
    const size_t at = rng() % out.size();
    const TBytes ins = twxtest::RandomBytes(rng() % 200, rng());
    const auto gap = out.erase(out.begin() + at, out.begin() + std::min(out.size(), at + rng() % 300));
    out.insert(gap, ins.begin(), ins.end());
  }
  return out;
}

TBytes Delta(const TBytes& base, const TBytes& target, int level, int threads) {
  TDeltaOptions options = DefaultDeltaOptions();
  options.level = level;
  options.threads = threads;
  const TBytes patch = EncodeDelta(base.data(), static_cast<int32_t>(base.size()), target.data(),
                                   static_cast<int32_t>(target.size()), options, nullptr);
  int32_t code = 0;
  EXPECT_TRUE(PatchRebuilds(base, patch, target, &code)) << "level " << level << ", code " << code;
  return patch;
}

TEST(DeltaEncoder, EveryLevelRebuildsTheTargetAlikeOnOneOrTwoThreadsWithinItsSize) {
  // A mutated copy of the base, then bytes it lacks that deflate well: copies and literals both count.
  std::mt19937 rng(31);
  TBytes base = twxtest::RandomBytes(150000, 4), fresh = twxtest::RandomBytes(90000, 5);
  for (uint8_t& b : base) b &= 0x1F;
  for (uint8_t& b : fresh) b = static_cast<uint8_t>('a' + b % 6);
  const TBytes target = Mutate(base, rng) + fresh;
  size_t previous = target.size() + 1000;
  for (int level : {0, 1, 12, 13}) {
    const TBytes patch = Delta(base, target, level, 2);
    EXPECT_TRUE(Delta(base, target, level, 1) == patch) << "level " << level;
    EXPECT_LE(patch.size() + (level < 13), previous) << "level " << level;  // smaller, the top level no larger
    previous = patch.size();
  }
  // Empty and equal files, and a large one that only copies can make small (random data does not deflate).
  const TBytes some = twxtest::RandomBytes(5000, 8), noise = twxtest::RandomBytes(5u << 20, 3);
  const std::tuple<TBytes, TBytes, size_t> kRows[] = {
      {{}, {}, 40}, {some, some, 40}, {{}, some, 5100}, {noise, Mutate(noise, rng), noise.size() / 100}};
  for (const auto& row : kRows) EXPECT_LE(Delta(std::get<0>(row), std::get<1>(row), 6, 2).size(), std::get<2>(row));
}

}  // namespace
