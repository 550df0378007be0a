// Extraction of archives, natively and under Wine: what lands on disk, what the
// result codes are, and that nothing is ever written outside the destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ArchiveBytes.h"
#include "FileUtils.h"
#include "TestSupport.h"
#include "VhUnZip.h"

namespace {

using archivebytes::Archive;
using archivebytes::AsText;
using archivebytes::Bytes;
using archivebytes::Entry;
using archivebytes::Record;
using archivebytes::StreamFor;
using archivebytes::kSomeTime;
using patchbytes::operator+;

std::vector<std::string> seen;  // what the progress callback reported
void RecordFile(const char* file, int32_t) { seen.push_back(file); }
void RecordPercent(const char*, int32_t percent) { seen.push_back(std::to_string(percent)); }

class Extraction : public ::testing::Test {
 protected:
  // The destination is a folder inside a parent, so that a write outside the
  // destination shows up in the parent.
  void SetUp() override {
    destination = temp.Join("dest");
    MakeFolderPath(destination);
    archive = temp.Join("archive.vhz");
    seen.clear();
  }
  int32_t Extract(const Bytes& archiveBytes, const char* passPhrase = nullptr, TExtractProgress progress = nullptr,
                  const std::string& into = "") {
    EXPECT_TRUE(twxtest::WriteWholeFile(archive, AsText(archiveBytes)));
    return ExtractArchive(archive.c_str(), (into.empty() ? destination : into).c_str(), passPhrase, progress);
  }
  std::string Read(const std::string& relative) { return twxtest::ReadWholeFileOr(Path(relative), "<missing>"); }
  std::string Path(const std::string& relative) { return destination + "\\" + relative; }
  std::vector<std::string> ParentEntries() { return twxtest::ListFolder(temp.Path()); }

  twxtest::TempFolder temp;
  std::string destination, archive;
};

TEST_F(Extraction, EntriesLandInTheirFoldersWithTimesAndAttributesOverReadOnlyCopies) {
  ASSERT_TRUE(twxtest::WriteWholeFile(Path("data.db"), "old contents, longer than the new ones"));
  ASSERT_EQ(SetAttributes(Path("data.db"), kAttrReadOnly), 0u);
  // The short form of an empty file: four uninterpreted bytes and the check value of nothing.
  const Bytes body = Entry("Trawlix.ini", "[Queries]\r\n") + Entry("Help\\Deep\\topic.txt", "help text") +
                     Entry("License.txt", "licence", kAttrReadOnly | kAttrArchive) + Entry("data.db", "new") +
                     Record("short.txt", kSomeTime, 0, kAttrReadOnly, Bytes{1, 2, 3, 4}, 0xFFFFFFFFu) +
                     Entry("regular.txt", "");
  ASSERT_EQ(Extract(Archive(body)), kExtractOk);
  EXPECT_FALSE(IsExistingFile(archive)) << "the archive file is consumed";
  const struct {
    const char* name;
    const char* text;
    bool readOnly;
  } kFiles[] = {{"Trawlix.ini", "[Queries]\r\n", false}, {"Help\\Deep\\topic.txt", "help text", false},
                {"License.txt", "licence", true},        {"data.db", "new", false},
                {"short.txt", "", true},                  {"regular.txt", "", false}};
  for (const auto& file : kFiles) {
    EXPECT_EQ(Read(file.name), file.text);
    EXPECT_EQ(FileDosTime(Path(file.name)), kSomeTime) << file.name;
    EXPECT_EQ(twxtest::IsReadOnly(Path(file.name)), file.readOnly) << file.name;
  }
  EXPECT_EQ(Extract(Bytes{0xFF, 0xFF, 0xFF, 0xFF}), kExtractOk) << "the empty archive";
}

TEST_F(Extraction, DamagedBodiesAreRefusedBeforeAnyFileIsWritten) {
  Bytes flipped = Archive(Entry("a.txt", "alpha") + Entry("b.txt", "beta"));
  flipped[flipped.size() - 5] ^= 0x01;  // the body's last byte
  Bytes wrongCheck = Archive(Entry("a.txt", "alpha"));
  wrongCheck.back() ^= 0x80;
  EXPECT_EQ(Extract(flipped), kExtractDamaged);
  EXPECT_EQ(Extract(wrongCheck), kExtractDamaged);
  EXPECT_EQ(Extract(Bytes{0xFF, 0xFF, 0xFF}), kExtractDamaged) << "shorter than a check value";
  EXPECT_EQ(Extract(Archive(Entry("a.txt", "alpha"), "secret")), kExtractDamaged) << "wrong pass phrase";
  EXPECT_TRUE(twxtest::ListFolder(destination).empty());
  EXPECT_FALSE(IsExistingFile(archive));
  ASSERT_EQ(Extract(Archive(Entry("a.txt", "alpha"), "secret"), "secret"), kExtractOk);
  EXPECT_EQ(Read("a.txt"), "alpha");
}

TEST_F(Extraction, EntryChecksFailWithSixAndKeepWhatWasWritten) {
  // One data byte more than the stream consumes: the whole contents were
  // written, then the count disagrees.
  const Bytes content = patchbytes::FromText("payload");
  const uint32_t check = patchbytes::Check(content);
  const Bytes extra = Record("extra.bin", kSomeTime, 7, 0, StreamFor(content) + Bytes{0}, check);
  EXPECT_EQ(Extract(Archive(Entry("first.txt", "ok") + extra + Entry("never.txt", "x"))), kExtractBadEntry);
  EXPECT_EQ(Read("first.txt"), "ok");
  EXPECT_EQ(Read("extra.bin"), "payload");
  EXPECT_NE(FileDosTime(Path("extra.bin")), kSomeTime) << "no time stamp on a failed entry";
  EXPECT_EQ(Read("never.txt"), "<missing>");
  EXPECT_EQ(Extract(Archive(Record("len.bin", kSomeTime, 8, 0, StreamFor(content), check))), kExtractBadEntry);
  EXPECT_EQ(Extract(Archive(Record("crc.bin", kSomeTime, 7, 0, StreamFor(content), check ^ 1))), kExtractBadEntry);
  // Data that would run past the body into the check value.
  Bytes overlong = Record("long.bin", kSomeTime, 7, 0, StreamFor(content), check);
  overlong[2 + 8 + 4 + 4 + 4] += 4;  // data length field, low byte
  EXPECT_EQ(Extract(Archive(overlong)), kExtractBadEntry);
  EXPECT_EQ(Read("long.bin"), "<missing>");
  EXPECT_EQ(Extract(Archive(Bytes{5, 0, 'a', 'b'})), kExtractBadEntry) << "a record cut short in its fixed part";
}

TEST_F(Extraction, UnsafeNamesNeverWriteAnythingAnywhere) {
  const std::vector<std::string> before = ParentEntries();
  for (const char* name : {"", "\\abs.txt", "/abs.txt", "C:\\x.txt", "C:x.txt", "..\\escape.txt",
                           "a\\..\\..\\escape.txt", "a\\..", "sub/../x.txt", "stream.txt:hidden", "tab\tname",
                           "new\nline", ". .\\x.txt", "...\\x.txt", "a\\\\b.txt", "trailing\\", "CON",
                           "Help\\nul.txt", "com1", "LPT9.log"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsSafeEntryName(name));
    EXPECT_EQ(Extract(Archive(Entry(name, "evil"))), kExtractBadEntry);
    EXPECT_TRUE(twxtest::ListFolder(destination).empty());
    EXPECT_EQ(ParentEntries(), before);
  }
  for (const char* name : {"a.txt", "Help\\TWXHelp.pch", "Language\\User Defined(Other).TWL", "cone\\x", "COM10",
                           ".profile", "a..b"})
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
}

TEST_F(Extraction, ProgressNamesJoinedPathsAndRisesPerEntryToHundred) {
  ASSERT_EQ(Extract(Archive(Entry("x\\y.txt", "y")), nullptr, RecordFile, destination + "\\\\\\"), kExtractOk);
  ASSERT_FALSE(seen.empty());
  for (const std::string& p : seen) EXPECT_EQ(p, Path("x\\y.txt")) << "trailing backslashes joined as one";
  seen.clear();
  const Bytes body = Entry("a.txt", std::string(3000, 'a')) + Entry("b.txt", std::string(3000, 'b'));
  ASSERT_EQ(Extract(Archive(body), nullptr, RecordPercent), kExtractOk);
  std::vector<int> percents;
  for (const std::string& p : seen) percents.push_back(std::stoi(p));
  ASSERT_GE(percents.size(), 3u);
  // Each entry's figure is where its data starts: the first just past its
  // record, the second about half-way.
  EXPECT_LT(percents.front(), 5);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_GT(percents[percents.size() - 2], 40);
  EXPECT_EQ(percents.back(), 100);
}

TEST_F(Extraction, MissingArchiveOrDestinationAndVerifyWritesNothing) {
  EXPECT_EQ(ExtractArchive(nullptr, destination.c_str(), nullptr, nullptr), kExtractNoArchive);
  EXPECT_EQ(ExtractArchive(archive.c_str(), nullptr, nullptr, nullptr), kExtractCannotCreate);
  EXPECT_EQ(ExtractArchive(temp.Join("missing.vhz").c_str(), destination.c_str(), nullptr, nullptr),
            kExtractNoArchive);
  MakeFolderPath(Path("taken"));  // an entry's name taken by a folder
  EXPECT_EQ(Extract(Archive(Entry("taken", "x"))), kExtractCannotCreate);

  const Bytes content = patchbytes::FromText("c");
  const Bytes cases[] = {Archive(Entry("a\\b.txt", "b") + Entry("c.txt", "c")),
                         Archive(Record("c.txt", kSomeTime, 1, 0, StreamFor(content), 0)),
                         Archive(Entry("..\\c.txt", "c"))};
  const int32_t codes[] = {kExtractOk, kExtractBadEntry, kExtractBadEntry};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(twxtest::WriteWholeFile(archive, AsText(cases[i])));
    EXPECT_EQ(VerifyArchive(archive.c_str(), nullptr, nullptr), codes[i]) << i;
    EXPECT_FALSE(IsExistingFile(archive));
  }
  EXPECT_EQ(ParentEntries(), std::vector<std::string>{"dest"});
}

TEST(ArchiveName, CompletedWithFolderAndExtension) {
  const std::string here = CurrentFolder();
  const std::string folder = here.back() == '\\' ? here : here + "\\";
  EXPECT_EQ(ResolveArchiveName("payload", ".vhz"), folder + "payload.vhz");
  EXPECT_EQ(ResolveArchiveName("payload.dat", ".vhz"), folder + "payload.dat");
  EXPECT_EQ(ResolveArchiveName("D:\\Setup\\tempfile.$$$", ".vhz"), "D:\\Setup\\tempfile.$$$");
  EXPECT_EQ(ResolveArchiveName("D:\\Set.up\\payload", ".vhz"), "D:\\Set.up\\payload.vhz");
}

int pumps = 0;
void CountPump() { ++pumps; }

TEST(MarkerSearch, FoundAcrossChunkBoundariesTheFirstOneCountsAndTheLowerCaseCopyNever) {
  twxtest::TempFolder temp;
  const std::string path = temp.Join("setup.exe"), marker = PayloadMarker();
  EXPECT_EQ(marker, "<VHZIP FILE BEGINS HERE>");
  for (size_t imageSize : {size_t(0), size_t(1000), size_t(65536 - 24), size_t(65536 - 23), size_t(65536 - 1),
                           size_t(65536), size_t(2 * 65536 - 48 - 10), size_t(200000)}) {
    const Bytes image = twxtest::RandomBytes(imageSize, static_cast<uint32_t>(imageSize));
    ASSERT_TRUE(twxtest::WriteWholeFile(path, AsText(image) + marker + "\xFF\xFF\xFF\xFF"));
    pumps = 0;
    EXPECT_EQ(FindArchiveOffset(path, CountPump), static_cast<int64_t>(imageSize + 24)) << imageSize;
    EXPECT_GE(pumps, static_cast<int>(imageSize / 65512)) << "the pump runs per chunk";
  }
  const std::string lower = "MZ...<vhzip file begins here>...";
  ASSERT_TRUE(twxtest::WriteWholeFile(path, lower + marker + marker + "second"));
  EXPECT_EQ(FindArchiveOffset(path, nullptr), static_cast<int64_t>(lower.size() + 24));
  ASSERT_TRUE(twxtest::WriteWholeFile(path, lower + std::string(70000, 'x')));
  EXPECT_EQ(FindArchiveOffset(path, nullptr), 0);
  EXPECT_EQ(FindArchiveOffset(temp.Join("missing.exe"), nullptr), -1);
}

}  // namespace
