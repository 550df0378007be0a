// Extraction of archives: what lands on disk, the result codes, and that
// nothing is ever written outside the destination.
#include <cstring>
#include <tuple>

#include <gtest/gtest.h>

#include "EntryNames.h"
#include "FileIO.h"
#include "FileUtils.h"
#include "PatchBytes.h"
#include "PayloadLocation.h"
#include "Product.h"
#include "TestSupport.h"
#include "VhUnZip.h"

namespace {

using namespace patchbytes;

// The progress calls, as entry name and figure; and the pumps.
std::vector<std::string> gCalls;
void Note(const char* file, int32_t percent) { gCalls.push_back(NamePart(file) + " " + std::to_string(percent)); }
#ifdef _WIN32
std::string gImage;
DWORD WINAPI StandInImage(HMODULE, LPWSTR buffer, DWORD size) {
  return static_cast<DWORD>(MultiByteToWideChar(CP_ACP, 0, gImage.c_str(), -1, buffer, static_cast<int>(size)) - 1);
}
#endif

class Extraction : public ::testing::Test {
 protected:
  // The destination lies inside a parent, so that a write outside it shows up there.
  void SetUp() override { MakeFolderPath(destination); }
  int32_t Extract(const Bytes& bytes, const char* passPhrase = nullptr, TExtractProgress progress = nullptr) {
    EXPECT_TRUE(twxtest::WriteWholeFile(archive, AsText(bytes)));
    return ExtractArchive(archive.c_str(), destination.c_str(), passPhrase, progress);
  }
  std::string Read(const std::string& relative) { return twxtest::ReadWholeFileOr(Path(relative), "<missing>"); }
  std::string Path(const std::string& relative) { return destination + "\\" + relative; }
  std::vector<std::string> Listed() { return twxtest::ListFolder(destination); }

  twxtest::TempFolder temp;
  std::string destination = temp.Join("dest"), archive = temp.Join("archive.vhz");
};

TEST_F(Extraction, EntriesLandInTheirFoldersWithTimesAndAttributesOverReadOnlyCopies) {
  ASSERT_TRUE(twxtest::WriteWholeFile(Path("data.db"), "old contents, longer than the new ones"));
  ASSERT_EQ(SetAttributes(Path("data.db"), kAttrReadOnly), 0u);
  // The short form of an empty file: four uninterpreted bytes and the check value of nothing.
  const Bytes body = Entry("Help\\Deep\\topic.txt", "help text") + Entry("License.txt", "licence", kAttrReadOnly) +
                     Entry("data.db", "new") + Record("short.txt", 0, Bytes{1, 2, 3, 4}, 0xFFFFFFFFu, kAttrReadOnly);
  ASSERT_EQ(Extract(Archive(body, "secret"), "secret"), kExtractOk);
  for (const auto& file : std::vector<std::pair<std::string, std::string>>{
           {"Help\\Deep\\topic.txt", "help text"}, {"License.txt", "licence"}, {"data.db", "new"}, {"short.txt", ""}}) {
    EXPECT_EQ(Read(file.first), file.second);
    EXPECT_EQ(FileDosTime(Path(file.first)), kSomeTime) << file.first;
    const bool readOnly = file.first == "License.txt" || file.first == "short.txt";
    EXPECT_EQ(twxtest::IsReadOnly(Path(file.first)), readOnly) << file.first;
  }
}

TEST_F(Extraction, NothingIsWrittenFromADamagedArchiveNorByAVerify) {
  const Bytes body = Entry("data.db", "new");
  for (const Bytes& damaged : {Archive(body, "other"), Archive(body, "secret") + Bytes{0}, Bytes{0xFF, 0xFF, 0xFF}})
    EXPECT_EQ(Extract(damaged, "secret"), kExtractDamaged) << damaged.size();
  ASSERT_TRUE(twxtest::WriteWholeFile(archive, AsText(Archive(Entry("a\\b.txt", "b")))));
  EXPECT_EQ(VerifyArchive(archive.c_str(), nullptr, nullptr), kExtractOk);
  EXPECT_FALSE(IsExistingFile(archive));
  EXPECT_EQ(Listed(), std::vector<std::string>());
}

// An archive of 200 bytes: each entry's figure is where its data starts,
// halves going to the even neighbour (12.5 and 37.5); the end says 100 with
// the last path, also after an archive without entries (its check value alone).
TEST_F(Extraction, ProgressNamesEachEntryWhereItsDataStartsAndTheLastAtTheEnd) {
  gCalls.clear();
  ASSERT_EQ(Extract(Archive(Entry("abc", "12") + Entry("xyz", std::string(98, 'x'))), nullptr, Note), kExtractOk);
  ASSERT_EQ(Extract(Bytes(4, 0xFF), nullptr, Note), kExtractOk);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"abc 12", "abc 12", "xyz 38", "xyz 38", "xyz 100", "xyz 100"}));
#ifdef _WIN32
  // The setup's own step, with a stand-in for its executable: the pump before
  // the scan's chunk and the copy's, as the entry's file is made, for its one
  // piece of output and at the end. A payload of the check value alone writes nothing.
  auto* own = twxtest::ReplaceImport("kernel32.dll", "GetModuleFileNameW", reinterpret_cast<void*>(StandInImage));
  for (const Bytes& payload : {Archive(Entry("step.txt", "made")), Bytes(4, 0xFF)}) {
    gImage = temp.Join("setup.exe");
    ASSERT_TRUE(twxtest::WriteWholeFile(gImage, "MZ" + PayloadMarker() + AsText(payload)));
    const std::string folder = temp.Join(std::to_string(payload.size()));
    MakeFolderPath(folder);
    gCalls.clear();
    EXPECT_TRUE(ExtractPayload(folder, folder + "\\payload.tmp", [] { gCalls.push_back("pump"); }));
    EXPECT_EQ(gCalls.size(), payload.size() > 4 ? 5u : 3u);
    EXPECT_EQ(twxtest::ListFolder(folder).size(), payload.size() > 4 ? 1u : 0u);
  }
  twxtest::ReplaceImport("kernel32.dll", "GetModuleFileNameW", own);
#endif
}

TEST_F(Extraction, FailedEntriesGiveSixAndKeepWhatWasWrittenBefore) {
  const Bytes content = FromText("payload");
  const uint32_t check = Check(content);
  Bytes overlong = Record("long.bin", 7, StreamFor(content), check);
  overlong[2 + 8 + 4 + 4 + 4] += 4;  // data length field, low byte: runs into the check value
  // What, the entry, whether it runs to the body's end, what its file holds afterwards.
  const std::tuple<const char*, Bytes, bool, const char*> kRows[] = {
      {"a data byte more than the stream takes", Record("e.bin", 7, StreamFor(content) + Bytes{0}, check), 0,
       "payload"},
      {"wrong length", Record("e.bin", 8, StreamFor(content), check), 0, "payload"},
      {"wrong contents check", Record("e.bin", 7, StreamFor(content), check ^ 1), 0, "payload"},
      {"data past the body", overlong, 1, "<missing>"},
      {"a record cut short", Bytes{5, 0, 'a', 'b'}, 1, "<missing>"}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::get<0>(row));
    DeleteFilePath(Path("e.bin"));
    const Bytes after = std::get<2>(row) ? Bytes() : Entry("never.txt", "x");
    EXPECT_EQ(Extract(Archive(Entry("first.txt", "ok") + std::get<1>(row) + after)), kExtractBadEntry);
    EXPECT_EQ(Read("first.txt"), "ok");
    EXPECT_EQ(Read("never.txt"), "<missing>");
    EXPECT_EQ(Read("e.bin"), std::get<3>(row)) << "what was written before the failure";
    EXPECT_NE(FileDosTime(Path("e.bin")), kSomeTime) << "no time stamp on a failed entry";
  }
  const Bytes zeros(100000, 0);  // never more than the listed length is written
  EXPECT_EQ(Extract(Archive(Record("bomb.bin", 10, StreamFor(zeros), Check(zeros)))), kExtractBadEntry);
  EXPECT_LE(Read("bomb.bin").size(), 10u);
}

TEST_F(Extraction, UnsafeNamesAndOverlongPathsNeverWriteAnythingAnywhere) {
  std::string longest;  // a path at the platform's limit, in components of 200, its folder within Windows' 248
  const size_t room = kPlatformPathLimit - destination.size() - 1;
  while (longest.size() + 213 < room) longest += std::string(200, 'n') + "\\";
  longest += std::string(room - longest.size(), 'n');
  for (const std::string& name : std::vector<std::string>{
           "", "\\abs.txt", "/abs.txt", "C:\\x.txt", "C:x.txt", "..\\escape.txt", "a\\..\\..\\escape.txt", "a\\..",
           "sub/../x.txt", "stream.txt:hidden", "tab\tname", ". .\\x.txt", "...\\x.txt", "a\\\\b.txt", "trailing\\",
           "CON", "Help\\nul.txt", "com1", "LPT9.log", "NUL ", "CON .txt", "aux  ..txt", "CONIN$", "CLOCK$", "COM0",
           "lpt\xB2.txt", longest + "n"}) {
    SCOPED_TRACE(name.substr(0, 40));
    EXPECT_EQ(Extract(Archive(Entry("first.txt", "ok") + Entry(name, "evil"))), kExtractBadEntry);
    EXPECT_EQ(CurrentEntryPath(), Path(name)) << "the failure names the entry that failed";
    EXPECT_EQ(Listed(), std::vector<std::string>{"first.txt"});
    EXPECT_EQ(twxtest::ListFolder(temp.Path()).size(), 1u) << "nothing beside the destination";
  }
  for (const char* name : {"User Defined(Other).TWL", "cone\\x", "COM10", ".profile", "a..b", "CONSOLE", "LPT\xB9\xB9"})
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  // The system splits a name only at backslashes that are characters of its
  // code page: the second byte 0x5C of a character of 932, 936 or 950 is none.
  const std::tuple<const char*, unsigned, bool> kDoubleByte[] = {
      {"\x95\\..\\x.txt", 932, true}, {"\x95\\..\\x.txt", 1252, false}, {"\x81\\CON", 936, true},
      {"\x81\\CON", 1252, false},     {"\xA5\\\\x", 950, true},          {"\xA5\\\\x", 1252, false}};
  for (const auto& row : kDoubleByte)
    EXPECT_EQ(IsSafeEntryName(std::get<0>(row), twxtest::LeadBytesOf(std::get<1>(row))), std::get<2>(row))
        << std::get<0>(row) << " in " << std::get<1>(row);
  ASSERT_EQ(Extract(Archive(Entry(longest, "at the limit"))), kExtractOk);
  EXPECT_EQ(Read(longest), "at the limit");
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
                {"name.txt", false, false, "name.txt", kExtractOk},
                {"folder", true, false, "folder", kExtractOk},
                {"hard.txt", false, true, "hard.txt", kExtractOk},
                {kTemporaryArchiveName, false, false, nullptr, kExtractOk},
                {kTemporaryArchiveName, false, true, nullptr, kExtractOk}};
  std::string unmade;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.link);
    const std::string outside = temp.Join("outside" + std::to_string(&c - kCases)), outsideFile = outside + ".txt";
    MakeFolderPath(outside);
    ASSERT_TRUE(twxtest::WriteWholeFile(outsideFile, "keep"));
    ASSERT_EQ(SetAttributes(outsideFile, kAttrReadOnly), 0u);
    // Wine removes the folder a link leads to instead of the link.
    if ((c.toFolder && c.code == kExtractOk && twxtest::RunningUnderWine()) ||
        !twxtest::MakeLink(c.toFolder ? outside : outsideFile, Path(c.link), c.hard)) {
      unmade += std::string(" ") + c.link + (c.hard ? " (hard)" : "");
      continue;
    }
    if (c.entry == nullptr) {
      EXPECT_TRUE(CopyArchiveOut(source, Path(c.link), nullptr));
      EXPECT_EQ(Read(c.link), "the archive's bytes");
    } else {
      EXPECT_EQ(Extract(Archive(Entry(c.entry, "evil"))), c.code);
      if (c.code == kExtractOk) {
        EXPECT_EQ(Read(c.entry), "evil");
        EXPECT_EQ(PathKind(Path(c.entry), false), kPathFile) << "the link was replaced";
      }
    }
    EXPECT_TRUE(twxtest::ListFolder(outside).empty());
    EXPECT_EQ(twxtest::ReadWholeFileOr(outsideFile, ""), "keep");
    EXPECT_TRUE(twxtest::IsReadOnly(outsideFile));
    twxtest::RemoveTree(Path(c.link));
  }
  if (!unmade.empty()) GTEST_SKIP() << "this system cannot make or remove these links:" << unmade;
}

// The earlier file turns into a folder while its entry is written: the copy
// beside it cannot take its place.
std::string swapPath;
void SwapForFolder(const char*, int32_t) {
  if (!swapPath.empty()) DeleteFilePath(swapPath), MakeFolderPath(swapPath + "\\x"), swapPath.clear();
}

TEST_F(Extraction, ADestinationNameThatCannotBeTakenFailsAndKeepsTheVerifiedCopy) {
  // An empty destination would put the entries at the root of the drive.
  ASSERT_TRUE(twxtest::WriteWholeFile(archive, AsText(Archive(Entry("twx-root-probe.txt", "x")))));
  EXPECT_EQ(ExtractArchive(archive.c_str(), "\\\\", nullptr, nullptr), kExtractCannotCreate);
  EXPECT_TRUE(IsExistingFile(archive));
  EXPECT_FALSE(IsExistingFile("\\twx-root-probe.txt"));
  MakeFolderPath(Path("taken"));  // an entry's name taken by a folder
  EXPECT_EQ(Extract(Archive(Entry("taken", "x"))), kExtractCannotCreate);
  ASSERT_TRUE(twxtest::WriteWholeFile(Path("data.db"), "old"));
  swapPath = Path("data.db");
  EXPECT_EQ(Extract(Archive(Entry("data.db", "new")), nullptr, SwapForFolder), kExtractCannotCreate);
  EXPECT_EQ(Read("data.db.$$$"), "new") << "the earlier file is gone: the verified copy is all there is";
  EXPECT_EQ(Listed(), (std::vector<std::string>{"data.db", "data.db.$$$", "taken"}));
}

// The current folder and the default extension complete a name, unless it has
// one (a dot in a folder's name is none); an empty name must not become
// "<current folder>\\.vhz", which would be deleted.
TEST_F(Extraction, TheArchivesNameIsCompletedAndAnEmptyOneIsNone) {
  const std::string here = CurrentFolder(), stray = here + (here.back() == '\\' ? "" : "\\") + ".vhz";
  ASSERT_TRUE(twxtest::WriteWholeFile(stray, "not the setup's"));
  EXPECT_EQ(ExtractArchive("", destination.c_str(), nullptr, nullptr), kExtractNoArchive);
  EXPECT_EQ(twxtest::ReadWholeFileOr(stray, ""), "not the setup's");
  DeleteFilePath(stray);
  EXPECT_EQ(ResolveArchiveName("setup", ".vhz"), stray.substr(0, stray.size() - 4) + "setup.vhz");
  EXPECT_EQ(ResolveArchiveName("C:\\A.B\\C", ".vhz"), "C:\\A.B\\C.vhz");
  EXPECT_EQ(ResolveArchiveName("D:x.pak", ".vhz"), "D:x.pak");
}

TEST(Payload, TheFirstUpperCaseMarkerCountsAcrossChunksAndAFileWithoutOneIsTheArchive) {
  twxtest::TempFolder temp;
  const std::string path = temp.Join("setup.exe"), marker = PayloadMarker();
  for (size_t imageSize : {size_t(0), size_t(65536 - 24), size_t(65536 - 23), size_t(65536), size_t(200000)}) {
    const std::string image = AsText(twxtest::RandomBytes(imageSize, 3));
    ASSERT_TRUE(twxtest::WriteWholeFile(path, image + marker + "\xFF\xFF\xFF\xFF"));
    EXPECT_EQ(FindArchiveOffset(path, nullptr), static_cast<int64_t>(imageSize + marker.size())) << imageSize;
  }
  const std::string lower = vhz::kPayloadMarkerLower;  // the setup's own copy of the marker text
  ASSERT_TRUE(twxtest::WriteWholeFile(path, "MZ" + lower + marker + marker));
  EXPECT_EQ(FindArchiveOffset(path, nullptr), static_cast<int64_t>(2 + 2 * marker.size()));
  ASSERT_TRUE(twxtest::WriteWholeFile(path, "MZ" + lower + std::string(70000, 'x')));
  EXPECT_EQ(FindArchiveOffset(path, nullptr), 0);
}

// The image header of a setup, with its security entry: PE32 or PE32+, the
// count of data directory entries and the optional header's size as given.
Bytes ImageHeader(bool plus, uint32_t entries, uint32_t optionalSize, uint32_t table, uint32_t tableSize) {
  Bytes h(0x80 + 24 + 240, 0);
  h[0] = 'M', h[1] = 'Z', h[0x3C] = 0x80;
  std::memcpy(&h[0x80], "PE\0\0", 4);
  const size_t optional = 0x80 + 24, directory = optional + (plus ? 112 : 96);
  PutLE(&h[0x80 + 4 + 16], optionalSize, 2);
  PutLE(&h[optional], plus ? 0x20B : 0x10B, 2);
  PutLE(&h[directory - 4], entries, 4);
  PutLE(&h[directory + 4 * 8], table, 4);
  PutLE(&h[directory + 4 * 8 + 4], tableSize, 4);
  return h;
}

TEST(Payload, ASignedSetupsArchiveEndsWhereItsCertificateTableStarts) {
  struct TCase {
    const char* what;
    bool plus;
    uint32_t entries, optionalSize, table, tableSize;
    int64_t archiveOffset, expectedEnd;  // in a file of 5000 bytes
  };
  const TCase kCases[] = {
      {"unsigned", false, 16, 224, 0, 0, 1000, 5000},
      {"signed PE32", false, 16, 224, 4000, 1000, 1000, 4000},
      {"signed PE32+", true, 16, 240, 4000, 992, 1000, 4000},
      {"table inside the image", false, 16, 224, 900, 100, 1000, 5000},
      {"table where the archive starts", false, 16, 224, 1000, 100, 1000, 5000},
      {"table past the end of the file", true, 16, 240, 4000, 1001, 1000, 5000},
      {"no security entry counted", false, 4, 224, 4000, 1000, 1000, 5000},
      {"security entry outside the optional header", false, 16, 128, 4000, 1000, 1000, 5000},
      {"no marker: the whole file", false, 16, 224, 4000, 1000, 0, 5000},
  };
  for (const TCase& c : kCases) {
    const Bytes head = ImageHeader(c.plus, c.entries, c.optionalSize, c.table, c.tableSize);
    EXPECT_EQ(ArchiveEnd(head.data(), head.size(), c.archiveOffset, 5000), c.expectedEnd) << c.what;
    EXPECT_EQ(ArchiveEnd(head.data(), 0x80 + 24 + 100, c.archiveOffset, 5000), 5000) << c.what << ", headers cut short";
  }
}

}  // namespace
