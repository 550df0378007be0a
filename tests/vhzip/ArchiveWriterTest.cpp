// Packing a tree and bundling the setup, checked by reading the archive back
// and decoding every entry with the setup's decoder.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "CRC_32.h"
#include "Encript.h"
#include "FileIO.h"
#include "FileUtils.h"
#include "PatchBytes.h"
#include "TestSupport.h"

namespace {

std::string Text(const TBytes& b) { return std::string(b.begin(), b.end()); }
uint32_t CheckOf(const TBytes& b) { return UpdateCrc32(b.data(), static_cast<int32_t>(b.size()), vhz::kCheckStart); }

class PackedTree : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolderPath(tree.Join("Program\\Language\\Flags"));
    files = {
        {"Trawlix.exe", Text(twxtest::RandomBytes(5u << 20, 1))},  // three blocks
        {"Program\\readme.txt", std::string(20000, 'r') + "Trawlmark"},
        {"Program\\Language\\Flags\\empty.ico", std::string()},
        {"Program\\Language\\English.TWL", "[Language]\r\nName=English\r\n"},
        {"b.dat", "B"},
    };
    for (const auto& f : files) ASSERT_TRUE(twxtest::WriteWholeFile(tree.Join(f.first), f.second));
    ASSERT_EQ(SetAttributes(tree.Join("b.dat"), kAttrReadOnly), 0u);
  }

  bool Pack(const std::string& passPhrase, int threads, TBytes* archive) {
    std::vector<TPackEntry> entries;
    std::string error;
    if (!CollectTree(tree.Path(), &entries, &error)) return false;
    TPackOptions options = {12, passPhrase, threads, nullptr};
    return BuildArchive(entries, options, archive, &error);
  }

  twxtest::TempFolder tree;
  std::vector<std::pair<std::string, std::string>> files;
};

TEST_F(PackedTree, EveryFileComesBackWithItsNameTimeAttributesAndBytes) {
  TBytes archive;
  ASSERT_TRUE(Pack("", 2, &archive));
  TBytes body;
  std::vector<TArchiveEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadArchive(archive.data(), archive.size(), "", &body, &entries, &error)) << error;
  ASSERT_EQ(entries.size(), files.size());
  // Byte order of the names: upper-case "P" and "T" before lower-case "b".
  std::vector<std::string> names;
  for (const TArchiveEntry& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Program\\Language\\English.TWL", "Program\\Language\\Flags\\empty.ico",
                                             "Program\\readme.txt", "Trawlix.exe", "b.dat"}));
  for (const TArchiveEntry& e : entries) {
    std::string want;
    for (const auto& f : files)
      if (f.first == e.name) want = f.second;
    EXPECT_EQ(e.fields.fileLength, want.size()) << e.name;
    EXPECT_EQ(e.fields.dosDateTime, FileDosTime(tree.Join(e.name))) << e.name;
    EXPECT_EQ(e.fields.attributes, e.name == "b.dat" ? kAttrReadOnly : kAttrArchive) << e.name;
    patchbytes::EntryDecoding io = patchbytes::DecodeEntry(body.data() + e.dataOffset, e.fields.dataLength);
    int32_t code = io.code;
    if (want.empty()) {
      // The short form: four uninterpreted bytes, which the decoder refuses.
      EXPECT_EQ(e.fields.dataLength, vhz::kEmptyShortDataLength);
      EXPECT_EQ(e.fields.contentsCheck, vhz::kCheckStart);
      EXPECT_EQ(code, kEntryFailed);
      continue;
    }
    ASSERT_EQ(code, kEntryDecoded) << e.name;
    EXPECT_EQ(io.consumed, e.fields.dataLength) << e.name << ": data consumed";
    EXPECT_EQ(Text(io.output), want) << e.name;
    EXPECT_EQ(CheckOf(io.output), e.fields.contentsCheck) << e.name;
  }
}

TEST_F(PackedTree, SameTreeGivesTheSameBytesWithOneOrTwoThreads) {
  TBytes one, two;
  ASSERT_TRUE(Pack("", 1, &one));
  ASSERT_TRUE(Pack("", 2, &two));
  EXPECT_TRUE(one == two);
}

TEST_F(PackedTree, PassPhraseScramblesTheBodyButNotItsCheckValue) {
  TBytes plain, scrambled;
  ASSERT_TRUE(Pack("", 2, &plain));
  ASSERT_TRUE(Pack("Trawlix", 2, &scrambled));
  ASSERT_EQ(plain.size(), scrambled.size());
  EXPECT_FALSE(plain == scrambled);
  EXPECT_TRUE(std::equal(plain.end() - 4, plain.end(), scrambled.end() - 4));
  TBytes body;
  std::vector<TArchiveEntry> entries;
  std::string error;
  EXPECT_FALSE(ReadArchive(scrambled.data(), scrambled.size(), "", &body, &entries, &error));
  EXPECT_TRUE(ReadArchive(scrambled.data(), scrambled.size(), "Trawlix", &body, &entries, &error)) << error;
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
  TBytes record = {5, 0, 'a', 'b'};
  uint32_t check = UpdateCrc32(record.data(), 4, vhz::kCheckStart);
  TBytes archive = record;
  InitKeystream("");
  ApplyKeystream(archive.data(), 4);
  for (int i = 0; i < 4; ++i) archive.push_back(static_cast<uint8_t>(check >> (8 * i)));
  EXPECT_FALSE(ReadArchive(archive.data(), archive.size(), "", &body, &entries, &error));
  EXPECT_NE(error.find("damaged entry record"), std::string::npos) << error;
  archive[0] ^= 1;
  EXPECT_FALSE(ReadArchive(archive.data(), archive.size(), "", &body, &entries, &error));
  EXPECT_NE(error.find("check value"), std::string::npos) << error;
}

TEST(Bundle, MarkerBetweenStubAndArchiveAndRefusals) {
  TBytes stub = twxtest::RandomBytes(70000, 2);
  // The lower-case copy that the setup keeps in its data is harmless.
  std::memcpy(stub.data() + 100, vhz::kPayloadMarkerLower, 24);
  const TBytes archive = {0xFF, 0xFF, 0xFF, 0xFF};
  TBytes setup = stub;
  std::string error;
  ASSERT_TRUE(BundleSetup(setup, archive, &error)) << error;
  EXPECT_EQ(setup.size(), stub.size() + 24 + 4);
  EXPECT_EQ(FindArchiveOffset(setup.data(), setup.size()), static_cast<int64_t>(stub.size() + 24));
  EXPECT_EQ(std::memcmp(setup.data() + stub.size(), "<VHZIP FILE BEGINS HERE>", 24), 0);
  EXPECT_EQ(FindArchiveOffset(stub.data(), stub.size()), 0);

  TBytes again = setup;
  EXPECT_FALSE(BundleSetup(again, archive, &error));
  EXPECT_NE(error.find("already contains"), std::string::npos);
  EXPECT_EQ(again, setup);
  TBytes other = stub;
  EXPECT_FALSE(BundleSetup(other, TBytes{0xFF, 0xFF, 0xFF, 0xFE}, &error));
  EXPECT_EQ(other, stub);
}

}  // namespace
