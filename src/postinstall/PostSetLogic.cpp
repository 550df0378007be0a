#include "PostSetLogic.h"

#include <climits>
#include <vector>

#include "ApplyPth.h"
#include "FileUtils.h"
#include "GlobalData.h"

TWriteBytes PostSetWriteBytes = WriteFileBytes;

namespace {

// The engine-set file is the one record whose contents are converted.
const char kEngineSetsHeader[] = "Trawlmark Engine Sets";
const char kObsoleteSetName[] = "SET=SEARCH IN ENTIRE WEB";
const char kCurrentSetName[] = "SET=Search in Web";

struct TLanguageName {
  uint16_t primaryId;
  const char* name;
};

// The languages the product has a file for, by primary language identifier.
const TLanguageName kLanguageNames[] = {
    {0x01, "Arabic"},     {0x02, "Bulgarian"}, {0x03, "Catalan"},    {0x04, "Chinese Traditional"},
    {0x05, "Czech"},      {0x06, "Danish"},    {0x07, "German"},     {0x08, "Greek"},
    {0x09, "English"},    {0x0A, "Spanish"},   {0x0B, "Finnish"},    {0x0C, "French"},
    {0x0D, "Hebrew"},     {0x0E, "Hungarian"}, {0x0F, "Icelandic"},  {0x10, "Italian"},
    {0x11, "Japanese"},   {0x12, "Korean"},    {0x13, "Dutch"},      {0x14, "Norwegian"},
    {0x15, "Polish"},     {0x16, "Portuguese"},{0x18, "Romanian"},   {0x19, "Russian"},
    {0x1B, "Slovak"},     {0x1D, "Swedish"},   {0x1F, "Turkish"},    {0x21, "Indonesian"},
    {0x25, "Estonian"},   {0x26, "Latvian"},   {0x27, "Lithuanian"}, {0x36, "Afrikaans"},
};

}  // namespace

bool ReadFileToString(const std::string& path, std::string* bytes) { return ReadWholeFile(path, bytes); }

bool WriteStringToFile(const std::string& bytes, const std::string& path) {
  return WriteFileBeside(path, bytes.data(), bytes.size(), PostSetWriteBytes);
}

std::string LoadCustomFile(const std::string& path, const std::string& header) {
  std::string bytes;
  if (!ReadFileToString(path, &bytes) || bytes.compare(0, header.size(), header) != 0) return std::string();
  return bytes;
}

bool SaveCustomFiles(const std::string& destination) {
  for (TCustomFileToSave& record : CustomFiles)
    record.Content = LoadCustomFile(destination + "\\" + record.FileName, record.Header);
  return true;
}

std::string ConvertEngineSetNames(const std::string& content) {
  std::string converted = content;
  const size_t obsoleteLength = sizeof kObsoleteSetName - 1;
  for (;;) {
    // Upper-cased afresh each time: the replacement moved everything after it.
    const size_t at = UpperAscii(converted).find(kObsoleteSetName);
    if (at == std::string::npos) return converted;
    converted.replace(at, obsoleteLength, kCurrentSetName);
  }
}

void RestoreCustomFiles(const std::string& destination, bool convertSetNames) {
  for (TCustomFileToSave& record : CustomFiles) {
    if (record.Content.empty()) continue;
    // The capture itself stays as the user had it, for a second restore after
    // a failed installation.
    const bool convert = convertSetNames && record.Header == kEngineSetsHeader;
    WriteStringToFile(convert ? ConvertEngineSetNames(record.Content) : record.Content,
                      destination + "\\" + record.FileName);
  }
}

bool ApplyPatch(const std::string& basePath, const std::string& outputPath, const std::string& patchPath) {
  std::string base, patch, output;
  // The base is read whole before anything is written: the main program is
  // patched in place.
  bool ok = ReadFileToString(basePath, &base) && ReadFileToString(patchPath, &patch);
  ok = ok &&
       DecodePatchInTwoPasses(reinterpret_cast<const uint8_t*>(base.data()), static_cast<int32_t>(base.size()),
                              reinterpret_cast<const uint8_t*>(patch.data()), static_cast<int32_t>(patch.size()),
                              &output) == kPatchOk &&
       WriteStringToFile(output, outputPath);
  DeleteFilePath(patchPath);
  return ok;
}

const char* const ObsoleteFiles[kObsoleteFileCount] = {
    "\\Filters\\Markup.ini",
    "\\Filters\\Markup9x.dll",
    "\\Filters\\AuxFiles\\mkphelp.dll",
    "\\Filters\\AuxFiles\\mkphelp.ini",
    "\\Filters\\Compend.dll",
    "\\Filters\\Compend.ini",
    "\\renew.dat",
    "\\renew.exe",
    "\\Language\\Chinese Simplified(GB2312).TWL",
    "\\Language\\Chinese Traditional(BIG5).TWL",
    "\\Language\\Flags\\Chinese Simplified(GB2312).ico",
    "\\Language\\Flags\\Chinese Traditional(BIG5).ico",
};

void RemoveObsoleteFiles(const std::string& destination, TMessagePump pump) {
  for (const char* file : ObsoleteFiles) {
    const std::string path = destination + file;
    DeleteFilePath(path);
    // Succeeds only for an empty folder, so a folder of the earlier version
    // goes once its last file is gone.
    RemoveFolder(ParentPart(path));
    Pump(pump);
  }
}

const char* const DocumentFilterFiles[kDocumentFilterFileCount] = {
    "\\Filters\\Textor.dll", "\\Filters\\Textor.ini", "\\Filters\\Slidor.dll",
    "\\Filters\\Slidor.ini", "\\Filters\\Gridor.dll", "\\Filters\\Gridor.ini",
};

bool IsNewerHelperVersion(unsigned major, unsigned minor, unsigned installedMajor, unsigned installedMinor) {
  return major > installedMajor || (major == installedMajor && minor > installedMinor);
}

std::string LanguageNameOf(uint16_t languageId) {
  const uint16_t primary = languageId & 0x3FF;
  for (const TLanguageName& language : kLanguageNames)
    if (language.primaryId == primary) return language.name;
  return std::string();
}
