// The post-install file work and the toolbar layout bytes, natively and under
// Wine from the same source: delta patches (second pass, in place, failures that
// must leave files whole), the user data files kept across a re-installation,
// the removal of an earlier version's files, and the browser button's record.
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
// The toolbar layout

const uint32_t kId = 0x1234;
const uint8_t kLayoutGroup[16] = {0x80, 0x69, 0x79, 0x1E, 0xC5, 0x9C, 0xD1, 0x11,
                                  0xA8, 0x3F, 0x00, 0xC0, 0x4F, 0xC9, 0x9D, 0x61};

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// A record of another button: its marker, and a command that is not ours.
Bytes OtherRecord(uint32_t marker, uint32_t command) {
  Bytes record = patchbytes::Le(marker, 4);
  for (int i = 0; i < 16; ++i) record.push_back(static_cast<uint8_t>(0x40 + i));
  return record + patchbytes::Le(command, 4) + patchbytes::Le(2, 4);
}

Bytes LayoutOf(const std::vector<Bytes>& records) {
  Bytes layout = {0x0C, 0x00, 0x00, 0x00};
  for (const Bytes& record : records) layout = layout + record;
  return layout;
}

Bytes Record(const Bytes& layout, size_t index) {
  const size_t at = 4 + index * kToolbarRecordSize;
  return Bytes(layout.begin() + static_cast<std::ptrdiff_t>(at),
               layout.begin() + static_cast<std::ptrdiff_t>(at + kToolbarRecordSize));
}

void ExpectProductRecord(const Bytes& layout, size_t index) {
  const size_t at = 4 + index * kToolbarRecordSize;
  ASSERT_LE(at + kToolbarRecordSize, layout.size());
  EXPECT_EQ(Le32(layout, at), kId) << "marker";
  EXPECT_EQ(0, std::memcmp(layout.data() + at + 4, kLayoutGroup, 16)) << "command group";
  EXPECT_EQ(Le32(layout, at + 20), kId) << "command";
  EXPECT_EQ(Le32(layout, at + 24), 4u) << "state";
}

TEST(ToolbarLayout, AHeaderAloneGetsTheButtonAsItsOnlyRecord) {
  Bytes layout = LayoutOf({});
  EXPECT_EQ(InsertToolbarButton(&layout, kId), kButtonInserted);
  ASSERT_EQ(layout.size(), 32u);
  EXPECT_EQ(Le32(layout, 0), 0x0Cu) << "the header stays";
  ExpectProductRecord(layout, 0);
}

TEST(ToolbarLayout, TheButtonGoesAfterTheFirstMarkedRecordOrAtTheEnd) {
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < 8; ++i) records.push_back(OtherRecord(i == 2 || i == 5 ? 0xFFFFFFFFu : i, 100 + i));
  Bytes layout = LayoutOf(records);
  EXPECT_EQ(InsertToolbarButton(&layout, kId), kButtonInserted);
  ASSERT_EQ(layout.size(), 4 + 9 * kToolbarRecordSize);
  for (size_t i = 0; i <= 2; ++i) EXPECT_EQ(Record(layout, i), records[i]) << i;
  ExpectProductRecord(layout, 3);
  for (size_t i = 3; i < 8; ++i) EXPECT_EQ(Record(layout, i + 1), records[i]) << i;

  // No marked record, or only the last one marked: appended.
  for (uint32_t lastMarker : {7u, 0xFFFFFFFFu}) {
    records = {OtherRecord(0, 100), OtherRecord(1, 101), OtherRecord(lastMarker, 102)};
    layout = LayoutOf(records);
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kButtonInserted);
    ASSERT_EQ(layout.size(), 4 + 4 * kToolbarRecordSize);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Record(layout, i), records[i]);
    ExpectProductRecord(layout, 3);
  }
}

TEST(ToolbarLayout, AButtonAlreadyThereIsNotAddedAgain) {
  // Found by its command wherever it stands, also after the marked record.
  const Bytes layout = LayoutOf({OtherRecord(0xFFFFFFFFu, 100), OtherRecord(1, 101), OtherRecord(kId, kId)});
  Bytes copy = layout;
  EXPECT_EQ(InsertToolbarButton(&copy, kId), kButtonPresent);
  EXPECT_EQ(copy, layout);
  // Inserting twice leaves one record.
  Bytes twice = LayoutOf({OtherRecord(0xFFFFFFFFu, 100)});
  EXPECT_EQ(InsertToolbarButton(&twice, kId), kButtonInserted);
  EXPECT_EQ(InsertToolbarButton(&twice, kId), kButtonPresent);
  EXPECT_EQ(twice.size(), 4 + 2 * kToolbarRecordSize);
  // A marker that happens to equal the identifier is not the button.
  Bytes markerOnly = LayoutOf({OtherRecord(kId, 100)});
  EXPECT_EQ(InsertToolbarButton(&markerOnly, kId), kButtonInserted);
}

TEST(ToolbarLayout, LayoutsOfAnUnknownSizeAreLeftAlone) {
  for (size_t size : {0u, 1u, 3u, 5u, 31u, 33u, 4u + 2 * 28u - 1u, 4u + 2 * 28u + 1u}) {
    SCOPED_TRACE(size);
    Bytes layout(size, 0xFF);
    EXPECT_EQ(InsertToolbarButton(&layout, kId), kLayoutUnknown);
    EXPECT_EQ(layout, Bytes(size, 0xFF));
  }
}

TEST(ExtensionValues, IconsFollowTheWindowsVersion) {
  struct {
    uint32_t major, minor;
    const char* icon;
    const char* hotIcon;
  } const rows[] = {
      {4, 10, ",1001", ",1002"}, {5, 0, ",1001", ",1002"}, {5, 1, ",1003", ",1004"},
      {5, 2, ",1003", ",1004"},  {6, 0, ",1003", ",1004"}, {10, 0, ",1003", ",1004"},
  };
  const std::string exe = "C:\\Program Files\\VarnTech\\Trawlix\\Trawlix.exe";
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.major) + "." + std::to_string(row.minor));
    ComposeExtensionValues(exe, row.major, row.minor);
    EXPECT_EQ(ExtensionValues[3].Value, exe);
    EXPECT_EQ(ExtensionValues[4].Value, exe + row.hotIcon);
    EXPECT_EQ(ExtensionValues[5].Value, exe + row.icon);
  }
}

// ---------------------------------------------------------------------------
// Whole files, written so that a failure leaves the old file whole

// Writes half of what it is given, then fails, as a disk that fills up does.
bool WriteHalfThenFail(TFileHandle file, const void* buffer, int32_t count) {
  WriteFileBytes(file, buffer, count / 2);
  return false;
}

class FileWork : public ::testing::Test {
 protected:
  void TearDown() override { PostSetWriteBytes = WriteFileBytes; }
  std::string Read(const std::string& relative) { return twxtest::ReadWholeFileOr(temp_.Join(relative), "<none>"); }
  void Write(const std::string& relative, const std::string& bytes) {
    MakeFolderPath(ParentPart(temp_.Join(relative)));
    ASSERT_TRUE(twxtest::WriteWholeFile(temp_.Join(relative), bytes));
  }
  bool Exists(const std::string& relative) { return IsExistingFile(temp_.Join(relative)); }
  twxtest::TempFolder temp_;
};

TEST_F(FileWork, WholeFilesRoundTripAndReplaceWhatWasThere) {
  const std::string bytes = Random(70000, 1) + std::string("\0\r\n\x1A", 4);
  Write("data.bin", "old contents that are longer than nothing");
  ASSERT_TRUE(WriteStringToFile(bytes, temp_.Join("data.bin")));
  std::string back;
  ASSERT_TRUE(ReadFileToString(temp_.Join("data.bin"), &back));
  EXPECT_TRUE(Same(back, bytes));
  // An empty string leaves an empty file.
  ASSERT_TRUE(WriteStringToFile("", temp_.Join("data.bin")));
  ASSERT_TRUE(ReadFileToString(temp_.Join("data.bin"), &back));
  EXPECT_EQ(back, "");
  EXPECT_FALSE(Exists("data.bin.$$$"));

  EXPECT_FALSE(ReadFileToString(temp_.Join("missing.bin"), &back));
  EXPECT_FALSE(WriteStringToFile(bytes, temp_.Join("no such folder\\data.bin")));
}

TEST_F(FileWork, AWriteThatFailsHalfwayLeavesTheOldFileWhole) {
  const std::string old = Random(5000, 2);
  Write("Trawlix.exe", old);
  PostSetWriteBytes = WriteHalfThenFail;
  EXPECT_FALSE(WriteStringToFile(Random(9000, 3), temp_.Join("Trawlix.exe")));
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

  // A damaged file is not captured; the header alone is.
  Write("Queries\\NONAME.TWX", "Trawlmark Query Folde");
  Write("TWXData\\Entry.db", "Trawlmark Engine Registry");
  Write("TWXData\\Set.db", "trawlmark engine sets\r\nSET=x");
  EXPECT_TRUE(SaveCustomFiles(temp_.Path()));
  EXPECT_EQ(CustomFiles[0].Content, "");
  EXPECT_EQ(CustomFiles[1].Content, "Trawlmark Engine Registry");
  EXPECT_EQ(CustomFiles[2].Content, "");
  EXPECT_EQ(LoadCustomFile(temp_.Join("Queries\\NONAME.TWX"), "Trawlmark Query Folder"), "");
  EXPECT_EQ(LoadCustomFile(temp_.Join("Queries\\NONAME.TWX"), ""), "Trawlmark Query Folde");
}

TEST_F(FileWork, RestoredEngineSetsLoseTheObsoleteSetNameAndTheOthersStayByteForByte) {
  const std::string query = "Trawlmark Query Folder\r\nQuery=cats|SET=SEARCH IN ENTIRE WEB\r\n\0\xff";
  const std::string entry = "Trawlmark Engine Registry\r\nENGINE=Web|set=search in entire web\r\n";
  const std::string sets =
      "Trawlmark Engine Sets\r\nSET=Search in Entire Web\r\nENGINE=A\r\nset=search in entire web"
      "SET=SEARCH IN ENTIRE WEB\r\nSET=SEARCH IN ENTIRE\tWEB\r\nSeT=sEaRcH In EnTiRe WeB";
  Write("Queries\\NONAME.TWX", query);
  Write("TWXData\\Entry.db", entry);
  Write("TWXData\\Set.db", sets);
  EXPECT_TRUE(SaveCustomFiles(temp_.Path()));
  // What the extraction puts there.
  Write("Queries\\NONAME.TWX", "Trawlmark Query Folder\r\n");
  Write("TWXData\\Entry.db", "Trawlmark Engine Registry\r\n");
  Write("TWXData\\Set.db", "Trawlmark Engine Sets\r\n");
  RestoreCustomFiles(temp_.Path());
  EXPECT_TRUE(Same(Read("Queries\\NONAME.TWX"), query));
  EXPECT_TRUE(Same(Read("TWXData\\Entry.db"), entry));
  EXPECT_EQ(Read("TWXData\\Set.db"),
            "Trawlmark Engine Sets\r\nSET=Search in Web\r\nENGINE=A\r\nSET=Search in Web"
            "SET=Search in Web\r\nSET=SEARCH IN ENTIRE\tWEB\r\nSET=Search in Web");
  EXPECT_EQ(Read("TWXData\\Set.db").size(), sets.size() - 4 * 7);
}

TEST_F(FileWork, ARestoreThatFailsHalfwayLeavesTheExtractedCopyWhole) {
  const std::string saved = "Trawlmark Engine Registry\r\n" + Random(20000, 4);
  Write("TWXData\\Entry.db", saved);
  EXPECT_TRUE(SaveCustomFiles(temp_.Path()));
  const std::string extracted = "Trawlmark Engine Registry\r\nENGINE=Web|http://example.invalid/\r\n";
  Write("TWXData\\Entry.db", extracted);
  PostSetWriteBytes = WriteHalfThenFail;
  RestoreCustomFiles(temp_.Path());
  EXPECT_TRUE(Same(Read("TWXData\\Entry.db"), extracted));
  EXPECT_FALSE(Exists("TWXData\\Entry.db.$$$"));
}

TEST(EngineSetNames, EveryOccurrenceInAnyCaseShrinksBySeven) {
  EXPECT_EQ(ConvertEngineSetNames(""), "");
  EXPECT_EQ(ConvertEngineSetNames("SET=SEARCH IN WEB"), "SET=SEARCH IN WEB");
  // Only ASCII letters are folded: a byte above 127 breaks the name.
  EXPECT_EQ(ConvertEngineSetNames("set=search in entir\xc9 web"), "set=search in entir\xc9 web");
  std::string many;
  for (int i = 0; i < 50; ++i) many += (i % 2 ? "set=search in entire web|" : "SET=Search In Entire Web|");
  const std::string converted = ConvertEngineSetNames(many);
  EXPECT_EQ(converted.size(), many.size() - 50 * 7);
  EXPECT_EQ(converted.find("ENTIRE"), std::string::npos);
  EXPECT_EQ(converted.find("entire"), std::string::npos);
}

TEST(Languages, NamesByPrimaryLanguage) {
  // Sublanguages share their primary language's file.
  EXPECT_EQ(LanguageNameOf(0x0409), "English");
  EXPECT_EQ(LanguageNameOf(0x0809), "English");
  EXPECT_EQ(LanguageNameOf(0x0807), "German");
  // Every Chinese variant, simplified ones included.
  for (uint16_t chinese : {0x0404, 0x0804, 0x0C04, 0x1004, 0x1404, 0x7C04})
    EXPECT_EQ(LanguageNameOf(chinese), "Chinese Traditional") << chinese;
  // Languages the product has no file for.
  for (uint16_t none : {0x041E /* Thai */, 0x0417, 0x041A, 0x0000, 0x0400})
    EXPECT_EQ(LanguageNameOf(none), "") << none;
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
  std::string base_;
};

TEST_F(Patches, APatchBuildsItsOutputFromTheBaseAndIsDeleted) {
  // Shares the base's beginning and end; small blocks, so that the commands
  // run through many of them.
  const std::string target = base_.substr(0, 15000) + Random(12000, 11) + base_.substr(30000);
  WritePatch("SrchCfg.pch", target, 4096);
  EXPECT_TRUE(ApplyPatch(temp_.Join("Trawlix.exe"), temp_.Join("SrchCfg.exe"), temp_.Join("SrchCfg.pch")));
  EXPECT_TRUE(Same(Read("SrchCfg.exe"), target));
  EXPECT_TRUE(Same(Read("Trawlix.exe"), base_));
  EXPECT_FALSE(Exists("SrchCfg.pch"));
  EXPECT_FALSE(Exists("SrchCfg.exe.$$$"));
}

TEST_F(Patches, AnOutputLargerThanTheFirstBufferTakesASecondPass) {
  const std::string target = base_ + Random(kPatchHeadroom + 1, 12);
  WritePatch("Help\\TWXHelp.pch", target);
  EXPECT_TRUE(ApplyPatch(temp_.Join("Trawlix.exe"), temp_.Join("Help\\TWXHelp.exe"), temp_.Join("Help\\TWXHelp.pch")));
  EXPECT_TRUE(Same(Read("Help\\TWXHelp.exe"), target));
  EXPECT_FALSE(Exists("Help\\TWXHelp.pch"));
  // Exactly the first buffer's size needs no second pass and must not be cut.
  const std::string exact = base_ + Random(kPatchHeadroom, 13);
  WritePatch("exact.pch", exact);
  EXPECT_TRUE(ApplyPatch(temp_.Join("Trawlix.exe"), temp_.Join("exact.exe"), temp_.Join("exact.pch")));
  EXPECT_TRUE(Same(Read("exact.exe"), exact));
}

TEST_F(Patches, TheMainProgramIsPatchedInPlace) {
  const std::string target = Random(100, 14) + base_.substr(100, 39000) + Random(3000, 15);
  WritePatch("Trawlix.pch", target);
  EXPECT_TRUE(ApplyPatch(temp_.Join("Trawlix.exe"), temp_.Join("Trawlix.exe"), temp_.Join("Trawlix.pch")));
  EXPECT_TRUE(Same(Read("Trawlix.exe"), target));
  EXPECT_FALSE(Exists("Trawlix.pch"));
}

TEST_F(Patches, AFailedPatchLeavesTheOutputAsItWasAndIsDeletedAnyway) {
  const std::string target = Random(500, 16) + base_;
  const std::string previous = "the output of an earlier installation";
  Write("SrchCfg.exe", previous);

  // Missing patch file.
  EXPECT_FALSE(ApplyPatch(temp_.Join("Trawlix.exe"), temp_.Join("SrchCfg.exe"), temp_.Join("SrchCfg.pch")));
  EXPECT_TRUE(Same(Read("SrchCfg.exe"), previous));

  // Missing base: the patch goes all the same.
  WritePatch("SrchCfg.pch", target);
  EXPECT_FALSE(ApplyPatch(temp_.Join("Missing.exe"), temp_.Join("SrchCfg.exe"), temp_.Join("SrchCfg.pch")));
  EXPECT_FALSE(Exists("SrchCfg.pch"));
  EXPECT_TRUE(Same(Read("SrchCfg.exe"), previous));

  // A patch made for another base: what it copies is wrong, so its end check fails.
  const std::string otherBase = Random(40000, 17);
  Write("SrchCfg.pch", Text(patchbytes::MakePatch(BytesOf(otherBase), BytesOf(otherBase.substr(0, 30000) + "x"))));
  EXPECT_FALSE(ApplyPatch(temp_.Join("Trawlix.exe"), temp_.Join("SrchCfg.exe"), temp_.Join("SrchCfg.pch")));
  EXPECT_TRUE(Same(Read("SrchCfg.exe"), previous));
  EXPECT_FALSE(Exists("SrchCfg.pch"));

  // A damaged patch, and one that copies beyond the base.
  for (const Bytes& bad : std::vector<Bytes>{BytesOf("not a patch stream at all"),
                           patchbytes::Stored(patchbytes::Copy(39000, 2000) + patchbytes::End(0))}) {
    Write("SrchCfg.pch", Text(bad));
    EXPECT_FALSE(ApplyPatch(temp_.Join("Trawlix.exe"), temp_.Join("SrchCfg.exe"), temp_.Join("SrchCfg.pch")));
    EXPECT_TRUE(Same(Read("SrchCfg.exe"), previous));
    EXPECT_FALSE(Exists("SrchCfg.pch"));
  }
  EXPECT_TRUE(Same(Read("Trawlix.exe"), base_));
}

TEST_F(Patches, AnInPlacePatchWhoseWriteFailsHalfwayLeavesTheMainProgramWhole) {
  const std::string target = base_ + Random(60000, 19);
  WritePatch("Trawlix.pch", target);
  PostSetWriteBytes = WriteHalfThenFail;
  EXPECT_FALSE(ApplyPatch(temp_.Join("Trawlix.exe"), temp_.Join("Trawlix.exe"), temp_.Join("Trawlix.pch")));
  EXPECT_TRUE(Same(Read("Trawlix.exe"), base_));
  EXPECT_FALSE(Exists("Trawlix.exe.$$$"));
  EXPECT_FALSE(Exists("Trawlix.pch"));
}

// ---------------------------------------------------------------------------
// An earlier version's files

int pumps = 0;
void CountPump() { ++pumps; }

TEST_F(FileWork, ObsoleteFilesGoAndTheirFoldersOnceEmpty) {
  for (const char* file : {"Filters\\Markup.ini", "Filters\\AuxFiles\\mkphelp.ini", "renew.dat", "renew.exe",
                           "Language\\Chinese Simplified(GB2312).TWL", "Language\\Flags\\Chinese Simplified(GB2312).ico",
                           "Language\\Flags\\Chinese Traditional(BIG5).ico"})
    Write(file, "old");
  Write("Filters\\Textor.dll", "current");
  Write("Language\\English.TWL", "CODEPAGE=1252");
  Write("Library\\AuxFiles\\report.txt", "the user's");
  pumps = 0;
  RemoveObsoleteFiles(temp_.Path(), CountPump);
  EXPECT_EQ(pumps, kObsoleteFileCount);
  for (const char* file : ObsoleteFiles) EXPECT_FALSE(IsExistingFile(temp_.Path() + file)) << file;
  EXPECT_FALSE(IsExistingFolder(temp_.Join("Filters\\AuxFiles")));
  EXPECT_FALSE(IsExistingFolder(temp_.Join("Language\\Flags")));
  EXPECT_EQ(Read("Filters\\Textor.dll"), "current");
  EXPECT_EQ(Read("Language\\English.TWL"), "CODEPAGE=1252");
  EXPECT_EQ(Read("Library\\AuxFiles\\report.txt"), "the user's");
  EXPECT_TRUE(IsExistingFolder(temp_.Path()));
}

TEST_F(FileWork, AnEmptyAuxFilesFolderGoesEvenWithoutItsFiles) {
  MakeFolderPath(temp_.Join("Filters\\AuxFiles"));
  MakeFolderPath(temp_.Join("Language\\Flags"));
  Write("Language\\Flags\\German.ico", "kept");
  RemoveObsoleteFiles(temp_.Path(), nullptr);
  EXPECT_FALSE(IsExistingFolder(temp_.Join("Filters\\AuxFiles")));
  // "Filters" is tried again after its last entries and is empty by then.
  EXPECT_FALSE(IsExistingFolder(temp_.Join("Filters")));
  // A folder that still holds something stays, and so do its parents.
  EXPECT_TRUE(IsExistingFolder(temp_.Join("Language\\Flags")));
  EXPECT_EQ(Read("Language\\Flags\\German.ico"), "kept");
}

}  // namespace
