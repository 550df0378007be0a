// The post-install file work and the toolbar layout bytes, natively and under
// Wine: delta patches, whole-file writes that leave the old file whole when they
// fail, the user data kept across a re-installation, and an earlier version's files.
#include <gtest/gtest.h>

#include "FileUtils.h"
#include "GlobalData.h"
#include "IEToolbarLogic.h"
#include "PatchBytes.h"
#include "PostSetLogic.h"
#include "TestSupport.h"

namespace {

using namespace patchbytes;

const uint32_t kId = 0x1234;

// A record of a marker, a command group, a command and a state.
Bytes OtherRecord(uint32_t marker, uint32_t command) { return Le(marker, 4) + Bytes(16, 0x40) + Le(command, 4) + Le(2, 4); }
Bytes LayoutOf(const std::vector<Bytes>& records) {
  Bytes layout = {0x0C, 0x00, 0x00, 0x00};
  for (const Bytes& record : records) layout = layout + record;
  return layout;
}

TEST(ToolbarLayout, TheButtonGoesAfterTheFirstMarkedRecordOrAtTheEndAndOnlyOnce) {
  Bytes ours = LayoutOf({});
  ASSERT_EQ(InsertToolbarButton(&ours, kId), kButtonInserted);
  ASSERT_EQ(ours.size(), 4 + kToolbarRecordSize);
  ours.erase(ours.begin(), ours.begin() + 4);
  EXPECT_EQ(Bytes(ours.begin() + 20, ours.begin() + 24), Le(kId, 4));
  std::vector<Bytes> marked;
  for (uint32_t i = 0; i < 8; ++i) marked.push_back(OtherRecord(i == 2 || i == 5 ? 0xFFFFFFFFu : i, 100 + i));
  const std::vector<Bytes> lastMarked = {OtherRecord(0, 100), OtherRecord(0xFFFFFFFFu, 102)};
  const std::vector<Bytes> idAsMarker = {OtherRecord(0, 100), OtherRecord(kId, 102)};  // a marker is not the button
  const struct {
    std::vector<Bytes> records;
    size_t at;
  } kRows[] = {{marked, 3}, {lastMarked, 2}, {idAsMarker, 2}};
  for (const auto& row : kRows) {
    Bytes layout = LayoutOf(row.records);
    std::vector<Bytes> want = row.records;
    want.insert(want.begin() + row.at, ours);
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kButtonInserted);
    EXPECT_EQ(layout, LayoutOf(want)) << row.at;
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kButtonPresent);
    EXPECT_EQ(layout, LayoutOf(want));
  }
  // Sizes below the header too: in unsigned arithmetic they would pass as whole records.
  for (size_t size : {0u, 3u, 5u, 31u, 33u, 4u + 2 * 28u - 1u}) {
    Bytes layout(size, 0xFF);
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kLayoutUnknown) << size;
    EXPECT_EQ(layout, Bytes(size, 0xFF)) << size;
  }
}

TEST(PostSetTables, IconsSwitchAtXpLanguagesGoByPrimaryLanguageSetNamesInAnyAsciiCase) {
  const auto values = [](uint32_t major, uint32_t minor) {
    ComposeExtensionValues("C:\\Trawlix\\Trawlix.exe", major, minor);
    return std::string(ExtensionValues[4].Value) + "|" + ExtensionValues[5].Value;
  };
  EXPECT_EQ(values(4, 10), values(5, 0));
  EXPECT_NE(values(5, 0), values(5, 1));
  EXPECT_EQ(values(5, 1), values(10, 0));
  for (uint16_t chinese : {0x0404, 0x0804, 0x7C04}) EXPECT_EQ(LanguageNameOf(chinese), LanguageNameOf(0x0C04));
  for (uint16_t none : {0x041E, 0x0000, 0x0400}) EXPECT_EQ(LanguageNameOf(none), "") << none;
  EXPECT_EQ(ConvertEngineSetNames("set=search in entir\xc9 web|SeT=sEaRcH In EnTiRe WeB|set=search in entire web"),
            "set=search in entir\xc9 web|SET=Search in Web|SET=Search in Web");  // a byte above 127 is no letter
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
  bool Exists(const std::string& relative) { return IsExistingFile(Path(relative)); }
  bool Patch(const std::string& base, const std::string& output, const std::string& target) {
    Write("p.pch", AsText(MakePatch(FromText(Read(base)), FromText(target))));
    return ApplyPatch(Path(base), Path(output), Path("p.pch"));
  }
  twxtest::TempFolder temp;
};
std::string Random(size_t count, uint32_t seed) { return AsText(twxtest::RandomBytes(count, seed)); }

TEST_F(FileWork, WritesThatFailHalfwayLeaveTheOldFileWholeAndNoTemporaryFile) {
  const std::string old = "Trawlmark Engine Registry\r\n" + Random(20000, 2);
  const struct {
    const char* what;
    bool (*run)(FileWork*);
  } kRows[] = {{"whole file", [](FileWork* t) { return WriteStringToFile(Random(9000, 3), t->Path("TWXData\\Entry.db")); }},
               {"in-place patch", [](FileWork* t) { return t->Patch("TWXData\\Entry.db", "TWXData\\Entry.db", Random(60000, 4)); }},
               {"restore of the user's copy", [](FileWork* t) {
                  PostSetWriteBytes = WriteFileBytes;
                  t->Write("TWXData\\Entry.db", "Trawlmark Engine Registry\r\n" + Random(30000, 5));
                  EXPECT_TRUE(SaveCustomFiles(t->temp.Path()));
                  t->Write("TWXData\\Entry.db", "Trawlmark Engine Registry\r\n" + Random(20000, 2));  // the extracted copy
                  PostSetWriteBytes = WriteHalfThenFail;
                  RestoreCustomFiles(t->temp.Path());
                  return false;
                }}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    Write("TWXData\\Entry.db", old);
    PostSetWriteBytes = WriteHalfThenFail;
    EXPECT_FALSE(row.run(this));
    PostSetWriteBytes = WriteFileBytes;
    EXPECT_TRUE(Read("TWXData\\Entry.db") == old);
    EXPECT_FALSE(Exists("TWXData\\Entry.db.$$$"));
    EXPECT_FALSE(Exists("p.pch"));
  }
  ASSERT_TRUE(WriteStringToFile(old + std::string("\0\x1A", 2), Path("TWXData\\Entry.db")));
  EXPECT_TRUE(Read("TWXData\\Entry.db") == old + std::string("\0\x1A", 2));
  EXPECT_FALSE(WriteStringToFile(old, Path("no such folder\\data.bin")));
}

TEST_F(FileWork, UserFilesWithTheirHeaderComeBackAndOnlyTheSetsLoseTheObsoleteSetName) {
  for (TCustomFileToSave& record : CustomFiles) record.Content = "stale";
  EXPECT_TRUE(SaveCustomFiles(temp.Path()));  // a fresh installation: nothing to capture
  Write("TWXData\\Entry.db", "extracted");
  RestoreCustomFiles(temp.Path());
  EXPECT_EQ(Read("TWXData\\Entry.db"), "extracted");
  const std::string query = std::string("Trawlmark Query Folder\r\nQuery=cats|SET=SEARCH IN ENTIRE WEB\r\n\0\xff", 64);
  const std::string entry = "Trawlmark Engine Registry\r\nENGINE=Web|set=search in entire web\r\n";
  const std::string sets = "Trawlmark Engine Sets\r\nSET=Search in Entire Web\r\nSET=SEARCH IN ENTIRE\tWEB";
  const std::string converted = "Trawlmark Engine Sets\r\nSET=Search in Web\r\nSET=SEARCH IN ENTIRE\tWEB";
  // A damaged header, or one in another case, is not captured; after a failed
  // installation the files go back as they were.
  const struct {
    std::string query, sets;
    bool convert;
    std::string querySaved, setsSaved;
  } kRows[] = {{query.substr(0, 21), "t" + sets.substr(1), true, "", ""},
               {query, sets, true, query, converted},
               {query, sets, false, query, sets}};
  for (const auto& row : kRows) {
    Write("Queries\\NONAME.TWX", row.query);
    Write("TWXData\\Entry.db", entry);
    Write("TWXData\\Set.db", row.sets);
    EXPECT_TRUE(SaveCustomFiles(temp.Path()));
    Write("Queries\\NONAME.TWX", "Trawlmark Query Folder\r\n");  // what the extraction puts there
    Write("TWXData\\Entry.db", "Trawlmark Engine Registry\r\n");
    Write("TWXData\\Set.db", "Trawlmark Engine Sets\r\n");
    RestoreCustomFiles(temp.Path(), row.convert);
    EXPECT_TRUE(Read("Queries\\NONAME.TWX") == (row.querySaved.empty() ? "Trawlmark Query Folder\r\n" : query));
    EXPECT_EQ(Read("TWXData\\Entry.db"), entry);
    EXPECT_EQ(Read("TWXData\\Set.db"), row.setsSaved.empty() ? "Trawlmark Engine Sets\r\n" : row.setsSaved);
  }
}

int pumps = 0;
void CountPump() { ++pumps; }

TEST_F(FileWork, ObsoleteFilesGoAndTheirFoldersOnceEmpty) {
  for (const char* file : {"Filters\\Markup.ini", "Filters\\AuxFiles\\mkphelp.ini", "renew.exe",
                           "Language\\Flags\\Chinese Traditional(BIG5).ico"})
    Write(file, "old");
  Write("Filters\\Textor.dll", "current");
  Write("Library\\AuxFiles\\report.txt", "the user's");
  RemoveObsoleteFiles(temp.Path(), CountPump);
  EXPECT_EQ(pumps, kObsoleteFileCount);
  for (const char* file : ObsoleteFiles) EXPECT_FALSE(IsExistingFile(temp.Path() + file)) << file;
  EXPECT_FALSE(IsExistingFolder(Path("Filters\\AuxFiles")));
  EXPECT_FALSE(IsExistingFolder(Path("Language\\Flags")));
  EXPECT_EQ(Read("Filters\\Textor.dll"), "current");
  EXPECT_EQ(Read("Library\\AuxFiles\\report.txt"), "the user's");
}

TEST_F(FileWork, PatchesBuildTheirOutputOrLeaveItAsItWasAndAreDeletedEitherWay) {
  const std::string base = Random(40000, 10), previous = "the output of an earlier installation";
  Write("Trawlix.exe", base);
  Write("SrchCfg.exe", previous);
  const Bytes otherBase = twxtest::RandomBytes(40000, 17);
  const struct {
    const char* what;
    Bytes patch;
  } kBad[] = {{"made for another base", MakePatch(otherBase, Bytes(otherBase.begin(), otherBase.begin() + 30000))},
              {"not a patch", FromText("not a patch stream at all")},
              {"copying beyond the base", Stored(Copy(39000, 2000) + End(0))}};
  for (const auto& row : kBad) {
    Write("p.pch", AsText(row.patch));
    EXPECT_FALSE(ApplyPatch(Path("Trawlix.exe"), Path("SrchCfg.exe"), Path("p.pch"))) << row.what;
    EXPECT_EQ(Read("SrchCfg.exe"), previous) << row.what;
    EXPECT_FALSE(Exists("p.pch")) << row.what;
  }
  EXPECT_FALSE(Patch("Missing.exe", "SrchCfg.exe", base));
  EXPECT_FALSE(ApplyPatch(Path("Trawlix.exe"), Path("SrchCfg.exe"), Path("p.pch"))) << "no patch file";
  EXPECT_EQ(Read("SrchCfg.exe"), previous);
  // Outputs one byte larger than the first buffer, and exactly as large; in place.
  for (const std::string& target : {base.substr(0, 15000) + Random(kPatchHeadroom + 1, 11) + base.substr(30000),
                                    base + Random(kPatchHeadroom, 12)}) {
    EXPECT_TRUE(Patch("Trawlix.exe", "SrchCfg.exe", target));
    EXPECT_TRUE(Read("SrchCfg.exe") == target);
    EXPECT_TRUE(Patch("Trawlix.exe", "Trawlix.exe", target));
    EXPECT_TRUE(Read("Trawlix.exe") == target);
    EXPECT_FALSE(Exists("p.pch") || Exists("Trawlix.exe.$$$"));
    Write("Trawlix.exe", base);
  }
}

}  // namespace
