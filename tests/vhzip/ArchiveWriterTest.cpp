// Packing a tree and bundling the setup, read back by the packer's reader. That
// the setup extracts what the packer writes is shown end to end by the
// command-line tests and the bundled post-install sequence.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveFormat.h"
#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "CRC_32.h"
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

}  // namespace
