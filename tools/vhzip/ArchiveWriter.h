// Building payload archives from a folder tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bytes.h"
#include "Progress.h"

struct TPackEntry {
  std::string name;        // below the tree's root, folders separated by "\"
  std::string sourcePath;  // where the contents are read from
  uint32_t dosDateTime;
  uint32_t attributes;
};

// Every file below root, in byte order of their names, so that the same tree
// always gives the same archive. False with a message when the tree cannot be read.
bool CollectTree(const std::string& root, std::vector<TPackEntry>* entries, std::string* error);

struct TPackOptions {
  int level;
  std::string passPhrase;
  int threads;
  TProgress* progress;  // may be null; advanced by content bytes
};

// The archive file: scrambled body and its check value.
bool BuildArchive(const std::vector<TPackEntry>& entries, const TPackOptions& options, TBytes* archive,
                  std::string* error);

// The alignment at which Authenticode signing appends the certificate table.
const size_t kSignedAlignment = 8;

// Turns stub into the setup program: stub, zeros up to a length that is a
// multiple of kSignedAlignment, the upper-case marker, archive. Refuses a stub
// that already holds the marker (the setup would find the wrong payload) and
// an archive that the setup could not open.
bool BundleSetup(TBytes& stub, const TBytes& archive, std::string* error);
