#include "PostSetLogic.h"

#include <climits>
#include <vector>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "CRC_32.h"
#include "FileUtils.h"
#include "Product.h"

TWriteBytes PostSetWriteBytes = WriteFileBytes;

TCustomFileToSave CustomFiles[kCustomFileCount] = {
    {"", "Queries\\NONAME.TWX", kQueryFolderHeader},
    {"", "TWXData\\Entry.db", kEngineRegistryHeader},
    // The one record whose contents are converted.
    {"", "TWXData\\Set.db", kEngineSetsHeader},
};

namespace {

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

namespace {

const size_t kSaveCopyTrailer = 8;

uint32_t CheckValueOf(const std::string& bytes) {
  return UpdateCrc32(bytes.data(), static_cast<int32_t>(bytes.size()), vhz::kCheckStart);
}

}  // namespace

std::string SaveCopyOf(const std::string& content) {
  uint8_t trailer[kSaveCopyTrailer];
  PutLE(trailer, static_cast<uint32_t>(content.size()), 4);
  PutLE(trailer + 4, CheckValueOf(content), 4);
  return content + std::string(reinterpret_cast<const char*>(trailer), sizeof trailer);
}

namespace {

// What one user data file holds for the user: a whole save copy that begins
// with header, otherwise the file when it does, otherwise "". fromCopy tells which.
std::string CaptureCustomFile(const std::string& path, const std::string& header, bool* fromCopy) {
  std::string copy;
  if (ReadFileToString(SaveCopyPathOf(path), &copy) && copy.size() >= kSaveCopyTrailer) {
    const size_t size = copy.size() - kSaveCopyTrailer;
    const uint8_t* trailer = reinterpret_cast<const uint8_t*>(copy.data()) + size;
    const uint32_t length = GetU32(trailer), check = GetU32(trailer + 4);
    copy.resize(size);
    *fromCopy = length == size && check == CheckValueOf(copy) && copy.compare(0, header.size(), header) == 0;
    if (*fromCopy) return copy;
  }
  *fromCopy = false;
  return LoadCustomFile(path, header);
}

}  // namespace

bool SaveCustomFiles(const std::string& destination) {
  for (TCustomFileToSave& record : CustomFiles) {
    const std::string path = destination + "\\" + record.FileName;
    bool fromCopy = false;
    record.Content = CaptureCustomFile(path, record.Header, &fromCopy);
    if (!record.Content.empty() && !fromCopy && !WriteStringToFile(SaveCopyOf(record.Content), SaveCopyPathOf(path)))
      return false;
  }
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

bool RestoreCustomFiles(const std::string& destination, bool convertSetNames) {
  bool restored = true;
  for (TCustomFileToSave& record : CustomFiles) {
    const std::string path = destination + "\\" + record.FileName;
    // The capture itself stays as the user had it, for a second restore after
    // a failed installation.
    const bool convert = convertSetNames && record.Header == kEngineSetsHeader;
    if (!record.Content.empty() &&
        !WriteStringToFile(convert ? ConvertEngineSetNames(record.Content) : record.Content, path)) {
      restored = false;
      continue;
    }
    DeleteFilePath(SaveCopyPathOf(path));
  }
  return restored;
}

bool RunWorkSteps(const std::string& destination, TMessagePump pump, TWorkStep extract, TWorkStep postInstall) {
  try {
    if (SaveCustomFiles(destination) && extract(destination, pump) && postInstall(destination, pump)) return true;
  } catch (...) {
    // Out of memory for a large patch, say: the user's files go back all the same.
  }
  // The step that would have restored them has not run, or did not finish.
  // Should this fail too, the save copies stay for the next run.
  try {
    RestoreCustomFiles(destination, false);
  } catch (...) {
  }
  return false;
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
