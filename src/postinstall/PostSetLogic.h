// The file work of the post-install steps that needs nothing of Windows: the
// user data files kept across a re-installation, the delta patches that rebuild
// the product's programs, the removal of an earlier version's files, and the
// language and filter tables. Portable, so that it runs natively in tests too.
#pragma once

#include <cstdint>
#include <string>

#include "FileIO.h"
#include "FileUtils.h"
#include "MessagePump.h"

// The whole file as bytes (the shared ReadWholeFile). False when it cannot be
// opened or read, is too large to be held (2 GiB or more), or ends before its
// size (it shrank while it was read): a truncated user file is never captured.
bool ReadFileToString(const std::string& path, std::string* bytes);

// Replaces the file with exactly these bytes (an empty string leaves an empty
// file). The bytes go to a file beside it first, which then takes the file's
// place: a write that fails part-way, on a full disk for instance, leaves the
// old file whole. False when anything failed; no temporary file is left.
bool WriteStringToFile(const std::string& bytes, const std::string& path);

// How WriteStringToFile writes its bytes: WriteFileBytes, unless a test puts in
// one that fails part-way.
extern TWriteBytes PostSetWriteBytes;

// The file's bytes when it can be read and begins with header, otherwise "".
std::string LoadCustomFile(const std::string& path, const std::string& header);

// A save copy (SaveCopyPathOf in Product.h) holds the user's bytes followed by
// their length and check value (UpdateCrc32), four bytes each, little-endian,
// so that a copy cut short or damaged on the disk is known as such.
std::string SaveCopyOf(const std::string& content);

// One user data file of the product to capture before extraction and to
// restore after it.
struct TCustomFileToSave {
  std::string Content;   // the captured bytes; empty when nothing was captured
  std::string FileName;  // relative to the destination folder, no leading "\"
  std::string Header;    // how a valid file of this kind begins
};
const int kCustomFileCount = 3;
extern TCustomFileToSave CustomFiles[kCustomFileCount];

// Captures the CustomFiles of destination (each record's Content): from a
// whole save copy beside the file that begins with its header (a setup was
// cut off there, and the file itself may be the payload's by now), otherwise
// from the file when it begins with its header. Puts every capture that is
// not in a save copy yet into one, on the disk, before the extraction may
// replace the file. False when a copy could not be written: nothing may be
// replaced then.
bool SaveCustomFiles(const std::string& destination);

// Writes every captured CustomFiles record back over the copy the extraction
// left; the engine-set file with its obsolete set name converted, unless
// convertSetNames is false (after a failed installation the files go back as
// the user had them). The captures stay unconverted, so that second restore
// may follow a converting one. A save copy goes once its file is written and
// on the disk, or when there was nothing to write; a copy whose file could not
// be written stays for the next run, and the result is false.
bool RestoreCustomFiles(const std::string& destination, bool convertSetNames = true);

// A work step of the setup driver after the capture: the extraction, then the
// post-install sequence.
typedef bool (*TWorkStep)(const std::string& destination, TMessagePump pump);

// The setup's three work steps on destination: SaveCustomFiles, extract,
// postInstall, each only after the one before succeeded. After a failure, or
// an exception out of any of them (no memory for a large patch, say), the
// captured files go back as the user had them; no exception goes further. True
// when all three succeeded.
bool RunWorkSteps(const std::string& destination, TMessagePump pump, TWorkStep extract, TWorkStep postInstall);

// Every "SET=SEARCH IN ENTIRE WEB", in any mix of case, becomes
// "SET=Search in Web" (the set was renamed; the old name finds nothing).
std::string ConvertEngineSetNames(const std::string& content);

// Rebuilds output from base and the patch stream in patchPath, then deletes the
// patch file whatever happened. base and output may be one file: the base is
// read whole first. False for an unreadable base or patch, a patch that does
// not decode against this base, or an output that cannot be written; the
// output file is then left as it was.
bool ApplyPatch(const std::string& basePath, const std::string& outputPath, const std::string& patchPath);


// Files of earlier versions, relative to the destination folder.
const int kObsoleteFileCount = 12;
extern const char* const ObsoleteFiles[kObsoleteFileCount];

// Deletes the ObsoleteFiles in order, and after each the folder that held it
// if it is empty now; pumps after each.
void RemoveObsoleteFiles(const std::string& destination, TMessagePump pump);

// The document filters, relative to the destination folder; the first is the
// one whose loading decides whether the platform can use them.
const int kDocumentFilterFileCount = 6;
extern const char* const DocumentFilterFiles[kDocumentFilterFileCount];

// The payload's helper (major.minor) replaces the installed one only when it
// is newer; release and build numbers do not make a helper newer.
bool IsNewerHelperVersion(unsigned major, unsigned minor, unsigned installedMajor, unsigned installedMinor);

// The product's name of a Windows language: "English" for 0x0409, every
// Chinese variant "Chinese Traditional"; "" for a language the product lacks.
std::string LanguageNameOf(uint16_t languageId);

