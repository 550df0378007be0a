// Extraction of archives, natively and under Wine: what lands on disk, what the
// result codes are, and that nothing is ever written outside the destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ArchiveBytes.h"
#include "FileIO.h"
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

// Zero bytes as literal runs, one deflated block each, so that a stream of
// gigabytes takes a few megabytes; check is the register over all of them.
struct TZeroStream {
  Bytes data;
  uint32_t check;
};
TZeroStream ZeroStream(uint64_t total) {
  const uint32_t run = vhz::kMaxBlockContent - 5;
  const Bytes zeros(run, 0);
  const Bytes block = patchbytes::Deflated(patchbytes::Literal(zeros, 4));
  const uLong runCrc = crc32(0, zeros.data(), run);
  TZeroStream stream;
  uLong crc = 0;  // zlib's form of the register: its complement
  for (; total > run - 5u; total -= run) {
    stream.data.insert(stream.data.end(), block.begin(), block.end());
    crc = crc32_combine(crc, runCrc, run);
  }
  const Bytes last(static_cast<size_t>(total), 0);
  stream.check = ~static_cast<uint32_t>(crc32_combine(crc, crc32(0, last.data(), static_cast<uInt>(total)), total));
  const Bytes end = patchbytes::Deflated(patchbytes::Literal(last, 4) + patchbytes::End(stream.check));
  stream.data.insert(stream.data.end(), end.begin(), end.end());
  return stream;
}

// A relative name of exactly length characters, in components of 200.
std::string NameOfLength(size_t length) {
  std::string name;
  while (name.size() + 201 < length) name += std::string(200, 'n') + "\\";
  return name + std::string(length - name.size(), 'n');
}

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
                           "Help\\nul.txt", "com1", "LPT9.log", "NUL ", "CON .txt", "aux  ..txt", "CONIN$",
                           "conout$.log", "CLOCK$", "COM0", "LPT0.txt", "COM\xB9", "lpt\xB2.txt", "COM\xB3"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsSafeEntryName(name));
    EXPECT_EQ(Extract(Archive(Entry("first.txt", "ok") + Entry(name, "evil"))), kExtractBadEntry);
    EXPECT_EQ(CurrentEntryPath(), Path(name)) << "the failure names the entry that failed";
    EXPECT_EQ(Read("first.txt"), "ok");
    DeleteFilePath(Path("first.txt"));
    EXPECT_TRUE(twxtest::ListFolder(destination).empty());
    EXPECT_EQ(ParentEntries(), before);
  }
  for (const char* name : {"a.txt", "Help\\TWXHelp.pch", "Language\\User Defined(Other).TWL", "cone\\x", "COM10",
                           ".profile", "a..b", "CONSOLE", "CLOCK", "COM\xB4", "LPT\xB9\xB9"})
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
}

TEST_F(Extraction, PathsBeyondThePlatformLimitFailBeforeAnythingIsCreated) {
  std::string deep = "a";  // 32,767 components in 65,533 bytes
  for (int i = 1; i < 32767; ++i) deep += "\\a";
  const size_t room = kPlatformPathLimit - destination.size() - 1;
  for (const std::string& name : {deep, NameOfLength(room + 1)}) {
    EXPECT_EQ(Extract(Archive(Entry(name, "x"))), kExtractBadEntry);
    EXPECT_TRUE(twxtest::ListFolder(destination).empty());
  }
  ASSERT_EQ(Extract(Archive(Entry(NameOfLength(room), "at the limit"))), kExtractOk);
  EXPECT_EQ(Read(NameOfLength(room)), "at the limit");
}

TEST_F(Extraction, NoEntryProducesMoreThanItsLengthNorWrapsItsCount) {
  const TZeroStream bomb = ZeroStream(6u << 20);
  EXPECT_EQ(Extract(Archive(Record("bomb.bin", kSomeTime, 10, 0, bomb.data, bomb.check))), kExtractBadEntry);
  EXPECT_LE(Read("bomb.bin").size(), 10u) << "never more than the listed length is written";
  // Counted in 32 bits, 4 GiB + 100 bytes would pass for the 100 listed.
  const TZeroStream wrap = ZeroStream((uint64_t(1) << 32) + 100);
  ASSERT_TRUE(twxtest::WriteWholeFile(archive, AsText(Archive(Record("wrap.bin", kSomeTime, 100, 0, wrap.data,
                                                                     wrap.check)))));
  EXPECT_EQ(VerifyArchive(archive.c_str(), nullptr, nullptr), kExtractBadEntry);
}

// What lies in the destination before the setup runs is anyone's: links to
// elsewhere at an entry's folder, at its name and at the temporary archive.
TEST_F(Extraction, NothingIsWrittenThroughLinksPlantedInTheDestination) {
  const std::string source = temp.Join("source.bin");
  ASSERT_TRUE(twxtest::WriteWholeFile(source, "the archive's bytes"));
  const struct {
    const char* link;
    bool toFolder, hard;
    const char* entry;  // null: the temporary archive is copied out over the link
    int32_t code;
  } kCases[] = {{"sub", true, false, "sub\\evil.txt", kExtractBadEntry},
                {"deep", true, false, "deep\\er\\evil.txt", kExtractBadEntry},
                {"name.txt", false, false, "name.txt", kExtractOk},
                {"folder", true, false, "folder", kExtractOk},
                {"hard.txt", false, true, "hard.txt", kExtractOk},
                {kTemporaryArchiveName, false, false, nullptr, kExtractOk},
                {kTemporaryArchiveName, false, true, nullptr, kExtractOk}};
  std::string unmade;
  int row = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.link);
    // Each row its own targets, read-only, outside the destination.
    const std::string outside = temp.Join("outside" + std::to_string(++row)), outsideFile = outside + ".txt";
    MakeFolderPath(outside);
    ASSERT_TRUE(twxtest::WriteWholeFile(outsideFile, "keep"));
    ASSERT_EQ(SetAttributes(outsideFile, kAttrReadOnly), 0u);
    ASSERT_EQ(SetAttributes(outside, kAttrReadOnly | kAttrDirectory), 0u);
    const bool folderReadOnly = twxtest::IsReadOnly(outside);  // not every system keeps it on a folder
    // Wine removes the folder a link leads to instead of the link.
    const bool removable = !(c.toFolder && c.code == kExtractOk && twxtest::RunningUnderWine());
    if (!removable || !twxtest::MakeLink(c.toFolder ? outside : outsideFile, Path(c.link), c.hard)) {
      unmade += std::string(" ") + c.link + (c.hard ? " (hard)" : "");
      continue;
    }
    if (c.entry == nullptr) {
      EXPECT_TRUE(CopyArchiveOut(source, Path(c.link), nullptr));
      EXPECT_EQ(Read(c.link), "the archive's bytes");
    } else {
      EXPECT_EQ(Extract(Archive(Entry(c.entry, "evil"))), c.code);
      if (c.code == kExtractOk) EXPECT_EQ(Read(c.entry), "evil");
      if (c.code == kExtractOk) EXPECT_EQ(PathKind(Path(c.entry), false), kPathFile);
    }
    EXPECT_TRUE(twxtest::ListFolder(outside).empty());
    EXPECT_EQ(twxtest::ReadWholeFileOr(outsideFile, ""), "keep");
    EXPECT_TRUE(twxtest::IsReadOnly(outsideFile)) << "the attributes of a link's target stay";
    EXPECT_EQ(twxtest::IsReadOnly(outside), folderReadOnly);
    SetAttributes(outside, kAttrDirectory);
    twxtest::RemoveTree(Path(c.link));
  }
  if (!unmade.empty()) GTEST_SKIP() << "this system cannot make or remove these links:" << unmade;
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
  // An empty path must not become "<current folder>\\.vhz", which would be deleted.
  const std::string here = CurrentFolder(), stray = here + (here.back() == '\\' ? "" : "\\") + ".vhz";
  ASSERT_TRUE(twxtest::WriteWholeFile(stray, "not the setup's"));
  EXPECT_EQ(ExtractArchive("", destination.c_str(), nullptr, nullptr), kExtractNoArchive);
  EXPECT_EQ(twxtest::ReadWholeFileOr(stray, ""), "not the setup's");
  DeleteFilePath(stray);
  // An empty destination would put the entries at the root of the drive.
  for (const char* into : {"", "\\", "\\\\\\"}) {
    ASSERT_TRUE(twxtest::WriteWholeFile(archive, AsText(Archive(Entry("twx-root-probe.txt", "x")))));
    EXPECT_EQ(ExtractArchive(archive.c_str(), into, nullptr, nullptr), kExtractCannotCreate) << into;
    EXPECT_TRUE(IsExistingFile(archive)) << "nothing deleted";
  }
  EXPECT_FALSE(IsExistingFile("\\twx-root-probe.txt"));
  DeleteFilePath(archive);
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
