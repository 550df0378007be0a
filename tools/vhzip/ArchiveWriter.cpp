#include "ArchiveWriter.h"

#include <algorithm>

#include "ArchiveFormat.h"
#include "ArchiveReader.h"
#include "CRC_32.h"
#include "Encript.h"
#include "FileIO.h"
#include "FileUtils.h"
#include "Files.h"
#include "EntryNames.h"
#include "PatchWriter.h"

using namespace vhz;

namespace {

// File contents per block: a round 2 MiB, inside the reader's limit.
const int32_t kPackBlockLimit = 2 * 1024 * 1024;

// True when path lies inside the folder whose resolved path is root.
bool LiesInside(const std::string& resolved, const std::string& root) {
  return !resolved.empty() && resolved.size() > root.size() && resolved.compare(0, root.size(), root) == 0 &&
         (resolved[root.size()] == '/' || resolved[root.size()] == '\\');
}

// Only plain files and folders are packed, and a link only when it leads to
// one inside the tree and not back to a folder above it: a pipe would be
// waited on for ever, and a link could bring in any file of the machine.
bool Admissible(const std::string& path, const std::string& folder, const std::string& root, std::string* error) {
  const int32_t kind = PathKind(path, false);
  if (kind == kPathOther) {
    *error = "'" + path + "' is not a plain file or folder (a pipe, device or socket): not packed";
    return false;
  }
  if (kind != kPathLink) return true;
  const std::string target = ResolvedPath(path);
  const int32_t targetKind = PathKind(path, true);
  if (!LiesInside(target, root) || (targetKind != kPathFile && targetKind != kPathFolder)) {
    *error = "'" + path + "' is a link that does not lead to a file or folder inside '" + root + "': not packed";
    return false;
  }
  if (targetKind == kPathFolder && (target == ResolvedPath(folder) || LiesInside(ResolvedPath(folder), target))) {
    *error = "'" + path + "' is a link back to a folder that holds it: not packed";
    return false;
  }
  return true;
}

bool Walk(const std::string& folder, const std::string& prefix, const std::string& root,
          std::vector<TPackEntry>* entries, std::string* error) {
  std::vector<TFolderMember> items;
  if (!ListFolder(folder, &items)) {
    *error = "cannot read folder '" + folder + "'";
    return false;
  }
  for (const TFolderMember& item : items) {
    std::string path = folder + "\\" + item.name;
    std::string name = prefix.empty() ? item.name : prefix + "\\" + item.name;
    if (!Admissible(path, folder, root, error)) return false;
    if (item.isFolder) {
      if (!Walk(path, name, root, entries, error)) return false;
      continue;
    }
    uint32_t attributes = FileAttributes(path);
    if (attributes == kNoAttributes) {
      *error = "cannot read '" + path + "'";
      return false;
    }
    if (name.size() > static_cast<size_t>(kMaxEntryNameLength)) {
      *error = "name too long for an archive entry: '" + name + "'";
      return false;
    }
    TPackEntry e;
    e.name = name;
    e.sourcePath = path;
    e.dosDateTime = FileDosTime(path);
    e.attributes = (attributes & kAttrReadOnly) ? kAttrReadOnly : kAttrArchive;
    entries->push_back(e);
  }
  return true;
}

}  // namespace

bool CollectTree(const std::string& root, std::vector<TPackEntry>* entries, std::string* error) {
  entries->clear();
  if (!IsExistingFolder(root)) {
    *error = "'" + root + "' is not a folder";
    return false;
  }
  const std::string resolvedRoot = ResolvedPath(root);
  if (resolvedRoot.empty()) {
    *error = "cannot resolve the folder '" + root + "'";
    return false;
  }
  if (!Walk(root, std::string(), resolvedRoot, entries, error)) return false;
  std::sort(entries->begin(), entries->end(),
            [](const TPackEntry& a, const TPackEntry& b) { return a.name < b.name; });
  return true;
}

namespace {

struct TEntryWork {
  TBytes contents;
  std::vector<TBytes> commandBlocks;
  std::vector<TBytes> encodedBlocks;
  uint32_t check;
};

void AppendRecord(TBytes* body, const TPackEntry& entry, const TEntryWork& work) {
  TBytes data;
  for (const TBytes& b : work.encodedBlocks) data.insert(data.end(), b.begin(), b.end());
  TEntryFields f;
  f.dosDateTime = entry.dosDateTime;
  f.fileLength = static_cast<uint32_t>(work.contents.size());
  f.attributes = entry.attributes;
  f.contentsCheck = work.check;
  if (work.contents.empty()) {
    // The short form: four bytes that no reader interprets.
    data.assign(kEmptyShortDataLength, 0);
    f.contentsCheck = kCheckStart;
  }
  f.dataLength = static_cast<uint32_t>(data.size());
  uint8_t fixed[kEntryFieldsSize];
  PutEntryFields(fixed, f);
  AppendLE(body, static_cast<uint32_t>(entry.name.size()), kEntryNameLengthSize);
  body->insert(body->end(), entry.name.begin(), entry.name.end());
  body->insert(body->end(), fixed, fixed + kEntryFieldsSize);
  body->insert(body->end(), data.begin(), data.end());
}

}  // namespace

bool BuildArchive(const std::vector<TPackEntry>& entries, const TPackOptions& options, TBytes* archive,
                  std::string* error) {
  std::vector<TEntryWork> work(entries.size());
  // Each file's blocks are independent, so all blocks of all files form one
  // pool of jobs for the cores.
  std::vector<std::pair<size_t, size_t>> jobs;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!ReadWholeFile(entries[i].sourcePath, &work[i].contents)) {
      *error = ReadProblem(entries[i].sourcePath);
      return false;
    }
    TPatchWriter w;
    BeginPatch(&w, nullptr, 0);
    w.blockLimit = kPackBlockLimit;
    AddLiteral(&w, work[i].contents.data(), work[i].contents.size());
    work[i].check = w.check;
    work[i].commandBlocks = FinishCommands(&w);
    work[i].encodedBlocks.resize(work[i].commandBlocks.size());
    if (!work[i].contents.empty())
      for (size_t b = 0; b < work[i].commandBlocks.size(); ++b) jobs.push_back({i, b});
  }
  ParallelFor(jobs.size(), options.threads, [&](size_t j) {
    TEntryWork& e = work[jobs[j].first];
    const TBytes& commands = e.commandBlocks[jobs[j].second];
    e.encodedBlocks[jobs[j].second] = EncodeBlock(commands, options.level);
    if (options.progress) AdvanceProgress(options.progress, static_cast<int64_t>(commands.size()));
  });

  TBytes body;
  for (size_t i = 0; i < entries.size(); ++i) {
    AppendRecord(&body, entries[i], work[i]);
    work[i] = TEntryWork();
    if (body.size() >= 0x7FFFFFF0u) {
      *error = "the archive would reach 2 GiB";
      return false;
    }
  }
  uint32_t check = UpdateCrc32(body.data(), static_cast<int32_t>(body.size()), kCheckStart);
  TKeystream keystream = InitKeystream(options.passPhrase);
  ApplyKeystream(&keystream, body.data(), static_cast<int32_t>(body.size()));
  AppendLE(&body, check, kBodyCheckSize);
  *archive = std::move(body);
  return true;
}

bool BundleSetup(TBytes& stub, const TBytes& archive, std::string* error) {
  if (FindArchiveOffset(stub.data(), stub.size()) != 0) {
    *error = "the stub already contains the payload marker";
    return false;
  }
  TBytes body;
  std::vector<TArchiveEntry> entries;
  std::string why;
  if (!ReadArchive(archive.data(), archive.size(), std::string(), &body, &entries, &why)) {
    *error = "the setup could not open this archive: " + why;
    return false;
  }
  for (const TArchiveEntry& e : entries) {
    if (!IsSafeEntryName(e.name)) {
      *error = "the setup would refuse the entry name '" + EscapedName(e.name) + "'";
      return false;
    }
  }
  // A length that is a multiple of 8, so that a signing tool appends its
  // certificate table right behind the archive and pads nothing in between:
  // the zeros go before the marker, where the marker search passes over them.
  const size_t length = stub.size() + kPayloadMarkerLength + archive.size();
  stub.insert(stub.end(), (kSignedAlignment - length % kSignedAlignment) % kSignedAlignment, 0);
  stub.insert(stub.end(), kPayloadMarker, kPayloadMarker + kPayloadMarkerLength);
  stub.insert(stub.end(), archive.begin(), archive.end());
  return true;
}
