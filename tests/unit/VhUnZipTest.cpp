// Extraction of archives, natively and under Wine: what lands on disk, what the
// result codes are, and that nothing is ever written outside the destination.
#include <gtest/gtest.h>

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
using archivebytes::kSomeTime;
using patchbytes::operator+;

class Extraction : public ::testing::Test {
 protected:
  // The destination is a folder inside a parent, so that a write outside the
  // destination shows up in the parent.
  void SetUp() override {
    destination = temp.Join("dest");
    MakeFolderPath(destination);
    archive = temp.Join("archive.vhz");
  }
  int32_t Extract(const Bytes& archiveBytes, const char* passPhrase = nullptr) {
    EXPECT_TRUE(twxtest::WriteWholeFile(archive, AsText(archiveBytes)));
    return ExtractArchive(archive.c_str(), destination.c_str(), passPhrase, nullptr);
  }
  std::string Read(const std::string& relative) { return twxtest::ReadWholeFileOr(destination + "\\" + relative, "<missing>"); }
  std::vector<std::string> ParentEntries() { return twxtest::ListFolder(temp.Path()); }

  twxtest::TempFolder temp;
  std::string destination, archive;
};

TEST_F(Extraction, EmptyArchiveIsValidAndWritesNothing) {
  EXPECT_EQ(Extract(Bytes{0xFF, 0xFF, 0xFF, 0xFF}), kExtractOk);
  EXPECT_TRUE(twxtest::ListFolder(destination).empty());
  EXPECT_FALSE(IsExistingFile(archive)) << "the archive file is consumed";
}

TEST_F(Extraction, EntriesLandInTheirFoldersWithTimesAndAttributes) {
  const Bytes body = Entry("Trawlix.ini", "[Queries]\r\n") + Entry("Help\\Deep\\topic.txt", "help text") +
                     Entry("License.txt", "licence", kAttrReadOnly | kAttrArchive);
  ASSERT_EQ(Extract(Archive(body)), kExtractOk);
  EXPECT_EQ(Read("Trawlix.ini"), "[Queries]\r\n");
  EXPECT_EQ(Read("Help\\Deep\\topic.txt"), "help text");
  EXPECT_EQ(Read("License.txt"), "licence");
  EXPECT_EQ(FileDosTime(destination + "\\Help\\Deep\\topic.txt"), kSomeTime);
  EXPECT_EQ(FileDosTime(destination + "\\License.txt"), kSomeTime);
  EXPECT_TRUE(twxtest::IsReadOnly(destination + "\\License.txt"));
  EXPECT_FALSE(twxtest::IsReadOnly(destination + "\\Trawlix.ini"));
  EXPECT_FALSE(IsExistingFile(archive));
}

TEST_F(Extraction, AReadOnlyFileIsReplacedAndTakesTheEntrysAttributes) {
  const std::string target = destination + "\\data.db";
  ASSERT_TRUE(twxtest::WriteWholeFile(target, "old contents, longer than the new ones"));
  ASSERT_EQ(SetAttributes(target, kAttrReadOnly), 0u);
  ASSERT_EQ(Extract(Archive(Entry("data.db", "new", kAttrArchive))), kExtractOk);
  EXPECT_EQ(Read("data.db"), "new");
  EXPECT_FALSE(twxtest::IsReadOnly(target));
  EXPECT_EQ(FileDosTime(target), kSomeTime);
}

TEST_F(Extraction, EmptyFilesInShortAndRegularForm) {
  // Short form: four uninterpreted bytes and the check value of nothing.
  const Bytes shortForm = Record("short.txt", kSomeTime, 0, kAttrReadOnly, Bytes{1, 2, 3, 4}, 0xFFFFFFFFu);
  const Bytes regular = Entry("regular.txt", "");
  ASSERT_EQ(Extract(Archive(shortForm + regular)), kExtractOk);
  EXPECT_EQ(Read("short.txt"), "");
  EXPECT_EQ(Read("regular.txt"), "");
  EXPECT_EQ(FileDosTime(destination + "\\short.txt"), kSomeTime);
  EXPECT_TRUE(twxtest::IsReadOnly(destination + "\\short.txt"));
}

TEST_F(Extraction, DamagedBodiesAreRefusedBeforeAnyFileIsWritten) {
  Bytes flipped = Archive(Entry("a.txt", "alpha") + Entry("b.txt", "beta"));
  flipped[flipped.size() - 5] ^= 0x01;  // the body's last byte
  EXPECT_EQ(Extract(flipped), kExtractDamaged);
  Bytes wrongCheck = Archive(Entry("a.txt", "alpha"));
  wrongCheck.back() ^= 0x80;
  EXPECT_EQ(Extract(wrongCheck), kExtractDamaged);
  EXPECT_EQ(Extract(Bytes{0xFF, 0xFF, 0xFF}), kExtractDamaged) << "shorter than a check value";
  EXPECT_EQ(Extract(Archive(Entry("a.txt", "alpha"), "secret")), kExtractDamaged) << "wrong pass phrase";
  EXPECT_TRUE(twxtest::ListFolder(destination).empty());
  EXPECT_FALSE(IsExistingFile(archive));
}

TEST_F(Extraction, APassPhraseScramblesTheBody) {
  ASSERT_EQ(Extract(Archive(Entry("a.txt", "alpha"), "secret"), "secret"), kExtractOk);
  EXPECT_EQ(Read("a.txt"), "alpha");
}

TEST_F(Extraction, EntryChecksFailWithSixAndKeepWhatWasWritten) {
  // One data byte more than the stream consumes: the whole contents were
  // written, then the count disagrees.
  const Bytes content = patchbytes::FromText("payload");
  const Bytes extra = Record("extra.bin", kSomeTime, 7, 0, archivebytes::StreamFor(content) + Bytes{0},
                             patchbytes::Check(content));
  EXPECT_EQ(Extract(Archive(Entry("first.txt", "ok") + extra + Entry("never.txt", "x"))), kExtractBadEntry);
  EXPECT_EQ(Read("first.txt"), "ok");
  EXPECT_EQ(Read("extra.bin"), "payload");
  EXPECT_NE(FileDosTime(destination + "\\extra.bin"), kSomeTime) << "no time stamp on a failed entry";
  EXPECT_EQ(Read("never.txt"), "<missing>");

  const Bytes wrongLength = Record("len.bin", kSomeTime, 8, 0, archivebytes::StreamFor(content), patchbytes::Check(content));
  EXPECT_EQ(Extract(Archive(wrongLength)), kExtractBadEntry);
  const Bytes wrongCheck = Record("crc.bin", kSomeTime, 7, 0, archivebytes::StreamFor(content), 0x12345678u);
  EXPECT_EQ(Extract(Archive(wrongCheck)), kExtractBadEntry);
  // Data that would run past the body into the check value.
  const Bytes overlong = Record("long.bin", kSomeTime, 7, 0, archivebytes::StreamFor(content), patchbytes::Check(content));
  Bytes body = overlong;
  body[2 + 8 + 4 + 4 + 4] += 4;  // data length field, low byte
  EXPECT_EQ(Extract(Archive(body)), kExtractBadEntry);
  EXPECT_EQ(Read("long.bin"), "<missing>");
  // A record cut short inside its fixed part.
  EXPECT_EQ(Extract(Archive(Bytes{5, 0, 'a', 'b'})), kExtractBadEntry);
}

TEST_F(Extraction, UnsafeNamesNeverWriteAnythingAnywhere) {
  const std::vector<std::string> before = ParentEntries();
  const char* const names[] = {
      "", "\\abs.txt", "/abs.txt", "C:\\x.txt", "C:x.txt", "..\\escape.txt", "a\\..\\..\\escape.txt",
      "a\\..", "sub/../x.txt", "stream.txt:hidden", "tab\tname", "new\nline", ". .\\x.txt", "...\\x.txt",
      "a\\\\b.txt", "trailing\\", "CON", "Help\\nul.txt", "com1", "LPT9.log",
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsSafeEntryName(name));
    EXPECT_EQ(Extract(Archive(Entry(name, "evil"))), kExtractBadEntry);
    EXPECT_TRUE(twxtest::ListFolder(destination).empty());
    EXPECT_EQ(ParentEntries(), before);
  }
  for (const char* name : {"a.txt", "Help\\TWXHelp.pch", "Language\\User Defined(Other).TWL", "cone\\x", "COM10", ".profile", "a..b"})
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
}

TEST_F(Extraction, TrailingBackslashesOfTheDestinationAreJoinedAsOne) {
  EXPECT_TRUE(twxtest::WriteWholeFile(archive, AsText(Archive(Entry("x\\y.txt", "y")))));
  std::vector<std::string> paths;
  static std::vector<std::string>* seen;
  seen = &paths;
  const std::string slashes = destination + "\\\\\\";
  ASSERT_EQ(ExtractArchive(archive.c_str(), slashes.c_str(), nullptr,
                           [](const char* file, int32_t) { seen->push_back(file); }),
            kExtractOk);
  ASSERT_FALSE(paths.empty());
  for (const std::string& p : paths) EXPECT_EQ(p, destination + "\\x\\y.txt");
  EXPECT_EQ(Read("x\\y.txt"), "y");
}

TEST_F(Extraction, ProgressRisesPerEntryAndEndsAtHundred) {
  static std::vector<int32_t>* percents;
  std::vector<int32_t> seen;
  percents = &seen;
  const Bytes body = Entry("a.txt", std::string(3000, 'a')) + Entry("b.txt", std::string(3000, 'b'));
  EXPECT_TRUE(twxtest::WriteWholeFile(archive, AsText(Archive(body))));
  ASSERT_EQ(ExtractArchive(archive.c_str(), destination.c_str(), nullptr,
                           [](const char*, int32_t percent) { percents->push_back(percent); }),
            kExtractOk);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.back(), 100);
  // Each entry's figure is where its data starts: the first just past its
  // record, the second about half-way.
  EXPECT_LT(seen.front(), 5);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GT(seen[seen.size() - 2], 40);
}

TEST_F(Extraction, MissingArchiveOrDestination) {
  EXPECT_EQ(ExtractArchive(nullptr, destination.c_str(), nullptr, nullptr), kExtractNoArchive);
  EXPECT_EQ(ExtractArchive(archive.c_str(), nullptr, nullptr, nullptr), kExtractCannotCreate);
  EXPECT_EQ(ExtractArchive(temp.Join("missing.vhz").c_str(), destination.c_str(), nullptr, nullptr),
            kExtractNoArchive);
  // An entry whose file cannot be created: its name is taken by a folder.
  MakeFolderPath(destination + "\\taken");
  EXPECT_EQ(Extract(Archive(Entry("taken", "x"))), kExtractCannotCreate);
}

TEST_F(Extraction, VerifyChecksEverythingAndWritesNothing) {
  ASSERT_TRUE(twxtest::WriteWholeFile(archive, AsText(Archive(Entry("a\\b.txt", "b") + Entry("c.txt", "c")))));
  EXPECT_EQ(VerifyArchive(archive.c_str(), nullptr, nullptr), kExtractOk);
  EXPECT_FALSE(IsExistingFile(archive));
  const Bytes content = patchbytes::FromText("c");
  ASSERT_TRUE(twxtest::WriteWholeFile(
      archive, AsText(Archive(Record("c.txt", kSomeTime, 1, 0, archivebytes::StreamFor(content), 0)))));
  EXPECT_EQ(VerifyArchive(archive.c_str(), nullptr, nullptr), kExtractBadEntry);
  ASSERT_TRUE(twxtest::WriteWholeFile(archive, AsText(Archive(Entry("..\\c.txt", "c")))));
  EXPECT_EQ(VerifyArchive(archive.c_str(), nullptr, nullptr), kExtractBadEntry);
  EXPECT_EQ(ParentEntries(), std::vector<std::string>{"dest"});
}

TEST(ArchiveName, CompletedWithFolderAndExtension) {
  const std::string here = CurrentFolder();
  const std::string expectedFolder = here.back() == '\\' ? here : here + "\\";
  EXPECT_EQ(ResolveArchiveName("payload", ".vhz"), expectedFolder + "payload.vhz");
  EXPECT_EQ(ResolveArchiveName("payload.dat", ".vhz"), expectedFolder + "payload.dat");
  EXPECT_EQ(ResolveArchiveName("D:\\Setup\\tempfile.$$$", ".vhz"), "D:\\Setup\\tempfile.$$$");
  EXPECT_EQ(ResolveArchiveName("D:\\Set.up\\payload", ".vhz"), "D:\\Set.up\\payload.vhz");
}

class MarkerSearch : public ::testing::Test {
 protected:
  // An "executable" of the given bytes, then the marker, then an archive.
  std::string Bundle(const Bytes& image, const Bytes& archiveBytes) {
    const std::string path = temp.Join("setup.exe");
    EXPECT_TRUE(twxtest::WriteWholeFile(path, AsText(image) + PayloadMarker() + AsText(archiveBytes)));
    return path;
  }
  twxtest::TempFolder temp;
};

TEST_F(MarkerSearch, FoundInsideAChunkAndAcrossAChunkBoundary) {
  EXPECT_EQ(PayloadMarker(), "<VHZIP FILE BEGINS HERE>");
  for (size_t imageSize : {size_t(0), size_t(1000), size_t(65536 - 24), size_t(65536 - 23), size_t(65536 - 1),
                           size_t(65536), size_t(2 * 65536 - 48 - 10), size_t(200000)}) {
    SCOPED_TRACE(imageSize);
    const Bytes image = twxtest::RandomBytes(imageSize, static_cast<uint32_t>(imageSize));
    const std::string path = Bundle(image, Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(FindArchiveOffset(path, nullptr), static_cast<int64_t>(imageSize + 24));
  }
}

TEST_F(MarkerSearch, TheFirstMarkerCountsAndTheLowerCaseCopyNever) {
  const std::string lower = "<vhzip file begins here>";
  const Bytes image = patchbytes::FromText("MZ..." + lower + "...");
  const std::string path = Bundle(image, patchbytes::FromText(PayloadMarker() + "second"));
  EXPECT_EQ(FindArchiveOffset(path, nullptr), static_cast<int64_t>(image.size() + 24));
  const std::string plain = temp.Join("plain.exe");
  ASSERT_TRUE(twxtest::WriteWholeFile(plain, "MZ" + lower + std::string(70000, 'x')));
  EXPECT_EQ(FindArchiveOffset(plain, nullptr), 0);
  EXPECT_EQ(FindArchiveOffset(temp.Join("missing.exe"), nullptr), -1);
}

TEST_F(MarkerSearch, ThePumpRunsOncePerChunk) {
  static int pumps;
  pumps = 0;
  const std::string path = Bundle(twxtest::RandomBytes(150000, 7), Bytes{0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(FindArchiveOffset(path, [] { ++pumps; }), 150024);
  EXPECT_EQ(pumps, 3);  // chunks at 0, 65512 and 131024
}

TEST_F(MarkerSearch, CopiedOutArchivesExtract) {
  const Bytes archiveBytes = Archive(Entry("Queries\\NONAME.TWX", "Trawlmark Query Folder"));
  const std::string path = Bundle(twxtest::RandomBytes(100000, 3), archiveBytes);
  const std::string out = temp.Join("copy.vhz");
  ASSERT_TRUE(CopyArchiveOut(path, out, nullptr));
  EXPECT_EQ(twxtest::ReadWholeFileOr(out, ""), AsText(archiveBytes));
  MakeFolderPath(temp.Join("dest"));
  EXPECT_EQ(ExtractArchive(out.c_str(), temp.Join("dest").c_str(), nullptr, nullptr), kExtractOk);
  EXPECT_EQ(twxtest::ReadWholeFileOr(temp.Join("dest\\Queries\\NONAME.TWX"), ""), "Trawlmark Query Folder");
  EXPECT_EQ(twxtest::ReadWholeFileOr(path, "").size(), 100000u + 24 + archiveBytes.size()) << "source untouched";
  // Without a marker the whole file is the archive, and its check fails.
  const std::string plain = temp.Join("plain.exe");
  ASSERT_TRUE(twxtest::WriteWholeFile(plain, std::string(5000, 'p')));
  ASSERT_TRUE(CopyArchiveOut(plain, out, nullptr));
  EXPECT_EQ(ExtractArchive(out.c_str(), temp.Join("dest").c_str(), nullptr, nullptr), kExtractDamaged);
}

}  // namespace
