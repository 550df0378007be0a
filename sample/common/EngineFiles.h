// The engine registry ("TWXData\Entry.db": one "ENGINE=name|address" line per
// search engine) and the engine sets ("TWXData\Set.db": "SET=name" lines, each
// followed by the "ENGINE=name" lines of its members). Both begin with a header.
#pragma once

#include <string>
#include <vector>

namespace twx {

extern const char kEngineRegistryHeader[];  // "Trawlmark Engine Registry"
extern const char kEngineSetsHeader[];      // "Trawlmark Engine Sets"

struct TEngine {
  std::string name;
  std::string address;  // "%s" stands for the search text
};

struct TEngineSet {
  std::string name;
  std::vector<std::string> engines;
};

// Both return false when the header is missing. An "ENGINE=" line before the
// first "SET=" line belongs to no set and is skipped.
bool ParseEngineRegistry(const std::string& bytes, std::vector<TEngine>* engines);
bool ParseEngineSets(const std::string& bytes, std::vector<TEngineSet>* sets);

// The configuration tool's view: every set with its engines; a member that the
// registry does not know is marked, since searches in that set would skip it.
std::string DescribeEngineSets(const std::vector<TEngineSet>& sets, const std::vector<TEngine>& engines);

}  // namespace twx
