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

// The fixed file version's major and minor halves as one word; 0 without a version.
DWORD VersionMs(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  std::vector<char> block(size + 1);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed)
    return 0;
  return fixed->dwFileVersionMS;
}

TEST(SampleVersions, EveryProgramAndFilterReadsFivePointThree) {
  const std::vector<std::string> files = {
      PayloadPath("Trawlix.exe"),         PayloadPath("QBox.exe"),           PayloadPath("uninst.exe"),
      PayloadPath("Filters\\Textor.dll"), PayloadPath("Filters\\Slidor.dll"), PayloadPath("Filters\\Gridor.dll"),
      PatchSourcePath("Trawlix.exe"),     PatchSourcePath("SrchCfg.exe"),    PatchSourcePath("Help\\TWXHelp.exe")};
  // The setup compares helpers by these two halves alone.
  for (const std::string& file : files) EXPECT_EQ(VersionMs(file), static_cast<DWORD>(MAKELONG(3, 5))) << file;
}

#pragma pack(push, 2)
struct TGroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct TGroupIcon {
  WORD reserved, type, count;
  TGroupIconEntry entries[1];
};
#pragma pack(pop)

// (width, bits per pixel) of every image of an icon group; empty when missing.
std::vector<std::pair<int, int>> IconImages(HMODULE module, int id) {
  std::vector<std::pair<int, int>> images;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
  if (!found) return images;
  const TGroupIcon* group = static_cast<const TGroupIcon*>(LockResource(LoadResource(module, found)));
  for (int i = 0; group && i < group->count; ++i)
    images.emplace_back(group->entries[i].width ? group->entries[i].width : 256, group->entries[i].bitCount);
  return images;
}

bool HasImage(const std::vector<std::pair<int, int>>& images, int width, int bits) {
  for (const auto& image : images)
    if (image.first == width && image.second == bits) return true;
  return false;
}

TEST(SampleIcons, BothBuildsCarryTheToolbarAndDocumentIcons) {
  for (const std::string& exe : {PayloadPath("Trawlix.exe"), PatchSourcePath("Trawlix.exe")}) {
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe;
    for (int id : {1001, 1002, 1003, 1004, 204}) {
      EXPECT_FALSE(IconImages(module, id).empty()) << exe << " icon " << id;
      HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
      EXPECT_NE(icon, nullptr) << exe << " icon " << id;
      if (icon) DestroyIcon(icon);
    }
    // Older systems get 256-colour buttons, newer ones alpha; the browser
    // draws them at 16 and 20 pixels.
    for (int id : {1001, 1002}) {
      const auto images = IconImages(module, id);
      EXPECT_TRUE(HasImage(images, 16, 8) && HasImage(images, 20, 8)) << id;
      EXPECT_FALSE(HasImage(images, 16, 32) || HasImage(images, 20, 32)) << id;
    }
    for (int id : {1003, 1004}) {
      const auto images = IconImages(module, id);
      EXPECT_TRUE(HasImage(images, 16, 32) && HasImage(images, 20, 32)) << id;
    }
    const auto document = IconImages(module, 204);
    EXPECT_TRUE(HasImage(document, 16, 32) && HasImage(document, 32, 32) && HasImage(document, 32, 8));
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
    const std::string path = PayloadPath(std::string("Filters\\") + filter.name + ".dll");
    HMODULE library = LoadLibraryA(path.c_str());
    ASSERT_NE(library, nullptr) << path << " error " << GetLastError();
    TFilterName name = reinterpret_cast<TFilterName>(reinterpret_cast<void*>(GetProcAddress(library, "TWXFilterName")));
    TFilterAccepts accepts = reinterpret_cast<TFilterAccepts>(
        reinterpret_cast<void*>(GetProcAddress(library, "TWXFilterAccepts")));
    ASSERT_TRUE(name && accepts) << path;
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

// Their headers and formats are checked on the host (check_payload.sh); here
// the product's own readers take them and find them consistent.
TEST(SampleDataFiles, UserDataFilesReadAndAgree) {
  twx::TQueryFolder folder;
  ASSERT_TRUE(twx::ParseQueryFolder(Payload("Queries\\NONAME.TWX"), &folder));
  std::vector<twx::TEngineSet> sets;
  std::vector<twx::TEngine> engines;
  ASSERT_TRUE(twx::ParseEngineSets(Payload("TWXData\\Set.db"), &sets));
  ASSERT_TRUE(twx::ParseEngineRegistry(Payload("TWXData\\Entry.db"), &engines));
  ASSERT_FALSE(sets.empty());
  EXPECT_EQ(sets[0].name, "Search in Web");
  // Every set member is a registered engine, and every query names a set that exists.
  EXPECT_EQ(twx::DescribeEngineSets(sets, engines).find("(not registered)"), std::string::npos);
  ASSERT_EQ(folder.queries.size(), 3u);
  for (const twx::TQuery& query : folder.queries) {
    if (query.engineSet.empty()) continue;
    bool known = false;
    for (const twx::TEngineSet& set : sets) known = known || set.name == query.engineSet;
    EXPECT_TRUE(known) << query.engineSet;
  }
}

TEST(SampleReaders, QueryFolderLinesAndTheirView) {
  twx::TQueryFolder folder;
  EXPECT_FALSE(twx::ParseQueryFolder("Trawlmark Engine Sets\r\nQuery=x\r\n", &folder));
  EXPECT_FALSE(twx::ParseQueryFolder("", &folder));
  ASSERT_TRUE(twx::ParseQueryFolder("Trawlmark Query Folder\nName=Fish\rQuery=a|Search in News\r\n"
                                    "Query=\r\nQuery=b c\r\nquery=lower\r\nQuery=d|\r\n",
                                    &folder));
  EXPECT_EQ(folder.name, "Fish");
  ASSERT_EQ(folder.queries.size(), 3u);  // the empty query and the lower-case key are skipped
  EXPECT_EQ(folder.queries[0].text, "a");
  EXPECT_EQ(folder.queries[0].engineSet, "Search in News");
  EXPECT_EQ(folder.queries[1].engineSet, "");
  EXPECT_EQ(folder.queries[2].text, "d");
  const std::string view = twx::DescribeQueryFolder("FISH.TWX", folder);
  EXPECT_NE(view.find("Query folder: Fish\r\nFile: FISH.TWX\r\n"), std::string::npos);
  EXPECT_NE(view.find("3 queries:\r\n  1. a   [Search in News]\r\n  2. b c   [default engine set]\r\n"),
            std::string::npos);
  ASSERT_TRUE(twx::ParseQueryFolder("Trawlmark Query Folder", &folder));
  EXPECT_NE(twx::DescribeQueryFolder("E.TWX", folder).find("Query folder: E.TWX\r\n"), std::string::npos);
  EXPECT_NE(twx::DescribeQueryFolder("E.TWX", folder).find("holds no queries"), std::string::npos);
}

TEST(SampleReaders, EngineSetsAndRegistry) {
  std::vector<twx::TEngineSet> sets;
  std::vector<twx::TEngine> engines;
  EXPECT_FALSE(twx::ParseEngineSets("Trawlmark Engine Registry\r\nSET=x\r\n", &sets));
  EXPECT_FALSE(twx::ParseEngineRegistry("Trawlmark Engine Sets\r\n", &engines));
  ASSERT_TRUE(twx::ParseEngineSets("Trawlmark Engine Sets\r\nENGINE=Stray\r\nSET=Web\r\nENGINE=A\r\nENGINE=Ghost\r\n"
                                   "SET=Empty\r\n",
                                   &sets));
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].engines, (std::vector<std::string>{"A", "Ghost"}));  // "Stray" belongs to no set
  EXPECT_TRUE(sets[1].engines.empty());
  ASSERT_TRUE(twx::ParseEngineRegistry("Trawlmark Engine Registry\r\nENGINE=A|http://a.example/?q=%s\r\n"
                                       "ENGINE=|nameless\r\nENGINE=B\r\n",
                                       &engines));
  ASSERT_EQ(engines.size(), 2u);
  EXPECT_EQ(engines[0].address, "http://a.example/?q=%s");
  EXPECT_EQ(engines[1].name, "B");
  EXPECT_EQ(twx::DescribeEngineSets(sets, engines),
            "2 engine sets, 2 registered engines\r\n"
            "\r\nWeb\r\n    A   http://a.example/?q=%s\r\n    Ghost   (not registered)\r\n"
            "\r\nEmpty\r\n    (no engines)\r\n");
}

TEST(SampleReaders, CommandLinesAndLines) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(twx::CommandArguments("\"C:\\Program Files\\Trawlix\\Trawlix.exe\" \"D:\\My Queries\\a b.twx\""),
            Words{"D:\\My Queries\\a b.twx"});
  EXPECT_EQ(twx::CommandArguments("Trawlix.exe   /S\t\"/D=C:\\x y\"  /W=12 "), (Words{"/S", "/D=C:\\x y", "/W=12"}));
  EXPECT_EQ(twx::CommandArguments("uninst.exe \"\" x"), (Words{"", "x"}));
  EXPECT_EQ(twx::CommandArguments("Trawlix.exe"), Words{});
  EXPECT_EQ(twx::CommandArguments(nullptr), Words{});
  EXPECT_EQ(twx::SplitLines("a\r\nb\rc\n\nd"), (Words{"a", "b", "c", "", "d"}));
  EXPECT_EQ(twx::WithCrLf("a\nb\r"), "a\r\nb\r\n");
}

// A huge file handed to the program (a wrong file association, say) is refused
// instead of being loaded whole.
TEST(SampleReaders, FilesLargerThanAnyProductFileAreRefused) {
  twxtest::TempFolder folder;
  const std::string path = folder.Join("huge.twx");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "Trawlmark Query Folder", 22, &written, nullptr);
  SetFilePointer(file, twx::kMaxFileSize + 1, nullptr, FILE_BEGIN);
  SetEndOfFile(file);
  CloseHandle(file);
  std::string bytes = "left over";
  EXPECT_FALSE(twx::ReadWholeFile(path, &bytes));
  EXPECT_TRUE(bytes.empty());

  file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetFilePointer(file, twx::kMaxFileSize, nullptr, FILE_BEGIN);
  SetEndOfFile(file);
  CloseHandle(file);
  ASSERT_TRUE(twx::ReadWholeFile(path, &bytes));
  EXPECT_EQ(bytes.size(), static_cast<size_t>(twx::kMaxFileSize));
  EXPECT_TRUE(twx::BeginsWith(bytes, "Trawlmark Query Folder"));

  EXPECT_FALSE(twx::ReadWholeFile(PayloadPath("no such file"), &bytes));
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
