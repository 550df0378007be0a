// Packing a tree and bundling the setup, read back by the packer's reader. That
// the setup extracts what the packer writes is shown end to end by the
// command-line tests and the bundled post-install sequence.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "ArchiveFormat.h"
#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "CRC_32.h"
#include "CommandLine.h"
#include "Encript.h"
#include "FileUtils.h"
#include "TestSupport.h"

namespace {

bool Pack(const std::string& tree, const std::string& passPhrase, int threads, TBytes* archive) {
  std::vector<TPackEntry> entries;
  std::string error;
  TPackOptions options = {12, passPhrase, threads, nullptr};
  return CollectTree(tree, &entries, &error) && BuildArchive(entries, options, archive, &error);
}

TEST(PackedTree, ThreadsDoNotChangeTheBytesAndThePassPhraseScramblesOnlyTheBody) {
  twxtest::TempFolder tree;
  MakeFolderPath(tree.Join("Program\\Flags"));
  const TBytes big = twxtest::RandomBytes(5u << 20, 1);  // three blocks
  ASSERT_TRUE(twxtest::WriteWholeFile(tree.Join("Trawlix.exe"), std::string(big.begin(), big.end())));
  ASSERT_TRUE(twxtest::WriteWholeFile(tree.Join("Program\\readme.txt"), std::string(20000, 'r')));
  ASSERT_TRUE(twxtest::WriteWholeFile(tree.Join("Program\\Flags\\empty.ico"), ""));
  ASSERT_TRUE(twxtest::WriteWholeFile(tree.Join("b.dat"), "B"));
  TBytes one, two, scrambled, body;
  ASSERT_TRUE(Pack(tree.Path(), "", 1, &one));
  ASSERT_TRUE(Pack(tree.Path(), "", 2, &two));
  ASSERT_TRUE(Pack(tree.Path(), "Trawlix", 2, &scrambled));
  EXPECT_TRUE(one == two);
  ASSERT_EQ(one.size(), scrambled.size());
  EXPECT_FALSE(one == scrambled);
  EXPECT_TRUE(std::equal(one.end() - 4, one.end(), scrambled.end() - 4));

  std::vector<TArchiveEntry> entries;
  std::string error;
  EXPECT_FALSE(ReadArchive(scrambled.data(), scrambled.size(), "", &body, &entries, &error));
  ASSERT_TRUE(ReadArchive(scrambled.data(), scrambled.size(), "Trawlix", &body, &entries, &error)) << error;
  // Byte order of the names: upper-case letters before lower-case ones.
  std::vector<std::string> names;
  for (const TArchiveEntry& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Program\\Flags\\empty.ico", "Program\\readme.txt", "Trawlix.exe", "b.dat"}));
}

TEST(ArchiveReader, EmptyArchiveDamageAndTruncatedRecords) {
  TBytes body;
  std::vector<TArchiveEntry> entries;
  std::string error;
  const uint8_t empty[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_TRUE(ReadArchive(empty, 4, "", &body, &entries, &error));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(ReadArchive(empty, 3, "", &body, &entries, &error));

  // A body whose check value is right but whose record runs past its end.
  TBytes archive = {5, 0, 'a', 'b'};
  const uint32_t check = UpdateCrc32(archive.data(), 4, vhz::kCheckStart);
  InitKeystream("");
  ApplyKeystream(archive.data(), 4);
  for (int i = 0; i < 4; ++i) archive.push_back(static_cast<uint8_t>(check >> (8 * i)));
  EXPECT_FALSE(ReadArchive(archive.data(), archive.size(), "", &body, &entries, &error));
  EXPECT_NE(error.find("damaged entry record"), std::string::npos) << error;
  archive[0] ^= 1;
  EXPECT_FALSE(ReadArchive(archive.data(), archive.size(), "", &body, &entries, &error));
  EXPECT_NE(error.find("check value"), std::string::npos) << error;
}

TEST(Bundle, TheLowerCaseMarkerInTheSetupsDataIsHarmless) {
  TBytes stub = twxtest::RandomBytes(70000, 2);
  std::memcpy(stub.data() + 100, vhz::kPayloadMarkerLower, 24);
  TBytes setup = stub;
  std::string error;
  ASSERT_TRUE(BundleSetup(setup, TBytes{0xFF, 0xFF, 0xFF, 0xFF}, &error)) << error;
  EXPECT_EQ(FindArchiveOffset(setup.data(), setup.size()), static_cast<int64_t>(stub.size() + 24));
  EXPECT_EQ(FindArchiveOffset(stub.data(), stub.size()), 0);
  // An archive whose check value does not match is refused and nothing changes.
  TBytes other = stub;
  EXPECT_FALSE(BundleSetup(other, TBytes{0xFF, 0xFF, 0xFF, 0xFE}, &error));
  EXPECT_EQ(other, stub);
}

int Vhzip(std::vector<std::string> args) {
  std::string name = "vhzip";
  std::vector<char*> argv = {&name[0]};
  for (std::string& a : args) argv.push_back(&a[0]);
  return RunCommandLine(static_cast<int>(argv.size()), argv.data());
}

// A bare archive whose scrambled bytes happen to hold the marker text is still
// an archive: only a file that starts with an executable image header is
// searched for the marker. And an entry that fails part-way leaves no partial
// file under its name.
TEST(VhzipCommands, MarkerTextInABareArchiveAndAFailedEntryLeaveNothingPartial) {
  using namespace archivebytes;
  twxtest::TempFolder temp;
  // The entry's contents start 41 bytes into the body (record, block header,
  // literal opcode and length): chosen so that scrambled they read as the marker.
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
  EXPECT_EQ(Vhzip({"list", bare}), 0);
  ASSERT_EQ(Vhzip({"extract", bare, "-C", out}), 0);
  EXPECT_EQ(twxtest::ReadWholeFileOr(out + "\\m", ""), contents);

  // One data byte more than the stream consumes: written whole, then refused.
  const Bytes payload = patchbytes::FromText("payload");
  const Bytes extra = Record("extra.bin", kSomeTime, 7, 0, StreamFor(payload) + Bytes{0}, patchbytes::Check(payload));
  ASSERT_TRUE(twxtest::WriteWholeFile(bare, AsText(Archive(Entry("first.txt", "ok") + extra))));
  EXPECT_EQ(Vhzip({"extract", bare, "-C", out}), 1);
  EXPECT_EQ(twxtest::ReadWholeFileOr(out + "\\first.txt", ""), "ok");
  EXPECT_FALSE(IsExistingFile(out + "\\extra.bin"));
}

}  // namespace
