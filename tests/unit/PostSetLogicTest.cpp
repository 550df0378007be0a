// The post-install file work and the toolbar layout bytes, natively and under
// Wine from the same source: delta patches, whole-file writes that must leave
// the old file whole when they fail, the user data kept across a
// re-installation, an earlier version's files, and the browser button's record.
#include <cstring>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "GlobalData.h"
#include "IEToolbarLogic.h"
#include "PatchMaker.h"
#include "PostSetLogic.h"
#include "TestSupport.h"

namespace {

using patchbytes::Bytes;
using patchbytes::Le;
using patchbytes::operator+;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }
std::string Random(size_t count, uint32_t seed) { return Text(twxtest::RandomBytes(count, seed)); }

// Equality of file contents without printing them whole.
::testing::AssertionResult Same(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                       << ", first difference at " << at;
}

// ---------------------------------------------------------------------------
// The toolbar layout: a 4-byte header, then records of a marker, a command
// group, a command and a state.

const uint32_t kId = 0x1234;
const uint8_t kLayoutGroup[16] = {0x80, 0x69, 0x79, 0x1E, 0xC5, 0x9C, 0xD1, 0x11,
                                  0xA8, 0x3F, 0x00, 0xC0, 0x4F, 0xC9, 0x9D, 0x61};

Bytes OtherRecord(uint32_t marker, uint32_t command) {
  Bytes record = Le(marker, 4);
  for (int i = 0; i < 16; ++i) record.push_back(static_cast<uint8_t>(0x40 + i));
  return record + Le(command, 4) + Le(2, 4);
}

Bytes LayoutOf(const std::vector<Bytes>& records) {
  Bytes layout = {0x0C, 0x00, 0x00, 0x00};
  for (const Bytes& record : records) layout = layout + record;
  return layout;
}

// The records after inserting the button into a layout of these records.
std::vector<Bytes> InsertInto(const std::vector<Bytes>& records) {
  Bytes layout = LayoutOf(records);
  EXPECT_EQ(InsertToolbarButton(&layout, kId), kButtonInserted);
  EXPECT_EQ(layout.size() % kToolbarRecordSize, 4u);
  EXPECT_EQ(Bytes(layout.begin(), layout.begin() + 4), LayoutOf({}));
  std::vector<Bytes> out;
  for (size_t at = 4; at + kToolbarRecordSize <= layout.size(); at += kToolbarRecordSize)
    out.push_back(Bytes(layout.begin() + static_cast<std::ptrdiff_t>(at),
                        layout.begin() + static_cast<std::ptrdiff_t>(at + kToolbarRecordSize)));
  return out;
}

TEST(ToolbarLayout, TheButtonGoesAfterTheFirstMarkedRecordOrAtTheEnd) {
  const Bytes ours = Le(kId, 4) + Bytes(kLayoutGroup, kLayoutGroup + 16) + Le(kId, 4) + Le(4, 4);
  EXPECT_EQ(InsertInto({}), std::vector<Bytes>{ours});
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < 8; ++i) records.push_back(OtherRecord(i == 2 || i == 5 ? 0xFFFFFFFFu : i, 100 + i));
  std::vector<Bytes> want = records;
  want.insert(want.begin() + 3, ours);
  EXPECT_EQ(InsertInto(records), want);
  // No marked record, or only the last one marked: appended. A marker that
  // happens to equal the identifier is not the button.
  for (uint32_t lastMarker : {kId, 0xFFFFFFFFu}) {
    records = {OtherRecord(0, 100), OtherRecord(1, 101), OtherRecord(lastMarker, 102)};
    want = records;
    want.push_back(ours);
    EXPECT_EQ(InsertInto(records), want);
  }
}

TEST(ToolbarLayout, APresentButtonAndLayoutsOfAnUnknownSizeAreLeftAlone) {
  // Found by its command wherever it stands, also after the marked record.
  const Bytes present = LayoutOf({OtherRecord(0xFFFFFFFFu, 100), OtherRecord(1, 101), OtherRecord(kId, kId)});
  Bytes copy = present;
  EXPECT_EQ(InsertToolbarButton(&copy, kId), kButtonPresent);
  EXPECT_EQ(copy, present);
  Bytes twice = LayoutOf({});
  EXPECT_EQ(InsertToolbarButton(&twice, kId), kButtonInserted);
  EXPECT_EQ(InsertToolbarButton(&twice, kId), kButtonPresent);
  // Sizes below the header too: in unsigned arithmetic they would pass as whole records.
  for (size_t size : {0u, 1u, 3u, 5u, 31u, 33u, 4u + 2 * 28u - 1u, 4u + 2 * 28u + 1u}) {
    Bytes layout(size, 0xFF);
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kLayoutUnknown) << size;
    EXPECT_EQ(layout, Bytes(size, 0xFF)) << size;
  }
}

TEST(PostSetTables, IconsByWindowsVersionLanguagesByPrimaryLanguageAndSetNamesInAnyAsciiCase) {
  const std::string exe = "C:\\Program Files\\VarnTech\\Trawlix\\Trawlix.exe";
  for (uint32_t version : {410u, 500u, 501u, 600u, 1000u}) {
    ComposeExtensionValues(exe, version / 100, version % 100);
    const bool xp = version >= 501;
    EXPECT_EQ(ExtensionValues[3].Value, exe);
    EXPECT_EQ(ExtensionValues[4].Value, exe + (xp ? ",1004" : ",1002")) << version;
    EXPECT_EQ(ExtensionValues[5].Value, exe + (xp ? ",1003" : ",1001")) << version;
  }
  EXPECT_EQ(LanguageNameOf(0x0809), "English");
  for (uint16_t chinese : {0x0404, 0x0804, 0x0C04, 0x7C04}) EXPECT_EQ(LanguageNameOf(chinese), "Chinese Traditional");
  for (uint16_t none : {0x041E, 0x0000, 0x0400}) EXPECT_EQ(LanguageNameOf(none), "") << none;
  // A byte above 127 is no letter: that name stays.
  EXPECT_EQ(ConvertEngineSetNames("set=search in entir\xc9 web|SeT=sEaRcH In EnTiRe WeB|set=search in entire web"),
            "set=search in entir\xc9 web|SET=Search in Web|SET=Search in Web");
}

// ---------------------------------------------------------------------------
// Whole files

// Writes half of what it is given, then fails, as a disk that fills up does.
bool WriteHalfThenFail(TFileHandle file, const void* buffer, int32_t count) {
  WriteFileBytes(file, buffer, count / 2);
  return false;
}

class FileWork : public ::testing::Test {
 protected:
  void TearDown() override { PostSetWriteBytes = WriteFileBytes; }
  std::string Path(const std::string& relative) { return temp_.Join(relative); }
  std::string Read(const std::string& relative) { return twxtest::ReadWholeFileOr(Path(relative), "<none>"); }
  void Write(const std::string& relative, const std::string& bytes) {
    MakeFolderPath(ParentPart(Path(relative)));
    ASSERT_TRUE(twxtest::WriteWholeFile(Path(relative), bytes));
  }
  bool Exists(const std::string& relative) { return IsExistingFile(Path(relative)); }
  twxtest::TempFolder temp_;
};

TEST_F(FileWork, WholeFilesRoundTripAndReplaceWhatWasThere) {
  const std::string bytes = Random(70000, 1) + std::string("\0\r\n\x1A", 4);
  std::string back;
  Write("data.bin", "old contents that are longer than nothing");
  ASSERT_TRUE(WriteStringToFile(bytes, Path("data.bin")));
  ASSERT_TRUE(ReadFileToString(Path("data.bin"), &back));
  EXPECT_TRUE(Same(back, bytes));
  ASSERT_TRUE(WriteStringToFile("", Path("data.bin")));
  EXPECT_EQ(Read("data.bin"), "");
  EXPECT_FALSE(ReadFileToString(Path("missing.bin"), &back));
  EXPECT_FALSE(WriteStringToFile(bytes, Path("no such folder\\data.bin")));
}

TEST_F(FileWork, AWriteThatFailsHalfwayLeavesTheOldFileWhole) {
  const std::string old = Random(5000, 2);
  Write("Trawlix.exe", old);
  PostSetWriteBytes = WriteHalfThenFail;
  EXPECT_FALSE(WriteStringToFile(Random(9000, 3), Path("Trawlix.exe")));
  EXPECT_TRUE(Same(Read("Trawlix.exe"), old));
  EXPECT_FALSE(Exists("Trawlix.exe.$$$")) << "the half-written file is removed";
}

TEST_F(FileWork, CustomFilesAreCapturedOnlyWithTheirHeader) {
  // A fresh installation: nothing to capture, and so nothing to restore.
  for (TCustomFileToSave& record : CustomFiles) record.Content = "stale";
  EXPECT_TRUE(SaveCustomFiles(temp_.Path()));
  for (const TCustomFileToSave& record : CustomFiles) EXPECT_EQ(record.Content, "") << record.FileName;
  Write("TWXData\\Entry.db", "extracted");
  RestoreCustomFiles(temp_.Path());
  EXPECT_EQ(Read("TWXData\\Entry.db"), "extracted");
  // A damaged header, or one in another case, is not captured; the header alone is.
  Write("Queries\\NONAME.TWX", "Trawlmark Query Folde");
  Write("TWXData\\Entry.db", "Trawlmark Engine Registry");
  Write("TWXData\\Set.db", "trawlmark engine sets\r\nSET=x");
  EXPECT_TRUE(SaveCustomFiles(temp_.Path()));
  EXPECT_EQ(CustomFiles[0].Content, "");
  EXPECT_EQ(CustomFiles[1].Content, "Trawlmark Engine Registry");
  EXPECT_EQ(CustomFiles[2].Content, "");
}

TEST_F(FileWork, RestoredEngineSetsLoseTheObsoleteSetNameAndTheOthersStayByteForByte) {
  const std::string query = std::string("Trawlmark Query Folder\r\nQuery=cats|SET=SEARCH IN ENTIRE WEB\r\n\0\xff", 64);
  const std::string entry = "Trawlmark Engine Registry\r\nENGINE=Web|set=search in entire web\r\n";
  Write("Queries\\NONAME.TWX", query);
  Write("TWXData\\Entry.db", entry);
  Write("TWXData\\Set.db", "Trawlmark Engine Sets\r\nSET=Search in Entire Web\r\nENGINE=A\r\n"
                           "SET=SEARCH IN ENTIRE\tWEB\r\nSeT=sEaRcH In EnTiRe WeB");
  EXPECT_TRUE(SaveCustomFiles(temp_.Path()));
  // What the extraction puts there.
  Write("Queries\\NONAME.TWX", "Trawlmark Query Folder\r\n");
  Write("TWXData\\Entry.db", "Trawlmark Engine Registry\r\n");
  Write("TWXData\\Set.db", "Trawlmark Engine Sets\r\n");
  RestoreCustomFiles(temp_.Path());
  EXPECT_TRUE(Same(Read("Queries\\NONAME.TWX"), query));
  EXPECT_TRUE(Same(Read("TWXData\\Entry.db"), entry));
  EXPECT_EQ(Read("TWXData\\Set.db"), "Trawlmark Engine Sets\r\nSET=Search in Web\r\nENGINE=A\r\n"
                                     "SET=SEARCH IN ENTIRE\tWEB\r\nSET=Search in Web");
}

TEST_F(FileWork, ARestoreThatFailsHalfwayLeavesTheExtractedCopyWhole) {
  Write("TWXData\\Entry.db", "Trawlmark Engine Registry\r\n" + Random(20000, 4));
  EXPECT_TRUE(SaveCustomFiles(temp_.Path()));
  const std::string extracted = "Trawlmark Engine Registry\r\nENGINE=Web|http://example.invalid/\r\n";
  Write("TWXData\\Entry.db", extracted);
  PostSetWriteBytes = WriteHalfThenFail;
  RestoreCustomFiles(temp_.Path());
  EXPECT_TRUE(Same(Read("TWXData\\Entry.db"), extracted));
  EXPECT_FALSE(Exists("TWXData\\Entry.db.$$$"));
}

int pumps = 0;
void CountPump() { ++pumps; }

TEST_F(FileWork, ObsoleteFilesGoAndTheirFoldersOnceEmpty) {
  for (const char* file : {"Filters\\Markup.ini", "Filters\\AuxFiles\\mkphelp.ini", "renew.exe",
                           "Language\\Flags\\Chinese Traditional(BIG5).ico"})
    Write(file, "old");
  Write("Filters\\Textor.dll", "current");
  Write("Library\\AuxFiles\\report.txt", "the user's");
  pumps = 0;
  RemoveObsoleteFiles(temp_.Path(), CountPump);
  EXPECT_EQ(pumps, kObsoleteFileCount);
  for (const char* file : ObsoleteFiles) EXPECT_FALSE(IsExistingFile(temp_.Path() + file)) << file;
  EXPECT_FALSE(IsExistingFolder(Path("Filters\\AuxFiles")));
  EXPECT_FALSE(IsExistingFolder(Path("Language\\Flags")));
  EXPECT_EQ(Read("Filters\\Textor.dll"), "current");
  EXPECT_EQ(Read("Library\\AuxFiles\\report.txt"), "the user's");

  // Empty folders go even without their files ("Filters" is tried again after
  // its last entries); one that still holds something stays.
  MakeFolderPath(Path("again\\Filters\\AuxFiles"));
  Write("again\\Language\\Flags\\German.ico", "kept");
  RemoveObsoleteFiles(Path("again"), nullptr);
  EXPECT_FALSE(IsExistingFolder(Path("again\\Filters")));
  EXPECT_EQ(Read("again\\Language\\Flags\\German.ico"), "kept");
}

// ---------------------------------------------------------------------------
// Delta patches

class Patches : public FileWork {
 protected:
  void SetUp() override {
    base_ = Random(40000, 10);
    Write("Trawlix.exe", base_);
  }
  void WritePatch(const std::string& relative, const std::string& target, size_t blockContent = 1 << 20) {
    Write(relative, Text(patchbytes::MakePatch(BytesOf(base_), BytesOf(target), blockContent)));
  }
  bool Apply(const std::string& output, const std::string& patch, const std::string& base = "Trawlix.exe") {
    return ApplyPatch(Path(base), Path(output), Path(patch));
  }
  std::string base_;
};

TEST_F(Patches, APatchBuildsItsOutputFromTheBaseAndIsDeleted) {
  // Small blocks, so that the commands run through many of them.
  const std::string target = base_.substr(0, 15000) + Random(12000, 11) + base_.substr(30000);
  WritePatch("SrchCfg.pch", target, 4096);
  EXPECT_TRUE(Apply("SrchCfg.exe", "SrchCfg.pch"));
  EXPECT_TRUE(Same(Read("SrchCfg.exe"), target));
  EXPECT_TRUE(Same(Read("Trawlix.exe"), base_));
  EXPECT_FALSE(Exists("SrchCfg.pch"));
  EXPECT_FALSE(Exists("SrchCfg.exe.$$$"));
  // In place, as the main program is patched.
  const std::string newMain = Random(100, 14) + base_.substr(100, 39000) + Random(3000, 15);
  WritePatch("Trawlix.pch", newMain);
  EXPECT_TRUE(Apply("Trawlix.exe", "Trawlix.pch"));
  EXPECT_TRUE(Same(Read("Trawlix.exe"), newMain));
  EXPECT_FALSE(Exists("Trawlix.pch"));
}

TEST_F(Patches, AnOutputLargerThanTheFirstBufferTakesASecondPass) {
  // One byte more than the first buffer holds, and exactly as much (no cut).
  for (size_t extra : {size_t(kPatchHeadroom) + 1, size_t(kPatchHeadroom)}) {
    const std::string target = base_ + Random(extra, 12);
    WritePatch("Help\\TWXHelp.pch", target);
    EXPECT_TRUE(Apply("Help\\TWXHelp.exe", "Help\\TWXHelp.pch"));
    EXPECT_TRUE(Same(Read("Help\\TWXHelp.exe"), target));
    EXPECT_FALSE(Exists("Help\\TWXHelp.pch"));
  }
}

TEST_F(Patches, AFailedPatchLeavesTheOutputAsItWasAndIsDeletedAnyway) {
  const std::string previous = "the output of an earlier installation";
  Write("SrchCfg.exe", previous);
  EXPECT_FALSE(Apply("SrchCfg.exe", "SrchCfg.pch")) << "no patch file";
  EXPECT_TRUE(Same(Read("SrchCfg.exe"), previous));
  WritePatch("SrchCfg.pch", Random(500, 16) + base_);
  EXPECT_FALSE(Apply("SrchCfg.exe", "SrchCfg.pch", "Missing.exe")) << "no base";
  EXPECT_FALSE(Exists("SrchCfg.pch"));
  EXPECT_TRUE(Same(Read("SrchCfg.exe"), previous));
  // Made for another base (what it copies is wrong, so its end check fails),
  // damaged, and copying beyond the base.
  const Bytes otherBase = twxtest::RandomBytes(40000, 17);
  const Bytes bad[] = {patchbytes::MakePatch(otherBase, Bytes(otherBase.begin(), otherBase.begin() + 30000)),
                       BytesOf("not a patch stream at all"),
                       patchbytes::Stored(patchbytes::Copy(39000, 2000) + patchbytes::End(0))};
  for (const Bytes& patch : bad) {
    Write("SrchCfg.pch", Text(patch));
    EXPECT_FALSE(Apply("SrchCfg.exe", "SrchCfg.pch"));
    EXPECT_TRUE(Same(Read("SrchCfg.exe"), previous));
    EXPECT_FALSE(Exists("SrchCfg.pch"));
  }
  EXPECT_TRUE(Same(Read("Trawlix.exe"), base_));
}

TEST_F(Patches, AnInPlacePatchWhoseWriteFailsHalfwayLeavesTheMainProgramWhole) {
  WritePatch("Trawlix.pch", base_ + Random(60000, 19));
  PostSetWriteBytes = WriteHalfThenFail;
  EXPECT_FALSE(Apply("Trawlix.exe", "Trawlix.pch"));
  EXPECT_TRUE(Same(Read("Trawlix.exe"), base_));
  EXPECT_FALSE(Exists("Trawlix.exe.$$$"));
  EXPECT_FALSE(Exists("Trawlix.pch"));
}

}  // namespace
