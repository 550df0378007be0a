// The stand-in product's files as the later steps of a setup meet them:
// version resources, the icons the registry entries name, loadable filters,
// and data files its own readers take. Also those readers.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineFiles.h"
#include "QueryFolder.h"
#include "SampleTestSupport.h"
#include "TestSupport.h"
#include "TextFiles.h"

namespace {

using sampletest::PatchSourcePath;
using sampletest::PayloadPath;

// The setup compares helpers by the major and minor halves alone.
TEST(SampleVersions, EveryProgramAndFilterReadsFivePointThree) {
  for (const std::string& file :
       {PayloadPath("Trawlix.exe"), PayloadPath("QBox.exe"), PayloadPath("uninst.exe"),
        PayloadPath("Filters\\Textor.dll"), PayloadPath("Filters\\Slidor.dll"), PayloadPath("Filters\\Gridor.dll"),
        PatchSourcePath("Trawlix.exe"), PatchSourcePath("SrchCfg.exe"), PatchSourcePath("Help\\TWXHelp.exe")}) {
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(file.c_str(), &ignored) + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) &&
                VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        << file;
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(3, 5))) << file;
  }
}

// " width x bits " of every image of an icon group; empty when missing.
std::string IconImages(HMODULE module, int id) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
  const BYTE* group = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
  std::string images = " ";
  for (int i = 0; group && i < (group[4] | group[5] << 8); ++i) {
    const BYTE* entry = group + 6 + 14 * i;  // width, height, colours, reserved, planes, bits, ...
    images += std::to_string(entry[0] ? entry[0] : 256) + "x" + std::to_string(entry[6] | entry[7] << 8) + " ";
  }
  return images;
}

TEST(SampleIcons, BothBuildsCarryTheToolbarAndDocumentIcons) {
  // Older browsers get 256-colour buttons (1001, 1002), newer ones alpha
  // (1003, 1004), drawn at 16 and 20 pixels; 204 is the query folders' icon.
  const struct {
    int id;
    std::vector<const char*> images;
  } kIcons[] = {{1001, {" 16x8 ", " 20x8 "}}, {1002, {" 16x8 ", " 20x8 "}}, {1003, {" 16x32 ", " 20x32 "}},
                {1004, {" 16x32 ", " 20x32 "}}, {204, {" 16x32 ", " 32x32 ", " 32x8 "}}};
  for (const std::string& exe : {PayloadPath("Trawlix.exe"), PatchSourcePath("Trawlix.exe")}) {
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe;
    for (const auto& icon : kIcons) {
      const std::string images = IconImages(module, icon.id);
      for (const char* image : icon.images) EXPECT_NE(images.find(image), std::string::npos) << icon.id << images;
      if (icon.id == 1001 || icon.id == 1002) EXPECT_EQ(images.find("x32 "), std::string::npos) << icon.id << images;
      HICON loaded = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(icon.id), IMAGE_ICON, 16, 16, 0));
      EXPECT_NE(loaded, nullptr) << exe << " icon " << icon.id;
      if (loaded) DestroyIcon(loaded);
    }
    FreeLibrary(module);
  }
}

typedef const char* (*TFilterName)();
typedef int (*TFilterAccepts)(const char*);

TEST(SampleFilters, EachFilterLoadsAndKnowsItsDocuments) {
  struct {
    const char* name;
    std::vector<const char*> accepted, refused;
  } const filters[] = {
      {"Textor", {"notes.txt", "C:\\Logs\\RUN.LOG", "a.b.text"}, {"table.csv", "notes.txt2", "x.tx", "noext"}},
      {"Slidor", {"talk.sld", "Talk.Show"}, {"talk.txt", "show"}},
      {"Gridor", {"prices.csv", "prices.TSV", "sheet.grid"}, {"C:\\a.csv\\readme", "csv"}},
  };
  for (const auto& filter : filters) {
    HMODULE library = LoadLibraryA(PayloadPath(std::string("Filters\\") + filter.name + ".dll").c_str());
    ASSERT_NE(library, nullptr) << filter.name << " error " << GetLastError();
    auto name = reinterpret_cast<TFilterName>(reinterpret_cast<void*>(GetProcAddress(library, "TWXFilterName")));
    auto accepts =
        reinterpret_cast<TFilterAccepts>(reinterpret_cast<void*>(GetProcAddress(library, "TWXFilterAccepts")));
    ASSERT_TRUE(name && accepts) << filter.name;
    EXPECT_STREQ(name(), filter.name);
    for (const char* file : filter.accepted) EXPECT_EQ(accepts(file), 1) << filter.name << " " << file;
    for (const char* file : filter.refused) EXPECT_EQ(accepts(file), 0) << filter.name << " " << file;
    EXPECT_EQ(accepts(nullptr), 0);
    FreeLibrary(library);
  }
}

std::string Payload(const std::string& relative) {
  std::string bytes;
  EXPECT_TRUE(twx::ReadWholeFile(PayloadPath(relative), &bytes)) << relative;
  return bytes;
}

// Their headers are checked on the host (check_payload.sh); here the product's
// own readers take them and find them consistent.
TEST(SampleDataFiles, UserDataFilesReadAndAgree) {
  twx::TQueryFolder folder;
  std::vector<twx::TEngineSet> sets;
  std::vector<twx::TEngine> engines;
  ASSERT_TRUE(twx::ParseQueryFolder(Payload("Queries\\NONAME.TWX"), &folder));
  ASSERT_TRUE(twx::ParseEngineSets(Payload("TWXData\\Set.db"), &sets));
  ASSERT_TRUE(twx::ParseEngineRegistry(Payload("TWXData\\Entry.db"), &engines));
  ASSERT_FALSE(sets.empty());
  EXPECT_EQ(sets[0].name, "Search in Web");
  // Every set member is a registered engine, and every query names a set that exists.
  EXPECT_EQ(twx::DescribeEngineSets(sets, engines).find("(not registered)"), std::string::npos);
  ASSERT_EQ(folder.queries.size(), 3u);
  for (const twx::TQuery& query : folder.queries) {
    bool known = query.engineSet.empty();
    for (const twx::TEngineSet& set : sets) known = known || set.name == query.engineSet;
    EXPECT_TRUE(known) << query.engineSet;
  }
}

TEST(SampleReaders, QueryFoldersEngineFilesAndCommandLines) {
  twx::TQueryFolder folder;
  std::vector<twx::TEngineSet> sets;
  std::vector<twx::TEngine> engines;
  // Each reader refuses the other files and empty ones by their header.
  EXPECT_FALSE(twx::ParseQueryFolder("Trawlmark Engine Sets\r\nQuery=x\r\n", &folder));
  EXPECT_FALSE(twx::ParseQueryFolder("", &folder));
  EXPECT_FALSE(twx::ParseEngineSets("Trawlmark Engine Registry\r\nSET=x\r\n", &sets));
  EXPECT_FALSE(twx::ParseEngineRegistry("Trawlmark Engine Sets\r\n", &engines));
  // Any line end; the empty query and the lower-case key are skipped.
  ASSERT_TRUE(twx::ParseQueryFolder("Trawlmark Query Folder\nName=Fish\rQuery=a|Search in News\r\n"
                                    "Query=\r\nQuery=b c\r\nquery=lower\r\nQuery=d|\r\n",
                                    &folder));
  EXPECT_EQ(twx::DescribeQueryFolder("FISH.TWX", folder),
            "Query folder: Fish\r\nFile: FISH.TWX\r\n\r\n3 queries:\r\n  1. a   [Search in News]\r\n"
            "  2. b c   [default engine set]\r\n  3. d   [default engine set]\r\n");
  ASSERT_TRUE(twx::ParseQueryFolder("Trawlmark Query Folder", &folder));
  EXPECT_EQ(twx::DescribeQueryFolder("E.TWX", folder),
            "Query folder: E.TWX\r\nFile: E.TWX\r\n\r\nThis query folder holds no queries yet.\r\n");
  // An engine before any set belongs to none; a nameless engine is skipped.
  ASSERT_TRUE(twx::ParseEngineSets("Trawlmark Engine Sets\r\nENGINE=Stray\r\nSET=Web\r\nENGINE=A\r\n"
                                   "ENGINE=Ghost\r\nSET=Empty\r\n", &sets));
  ASSERT_TRUE(twx::ParseEngineRegistry("Trawlmark Engine Registry\r\nENGINE=A|http://a.example/?q=%s\r\n"
                                       "ENGINE=|nameless\r\nENGINE=B\r\n", &engines));
  EXPECT_EQ(twx::DescribeEngineSets(sets, engines),
            "2 engine sets, 2 registered engines\r\n"
            "\r\nWeb\r\n    A   http://a.example/?q=%s\r\n    Ghost   (not registered)\r\n"
            "\r\nEmpty\r\n    (no engines)\r\n");

  using Words = std::vector<std::string>;
  EXPECT_EQ(twx::CommandArguments("Trawlix.exe   /S\t\"/D=C:\\x y\"  /W=12 "), (Words{"/S", "/D=C:\\x y", "/W=12"}));
  EXPECT_EQ(twx::CommandArguments("uninst.exe \"\" x"), (Words{"", "x"}));
  EXPECT_EQ(twx::CommandArguments(nullptr), Words{});
  EXPECT_EQ(twx::SplitLines("a\r\nb\rc\n\nd"), (Words{"a", "b", "c", "", "d"}));
  EXPECT_EQ(twx::WithCrLf("a\nb\r"), "a\r\nb\r\n");
}

// A huge file handed to the program (a wrong file association, say) is refused
// instead of being loaded whole; one of the largest size allowed is read.
TEST(SampleReaders, FilesLargerThanAnyProductFileAreRefused) {
  twxtest::TempFolder folder;
  const std::string path = folder.Join("huge.twx");
  for (long size : {twx::kMaxFileSize + 1, twx::kMaxFileSize}) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "Trawlmark Query Folder", 22, &written, nullptr);
    SetFilePointer(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    std::string bytes = "left over";
    EXPECT_EQ(twx::ReadWholeFile(path, &bytes), size == twx::kMaxFileSize);
    EXPECT_EQ(bytes.size(), size == twx::kMaxFileSize ? static_cast<size_t>(size) : 0u);
  }
  std::string bytes = "left over";
  EXPECT_FALSE(twx::ReadWholeFile(PayloadPath("no such file"), &bytes));
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
