// The subcommands: each reads its inputs, calls the plain functions that do
// the work, and turns their outcome into a message and an exit code.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "CommandLine.h"
#include "Deflate.h"
#include "DeltaEncoder.h"
#include "Files.h"
#include "PatchApply.h"
#include "FileUtils.h"
#include "PayloadLocation.h"
#include "Product.h"
#include "VhUnZip.h"

namespace {

int DefaultThreads() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

// --level N: 0 to kDeflateLevelMax.
bool ParseLevel(const TArguments& args, int fallback, int* level) {
  *level = fallback;
  if (!args.Has("--level")) return true;
  const std::string text = args.Get("--level");
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0 || value > kDeflateLevelMax) return false;
  *level = static_cast<int>(value);
  return true;
}

int LevelError(const char* command) {
  std::fprintf(stderr, "vhzip %s: --level takes a number from 0 to %d (try 'vhzip %s --help')\n", command,
               kDeflateLevelMax, command);
  return kExitUsage;
}

// SOURCE_DATE_EPOCH, the reproducible builds' time: no entry is later than
// it. kNoDosTime when it is not set; false when it is not a count of seconds.
bool SourceDateLimit(TDosDateTime* limit) {
  *limit = kNoDosTime;
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr) return true;
  const std::string digits = text;
  if (digits.empty() || digits.size() > 12 || digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *limit = DosTimeFromUnix(std::stoll(digits));
  return true;
}

int RunPack(const TArguments& args) {
  int level;
  if (!ParseLevel(args, kDeflateLevelStrong, &level)) return LevelError("pack");
  TDosDateTime limit;
  if (!SourceDateLimit(&limit))
    return Fail("pack", kExitUsage, "SOURCE_DATE_EPOCH must be a count of seconds since 1970, not '" +
                                        std::string(std::getenv("SOURCE_DATE_EPOCH")) + "'");
  std::vector<TPackEntry> entries;
  std::string error;
  if (!CollectTree(args.positional[0], &entries, &error)) return Fail("pack", kExitBadData, error);
  // DOS times order as the times they stand for.
  for (TPackEntry& e : entries) {
    if (limit != kNoDosTime && e.dosDateTime != kNoDosTime && e.dosDateTime > limit) e.dosDateTime = limit;
  }
  int64_t total = 0;
  for (const TPackEntry& e : entries) total += FileSizeOr(e.sourcePath, 0);
  TProgress progress;
  StartProgress(&progress, "packing", total);
  TPackOptions options = {level, args.Get("--pass-phrase"), DefaultThreads(), &progress};
  TBytes archive;
  bool built = BuildArchive(entries, options, &archive, &error);
  EndProgress(&progress);
  if (!built) return Fail("pack", kExitBadData, error);
  const std::string out = args.Get("--output");
  if (!WriteWholeFile(out, archive)) return Fail("pack", kExitBadData, "cannot write '" + out + "'");
  return kExitOk;
}

int RunBundle(const TArguments& args) {
  const std::string& stubPath = args.positional[0];
  const std::string& archivePath = args.positional[1];
  TBytes stub, archive;
  if (!ReadWholeFile(stubPath, &stub)) return Fail("bundle", kExitBadData, ReadProblem(stubPath));
  if (!ReadWholeFile(archivePath, &archive))
    return Fail("bundle", kExitBadData, ReadProblem(archivePath));
  std::string error;
  if (!BundleSetup(stub, archive, &error)) return Fail("bundle", kExitBadData, error);
  const std::string out = args.Get("--output");
  if (!WriteWholeFile(out, stub)) return Fail("bundle", kExitBadData, "cannot write '" + out + "'");
  return kExitOk;
}

// FILE of list, extract and verify: a regular file (a pipe or a device could
// be endless), and where its archive starts. It is taken for a setup program
// only when it starts with an executable image header; otherwise it is a bare
// archive, whatever text its scrambled bytes happen to hold; the archive of a
// signed setup ends where its certificate table starts. "" or a message.
std::string LocateArchive(const std::string& shown, const std::string& file, int64_t* offset, int64_t* end) {
  *offset = 0;
  *end = -1;
  const int32_t kind = PathKind(file, true);
  if (kind == kPathMissing) return "cannot read '" + shown + "'";
  if (kind != kPathFile) return "'" + shown + "' is not a regular file";
  TFileHandle handle = OpenFileForRead(file);
  if (handle == kNoFile) return "cannot read '" + shown + "'";
  uint8_t head[2] = {0, 0};
  int32_t got = 0;
  const bool read = ReadFileBytes(handle, head, 2, &got);
  CloseFile(handle);
  if (!read) return "cannot read '" + shown + "'";
  *end = FileSizeOr(file, -1);
  if (IsExecutableImage(head, static_cast<size_t>(got))) {
    *offset = FindArchiveOffset(file, nullptr);
    *end = *offset < 0 ? -1 : FindArchiveEnd(file, *offset);
  }
  return *offset < 0 || *end < 0 ? "cannot read '" + shown + "'" : std::string();
}

const char kUnalignedSignature[] = "signed after an unaligned bundle: re-bundle with this vhzip, then sign again";

// The words for FILE when it is a setup signed after a bundle that did not
// align its length: its archive fails the check only for the signing tool's
// padding. "" for any other file.
std::string SigningProblem(const TArguments& args) {
  const std::string file = PortablePath(args.positional[0]);
  int64_t offset = 0, end = 0;
  TBytes bytes;
  if (!LocateArchive(args.positional[0], file, &offset, &end).empty() || !ReadWholeFile(file, &bytes)) return "";
  return SignedAfterUnalignedBundle(bytes.data(), bytes.size(), offset, end, args.Get("--pass-phrase"))
             ? kUnalignedSignature
             : "";
}

int RunList(const TArguments& args) {
  const std::string& path = args.positional[0];
  int64_t offset = 0, end = 0;
  const std::string problem = LocateArchive(path, PortablePath(path), &offset, &end);
  if (!problem.empty()) return Fail("list", kExitBadData, problem);
  TBytes file;
  if (!ReadWholeFile(PortablePath(path), &file)) return Fail("list", kExitBadData, ReadProblem(path));
  end = std::min<int64_t>(end, static_cast<int64_t>(file.size()));
  TBytes body;
  std::vector<TArchiveEntry> entries;
  std::string error;
  const bool read = ReadArchive(file.data() + offset, static_cast<size_t>(end - offset), args.Get("--pass-phrase"),
                                &body, &entries, &error);
  if (!read && SignedAfterUnalignedBundle(file.data(), file.size(), offset, end, args.Get("--pass-phrase")))
    error = kUnalignedSignature;
  // What could be read is shown even when the archive fails its checks.
  if (read || !entries.empty()) std::fputs(FormatListing(entries).c_str(), stdout);
  if (!read) return Fail("list", kExitBadData, path + ": " + error);
  return kExitOk;
}

int RunDiff(const TArguments& args) {
  int level;
  if (!ParseLevel(args, kDeflateLevelStrong, &level)) return LevelError("diff");
  TBytes base, target;
  if (!ReadWholeFile(args.positional[0], &base))
    return Fail("diff", kExitBadData, ReadProblem(args.positional[0]));
  if (!ReadWholeFile(args.positional[1], &target))
    return Fail("diff", kExitBadData, ReadProblem(args.positional[1]));
  TDeltaOptions options = DefaultDeltaOptions();
  options.level = level;
  options.threads = DefaultThreads();
  TBytes patch = EncodeDelta(base.data(), static_cast<int32_t>(base.size()), target.data(),
                             static_cast<int32_t>(target.size()), options, nullptr);
  // The patch is only written once it is known to rebuild NEW exactly.
  int32_t code = 0;
  if (!PatchRebuilds(base, patch, target, &code))
    return Fail("diff", kExitBadData, "internal error: the patch does not rebuild NEW (code " + std::to_string(code) + ")");
  const std::string out = args.Get("--output");
  if (!WriteWholeFile(out, patch)) return Fail("diff", kExitBadData, "cannot write '" + out + "'");
  return kExitOk;
}

int RunApply(const TArguments& args) {
  TBytes base, patch, output;
  if (!ReadWholeFile(args.positional[0], &base))
    return Fail("apply", kExitBadData, ReadProblem(args.positional[0]));
  if (!ReadWholeFile(args.positional[1], &patch))
    return Fail("apply", kExitBadData, ReadProblem(args.positional[1]));
  int32_t code = ApplyPatchWithRetry(base, patch, &output);
  if (code != kPatchOk)
    return Fail("apply", kExitBadData, "'" + args.positional[1] + "' does not apply to '" + args.positional[0] +
                                           "': " + PatchResultText(code) + " (code " + std::to_string(code) + ")");
  const std::string out = args.Get("--output");
  if (!WriteWholeFile(out, output)) return Fail("apply", kExitBadData, "cannot write '" + out + "'");
  return kExitOk;
}

// An extraction's failure: what went wrong, where, and the result code. A file
// left with part of its entry is removed: no partial file keeps a final name.
// A damaged archive of a setup signed after an unaligned bundle says so.
int ExtractionFailure(const char* command, const TArguments& args, int32_t code) {
  std::string where;
  if (code == kExtractCannotCreate || code == kExtractFileError || code == kExtractBadEntry)
    where = " (at '" + EscapedName(CurrentEntryPath()) + "')";
  if (CurrentEntryIsPartial()) DeleteFilePath(CurrentEntryPath());
  std::string what = code == kExtractDamaged ? SigningProblem(args) : "";
  if (what.empty()) what = ExtractResultText(code);
  return Fail(command, kExitBadData,
              args.positional[0] + ": " + what + where + " (code " + std::to_string(code) + ")");
}

// FILE's archive copied to archive, where the extraction consumes it; FILE is
// never touched. A file whose start already shows that it holds no archive is
// refused before anything is copied. kExitOk, or the exit code of the failure it reported.
int CopyOut(const char* command, const TArguments& args, const std::string& archive) {
  const std::string& shown = args.positional[0];
  const std::string file = PortablePath(shown);
  int64_t offset = 0, end = 0;
  const std::string problem = LocateArchive(shown, file, &offset, &end);
  if (!problem.empty()) return Fail(command, kExitBadData, problem);
  if (IsSameFile(file, archive))
    return Fail(command, kExitUsage, "'" + shown + "' is the temporary file '" + archive + "' itself");
  if (!ArchiveStartIsPlausible(file, offset, end, args.Get("--pass-phrase").c_str()))
    return ExtractionFailure(command, args, kExtractDamaged);
  if (!CopyArchiveFrom(file, offset, end, archive, nullptr)) {
    DeleteFilePath(archive);
    return Fail(command, kExitBadData, "cannot copy the archive of '" + shown + "' to '" + archive + "'");
  }
  return kExitOk;
}

int RunExtract(const TArguments& args) {
  std::string destination = PortablePath(args.Get("--directory"));
  // A relative DIR of one or two characters would pass for a drive ("C:"):
  // it is named from the current folder.
  const bool absolute = (!destination.empty() && destination[0] == '\\') ||
                        (destination.size() > 1 && destination[1] == ':');
  if (!absolute && !destination.empty() && destination.size() < 3) destination = ".\\" + destination;
  // A root ("\") keeps its backslash.
  std::string trimmed = WithoutTrailingBackslashes(destination);
  if (trimmed.empty()) trimmed = destination.substr(0, 1);
  MakeFolderPath(trimmed);
  if (!IsExistingFolder(trimmed))
    return Fail("extract", kExitBadData, "cannot create the folder '" + args.Get("--directory") + "'");
  const std::string archive = TemporaryArchivePath(trimmed);
  const int copied = CopyOut("extract", args, archive);
  if (copied != kExitOk) return copied;
  const std::string phrase = args.Get("--pass-phrase");
  const int32_t code = ExtractArchive(archive.c_str(), trimmed.c_str(), phrase.c_str(), nullptr);
  DeleteFilePath(archive);
  if (code != kExtractOk) return ExtractionFailure("extract", args, code);
  return kExitOk;
}

int RunVerify(const TArguments& args) {
  const std::string archive = TemporaryFilePath("vhzip-verify");
  const int copied = CopyOut("verify", args, archive);
  if (copied != kExitOk) return copied;
  const std::string phrase = args.Get("--pass-phrase");
  const int32_t code = VerifyArchive(archive.c_str(), phrase.c_str(), nullptr);
  DeleteFilePath(archive);
  if (code != kExtractOk) return ExtractionFailure("verify", args, code);
  std::printf("%s: every entry verified\n", args.positional[0].c_str());
  return kExitOk;
}

const TOptionSpec kPackLevelOption = {"--level", nullptr, "N",
                                      "deflate effort: 0 stores, 12 (the default) is strong, 13 is slowest and smallest"};
const TOptionSpec kDiffLevelOption = {"--level", nullptr, "N",
                                      "effort from 0 to 13 (default 12); what each level costs is above"};
const TOptionSpec kPassPhraseOption = {"--pass-phrase", nullptr, "TEXT",
                                       "scramble with this pass phrase (the setup uses none)"};

}  // namespace

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"pack", "DIR", 1, "pack a folder tree into a payload archive",
       "Packs every file below DIR into a payload archive: one entry per file, named\n"
       "relative to DIR with backslashes, with its modification time (local time) and\n"
       "its read-only state. The same tree always gives the same archive. With\n"
       "SOURCE_DATE_EPOCH set (seconds since 1970), a time later than it is taken as it,\n"
       "so that a build of the same sources gives the same archive at any time.",
       {{"--output", "-o", "ARCHIVE", "the archive to write"}, kPackLevelOption, kPassPhraseOption},
       {"--output"},
       RunPack},
      {"bundle", "STUB ARCHIVE", 2, "append an archive to the setup program",
       "Writes SETUP: the setup program STUB, the payload marker and ARCHIVE. Refuses a\n"
       "STUB that already carries a payload and an ARCHIVE the setup could not open.",
       {{"--output", "-o", "SETUP", "the setup program to write"}},
       {"--output"},
       RunBundle},
      {"list", "FILE", 1, "list the entries of an archive or a setup program",
       "Lists the entries of FILE, a payload archive or a setup program that carries\n"
       "one: length, attributes, time stamp, stored size and name (control characters\n"
       "shown as \\xNN). An archive that fails its checks is listed as far as it can be\n"
       "read, and the exit code is 1.",
       {kPassPhraseOption},
       {},
       RunList},
      {"diff", "BASE NEW", 2, "make a delta patch that rebuilds NEW from BASE",
       "Writes PATCH, a patch stream whose copy commands read BASE and which rebuilds\n"
       "NEW byte for byte. The patch is decoded and compared with NEW before it is\n"
       "written. NEW is parsed in segments, two at a time, so that memory stays below\n"
       "32 bytes per byte of NEW besides BASE and NEW at every level; the patch is the\n"
       "same on any number of cores. The deflated blocks are split again where their\n"
       "statistics change (0.5 % smaller on different programs).\n"
       "\n"
       "Levels, with CPU times (both threads) measured on a 2-core machine\n"
       "(bench/delta.md):\n"
       "  0      four pricings, commands stored without deflating\n"
       "  1-11   four pricings compared at deflate level 10 at most (6 where\n"
       "         literals make most of a segment), no re-pricing, blocks deflated\n"
       "         at that level\n"
       "  12     the default: three pricings (two where literals dominate), one\n"
       "         re-pricing round: 0.3 to 1.4 s per MB, more the more of NEW is\n"
       "         new (about 0.5 on programs of 1 MB that share little)\n"
       "  13     eight pricings, re-pricing until it stops paying, zopfli as well;\n"
       "         below 8 MiB four cuts into segments, run one at a time and mixed\n"
       "         region by region: 0.7 to 1.3 % smaller than 12, at 4 to 52 times\n"
       "         its CPU time",
       {{"--output", "-o", "PATCH", "the patch to write"}, kDiffLevelOption},
       {"--output"},
       RunDiff},
      {"extract", "FILE", 1, "extract an archive or a setup program's payload into a folder",
       "Extracts FILE, a payload archive or a setup program that carries one, into DIR\n"
       "exactly as the setup does: the archive is copied to a temporary file in DIR,\n"
       "descrambled, verified, and every entry written with its time stamp and\n"
       "attributes. FILE itself is never changed. DIR is created when it is missing.",
       {{"--directory", "-C", "DIR", "the destination folder"}, kPassPhraseOption},
       {"--directory"},
       RunExtract},
      {"verify", "FILE", 1, "check an archive or a setup program's payload without writing files",
       "Makes every check the extraction makes (body check value, each entry's\n"
       "decoding, lengths, check values and name) without writing any file.",
       {kPassPhraseOption},
       {},
       RunVerify},
      {"apply", "BASE PATCH", 2, "rebuild a file from BASE and a delta patch",
       "Decodes PATCH against BASE and writes the result to OUT; OUT may be BASE.",
       {{"--output", "-o", "OUT", "the file to write"}},
       {"--output"},
       RunApply},
  };
  return commands;
}
