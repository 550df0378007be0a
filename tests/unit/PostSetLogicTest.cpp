// The post-install file work and the toolbar layout bytes: patches, failing
// writes that leave the old file whole, the user data kept.
#include <gtest/gtest.h>

#include <new>

#include "FileUtils.h"
#include "IEToolbarLogic.h"
#include "PatchBytes.h"
#include "PostSetLogic.h"
#include "Product.h"
#include "TestSupport.h"

namespace {

using namespace patchbytes;

const uint32_t kId = 0x1234;
// A layout: a 4-byte header, then records of a marker, a command group, a command and a state.
Bytes OtherRecord(uint32_t marker) { return Le(marker, 4) + Bytes(16, 0x40) + Le(100, 4) + Le(2, 4); }
Bytes LayoutOf(std::vector<Bytes> records, const Bytes& ours = Bytes(), size_t at = 0) {
  if (!ours.empty()) records.insert(records.begin() + at, ours);
  Bytes layout = {0x0C, 0x00, 0x00, 0x00};
  for (const Bytes& record : records) layout = layout + record;
  return layout;
}

TEST(ToolbarLayout, TheButtonGoesAfterTheFirstMarkedRecordOrAtTheEndAndOnlyOnce) {
  Bytes empty = LayoutOf({});
  ASSERT_EQ(InsertToolbarButton(&empty, kId), kButtonInserted);
  ASSERT_EQ(empty.size(), 4 + kToolbarRecordSize);
  const Bytes ours = Part(empty, 4);
  EXPECT_EQ(Part(ours, 20, 24), Le(kId, 4)) << "the button's command";
  const Bytes marked = OtherRecord(0xFFFFFFFFu), other = OtherRecord(0), idAsMarker = OtherRecord(kId);
  const std::pair<std::vector<Bytes>, size_t> kRows[] = {{{other, other, marked, other, other, marked, other}, 3},
                                                         {{other, marked}, 2},
                                                         {{other, idAsMarker}, 2}};  // a marker is not the button
  for (const auto& row : kRows) {
    Bytes layout = LayoutOf(row.first);
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kButtonInserted);
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kButtonPresent);
    EXPECT_EQ(layout, LayoutOf(row.first, ours, row.second)) << row.second;
  }
  // Sizes below the header too: in unsigned arithmetic they would pass as whole records.
  for (size_t size : {0u, 3u, 5u, 31u, 33u, 4u + 2 * 28u - 1u}) {
    Bytes layout(size, 0xFF);
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kLayoutUnknown) << size;
    EXPECT_EQ(layout, Bytes(size, 0xFF)) << size;
  }
}

TEST(ToolbarValues, TheIconsHaveNoAlphaBeforeXp) {
  const auto icons = [](uint32_t major, uint32_t minor) {
    const std::vector<TNameValue> values = ComposeExtensionValues("C:\\Trawlix\\Trawlix.exe", major, minor);
    return values[4].Value + "|" + values[5].Value;
  };
  EXPECT_EQ(icons(5, 0), "C:\\Trawlix\\Trawlix.exe,1002|C:\\Trawlix\\Trawlix.exe,1001");
  EXPECT_EQ(icons(5, 1), "C:\\Trawlix\\Trawlix.exe,1004|C:\\Trawlix\\Trawlix.exe,1003");
}

// Writes half of what it is given, then fails, as a disk that fills up does.
bool WriteHalfThenFail(TFileHandle file, const void* buffer, int32_t count) {
  WriteFileBytes(file, buffer, count / 2);
  return false;
}

class FileWork : public ::testing::Test {
 public:
  void TearDown() override { PostSetWriteBytes = WriteFileBytes; }
  std::string Path(const std::string& relative) { return temp.Join(relative); }
  std::string Read(const std::string& relative) { return twxtest::ReadWholeFileOr(Path(relative), "<none>"); }
  void Write(const std::string& relative, const std::string& bytes) {
    MakeFolderPath(ParentPart(Path(relative)));
    ASSERT_TRUE(twxtest::WriteWholeFile(Path(relative), bytes));
  }
  bool Patch(const std::string& base, const std::string& output, const std::string& target) {
    Write("p.pch", AsText(MakePatch(FromText(Read(base)), FromText(target))));
    return ApplyPatch(Path(base), Path(output), Path("p.pch"));
  }
  twxtest::TempFolder temp;
};
std::string Random(size_t count, uint32_t seed) { return AsText(twxtest::RandomBytes(count, seed)); }
const char kEntry[] = "TWXData\\Entry.db", kQuery[] = "Queries\\NONAME.TWX", kSets[] = "TWXData\\Set.db";
typedef std::pair<const char*, std::string> TFile;

TEST_F(FileWork, AWriteOrARestoreThatFailsHalfwayLeavesTheOldFileWholeAndTheUsersCopyForTheNextRun) {
  const std::string old = "Trawlmark Engine Registry\r\n" + Random(20000, 2),
                    user = "Trawlmark Engine Registry\r\n" + Random(30000, 5);
  Write(kEntry, user);
  PostSetWriteBytes = WriteHalfThenFail;
  EXPECT_FALSE(SaveCustomFiles(temp.Path())) << "without the user's copy on the disk nothing may be replaced";
  PostSetWriteBytes = WriteFileBytes;
  ASSERT_TRUE(SaveCustomFiles(temp.Path()));
  Write(kEntry, old);  // what the extraction leaves
  PostSetWriteBytes = WriteHalfThenFail;
  EXPECT_FALSE(WriteStringToFile(Random(9000, 3), Path(kEntry)));
  EXPECT_FALSE(RestoreCustomFiles(temp.Path())) << "a user's file not written back is no success";
  PostSetWriteBytes = WriteFileBytes;
  EXPECT_TRUE(Read(kEntry) == old);
  EXPECT_TRUE(Read(SaveCopyPathOf(kEntry)) == SaveCopyOf(user)) << "the user's copy stays for the next run";
  EXPECT_EQ(twxtest::ListFolder(Path("TWXData")).size(), 2u) << "and nothing else";
  ASSERT_TRUE(WriteStringToFile(old + std::string("\0\x1A", 2), Path(kEntry)));
  EXPECT_TRUE(Read(kEntry) == old + std::string("\0\x1A", 2));
}

// The capture after a setup that was cut off: a whole save copy is the user's
// over whatever the file holds by then (the payload's, perhaps); a damaged copy,
// or one of another file, never. The copy is on the disk before the extraction
// may replace the file, and gone once the file is back.
TEST_F(FileWork, TheNextRunTakesTheUsersBytesFromAWholeSaveCopyFirst) {
  const std::string none = "<none>", user = "Trawlmark Engine Registry\r\nmine", payload = "Trawlmark Engine Registry\r\n",
                    whole = SaveCopyOf(user), copy = SaveCopyPathOf(kEntry);
  std::string changed = whole;
  changed[30] ^= 0x20;
  const struct {
    std::string copy, file, captured;
  } kRows[] = {{whole, user, user},     {whole, none, user},      {whole, payload, user},
               {changed, user, user},   {changed, payload, payload}, {whole.substr(1), none, none},
               {SaveCopyOf("Trawlmark Query Folder"), payload, payload},
               {none, user, user},      {none, none, none},       {none, payload, payload}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(&row - kRows);
    for (const std::string& file : {Path(kEntry), Path(copy)}) DeleteFilePath(file);
    if (row.copy != none) Write(copy, row.copy);
    if (row.file != none) Write(kEntry, row.file);
    ASSERT_TRUE(SaveCustomFiles(temp.Path()));
    EXPECT_TRUE(Read(copy) == (row.captured == none ? row.copy : SaveCopyOf(row.captured)));
    Write(kEntry, "extracted");
    EXPECT_TRUE(RestoreCustomFiles(temp.Path()));
    EXPECT_EQ(Read(kEntry), row.captured == none ? "extracted" : row.captured);
    EXPECT_EQ(Read(copy), none);
  }
}

// How a row of the test below ends the work steps around the capture: the
// extraction leaves the payload's files (their headers), the post-install
// sequence writes the user's back; then either may fail or throw.
enum TEnding { kCompletes, kFails, kThrows };
TEnding gExtractEnds, gPostInstallEnds;
bool Ends(TEnding ending) {
  if (ending == kThrows) throw std::bad_alloc();
  return ending == kCompletes;
}
bool ExtractThenEnd(const std::string& destination, TMessagePump) {
  for (const TCustomFileToSave& file : CustomFiles)
    twxtest::WriteWholeFile(destination + "\\" + file.FileName, file.Header + "\r\n");
  return Ends(gExtractEnds);
}
bool RestoreThenEnd(const std::string& destination, TMessagePump) {
  return RestoreCustomFiles(destination) && Ends(gPostInstallEnds);
}

TEST_F(FileWork, UserFilesWithTheirHeaderComeBackAndOnlyTheSetsLoseTheObsoleteSetName) {
  const std::string queryHead = "Trawlmark Query Folder\r\n", setsHead = "Trawlmark Engine Sets\r\n",
                    entryHead = "Trawlmark Engine Registry\r\n";
  const std::string query = queryHead + std::string("Query=cats|SET=SEARCH IN ENTIRE WEB\r\n\0\xff", 40),
                    entry = entryHead + "ENGINE=Web|set=search in entire web\r\n",
                    sets = setsHead + "SET=Search in Entire Web\r\nSET=SEARCH IN ENTIRE\tWEB";
  // A damaged header, or one in another case, is not captured. After a step
  // that failed or threw (after the restore, too) the files go back as the
  // user had them.
  const struct {
    std::string query, sets;
    TEnding extract, postInstall;
    std::string querySaved, setsSaved;
  } kRows[] = {{query.substr(0, 21), "t" + sets.substr(1), kCompletes, kCompletes, queryHead, setsHead},
               {query, sets, kCompletes, kCompletes, query, setsHead + "SET=Search in Web\r\nSET=SEARCH IN ENTIRE\tWEB"},
               {query, sets, kCompletes, kFails, query, sets},
               {query, sets, kCompletes, kThrows, query, sets},
               {query, sets, kThrows, kCompletes, query, sets}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(&row - kRows);
    for (const TFile& file : std::vector<TFile>{{kQuery, row.query}, {kEntry, entry}, {kSets, row.sets}})
      Write(file.first, file.second);
    gExtractEnds = row.extract;
    gPostInstallEnds = row.postInstall;
    EXPECT_EQ(RunWorkSteps(temp.Path(), nullptr, ExtractThenEnd, RestoreThenEnd),
              row.extract == kCompletes && row.postInstall == kCompletes);
    EXPECT_EQ(Read(kQuery), row.querySaved);
    EXPECT_TRUE(Read(kEntry) == entry) << "the engine registry comes back";
    EXPECT_EQ(Read(kSets), row.setsSaved);
    EXPECT_EQ(twxtest::ListFolder(Path("TWXData")), (std::vector<std::string>{"Entry.db", "Set.db"}));
  }
}

// What the installation holds besides them stays: the product's other files, the user's files.
TEST_F(FileWork, ObsoleteFilesGoWithTheFoldersTheyLeaveEmptyAndNothingElse) {
  const char* const kKept[] = {"Filters\\Textor.dll", "Language\\English.TWL", "Queries\\renew.dat"};
  for (const char* file : ObsoleteFiles) Write(file + 1, "old");
  for (const char* kept : kKept) Write(kept, "kept");
  RemoveObsoleteFiles(temp.Path(), nullptr);
  for (const char* file : ObsoleteFiles) EXPECT_EQ(Read(file + 1), "<none>") << file;
  EXPECT_FALSE(IsExistingFolder(Path("Filters\\AuxFiles")));
  EXPECT_FALSE(IsExistingFolder(Path("Language\\Flags")));
  for (const char* kept : kKept) EXPECT_EQ(Read(kept), "kept") << kept;
}

TEST_F(FileWork, PatchesBuildTheirOutputOrLeaveItAsItWasAndAreDeletedEitherWay) {
  const std::string base = Random(40000, 10), previous = "the output of an earlier installation";
  Write("Trawlix.exe", base);
  Write("SrchCfg.exe", previous);
  // One that does not decode (why not is the patch stream's test), then a missing base.
  Write("p.pch", "not a patch stream at all");
  EXPECT_FALSE(ApplyPatch(Path("Trawlix.exe"), Path("SrchCfg.exe"), Path("p.pch")));
  EXPECT_EQ(Read("p.pch"), "<none>");
  EXPECT_FALSE(Patch("Missing.exe", "SrchCfg.exe", base));
  EXPECT_EQ(Read("SrchCfg.exe"), previous);
  // Outputs one byte larger than the first buffer, and exactly as large; in place too.
  for (const std::string& target : {base.substr(0, 15000) + Random(kPatchHeadroom + 1, 11) + base.substr(30000),
                                    base + Random(kPatchHeadroom, 12)}) {
    for (const char* output : {"SrchCfg.exe", "Trawlix.exe"}) {  // the second in place
      EXPECT_TRUE(Patch("Trawlix.exe", output, target)) << output;
      EXPECT_TRUE(Read(output) == target) << output;
    }
    EXPECT_EQ(twxtest::ListFolder(temp.Path()), (std::vector<std::string>{"SrchCfg.exe", "Trawlix.exe"}));
    Write("Trawlix.exe", base);
  }
}

}  // namespace
