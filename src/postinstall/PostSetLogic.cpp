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

// Decodes a patch against base. The first pass guesses the size; a patch that
// grows the file by more than the headroom learns the exact size from the
// decoder and takes one more pass.
bool DecodePatch(const std::string& base, const std::string& patch, std::string* output) {
  if (base.size() > static_cast<size_t>(INT32_MAX - kPatchHeadroom) || patch.size() > static_cast<size_t>(INT32_MAX))
    return false;
  const int32_t baseSize = static_cast<int32_t>(base.size());
  const int32_t patchSize = static_cast<int32_t>(patch.size());
  int32_t capacity = baseSize + kPatchHeadroom;
  for (;;) {
    output->resize(static_cast<size_t>(capacity));
    int32_t length = capacity;
    const int32_t result = ApplyPatchToBuffer(reinterpret_cast<const uint8_t*>(base.data()), baseSize,
                                              reinterpret_cast<uint8_t*>(&(*output)[0]), &length,
                                              reinterpret_cast<const uint8_t*>(patch.data()), patchSize, nullptr,
                                              nullptr);
    if (result == kPatchOk && length >= 0 && length <= capacity) {
      output->resize(static_cast<size_t>(length));
      return true;
    }
    // Anything but "too small, and here is the size" is a patch that does not
    // fit; a size that does not grow would only repeat the same pass.
    if (result != kPatchOutputTooSmall || length <= capacity) {
      output->clear();
      return false;
    }
    capacity = length;
  }
}

}  // namespace

bool ReadFileToString(const std::string& path, std::string* bytes) {
  bytes->clear();
  TFileHandle file = OpenFileForRead(path);
  if (file == kNoFile) return false;
  const int64_t size = FileSize(file);
  bool ok = size >= 0 && size < INT32_MAX;
  if (ok) {
    bytes->resize(static_cast<size_t>(size));
    int64_t done = 0;
    while (ok && done < size) {
      int32_t delivered = 0;
      ok = ReadFileBytes(file, &(*bytes)[static_cast<size_t>(done)], static_cast<int32_t>(size - done), &delivered);
      if (ok && delivered == 0) break;  // the file shrank while it was read: keep what it holds now
      done += delivered;
    }
    bytes->resize(static_cast<size_t>(done));
  }
  if (!CloseFile(file)) ok = false;
  if (!ok) bytes->clear();
  return ok;
}

bool WriteStringToFile(const std::string& bytes, const std::string& path) {
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) return false;
  // Beside the file, so that the move below stays on one volume.
  const std::string temporary = path + ".$$$";
  TFileHandle file = CreateFileForWrite(temporary);
  if (file == kNoFile) return false;
  bool ok = bytes.empty() || PostSetWriteBytes(file, bytes.data(), static_cast<int32_t>(bytes.size()));
  if (!CloseFile(file)) ok = false;
  if (ok) ok = ReplaceFilePath(temporary, path);
  if (!ok) DeleteFilePath(temporary);
  return ok;
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
    if (convertSetNames && record.Header == kEngineSetsHeader) record.Content = ConvertEngineSetNames(record.Content);
    WriteStringToFile(record.Content, destination + "\\" + record.FileName);
  }
}

bool ApplyPatch(const std::string& basePath, const std::string& outputPath, const std::string& patchPath) {
  std::string base, patch, output;
  // The base is read whole before anything is written: the main program is
  // patched in place.
  bool ok = ReadFileToString(basePath, &base) && ReadFileToString(patchPath, &patch);
  if (ok) ok = DecodePatch(base, patch, &output) && WriteStringToFile(output, outputPath);
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

std::string LanguageNameOf(uint16_t languageId) {
  const uint16_t primary = languageId & 0x3FF;
  for (const TLanguageName& language : kLanguageNames)
    if (language.primaryId == primary) return language.name;
  return std::string();
}
