#include "EngineFiles.h"

#include "TextFiles.h"

namespace twx {

const char kEngineRegistryHeader[] = "Trawlmark Engine Registry";
const char kEngineSetsHeader[] = "Trawlmark Engine Sets";

bool ParseEngineRegistry(const std::string& bytes, std::vector<TEngine>* engines) {
  engines->clear();
  if (!BeginsWith(bytes, kEngineRegistryHeader)) return false;
  const std::vector<std::string> lines = SplitLines(bytes);
  for (size_t i = 1; i < lines.size(); ++i) {
    if (!BeginsWith(lines[i], "ENGINE=")) continue;
    const std::string value = lines[i].substr(7);
    const size_t bar = value.find('|');
    TEngine engine;
    engine.name = value.substr(0, bar);
    if (bar != std::string::npos) engine.address = value.substr(bar + 1);
    if (!engine.name.empty()) engines->push_back(engine);
  }
  return true;
}

bool ParseEngineSets(const std::string& bytes, std::vector<TEngineSet>* sets) {
  sets->clear();
  if (!BeginsWith(bytes, kEngineSetsHeader)) return false;
  const std::vector<std::string> lines = SplitLines(bytes);
  for (size_t i = 1; i < lines.size(); ++i) {
    if (BeginsWith(lines[i], "SET=")) {
      sets->push_back(TEngineSet());
      sets->back().name = lines[i].substr(4);
    } else if (BeginsWith(lines[i], "ENGINE=") && !sets->empty()) {
      sets->back().engines.push_back(lines[i].substr(7));
    }
  }
  return true;
}

static const TEngine* FindEngine(const std::vector<TEngine>& engines, const std::string& name) {
  for (const TEngine& engine : engines)
    if (engine.name == name) return &engine;
  return nullptr;
}

std::string DescribeEngineSets(const std::vector<TEngineSet>& sets, const std::vector<TEngine>& engines) {
  std::string text = std::to_string(sets.size()) + (sets.size() == 1 ? " engine set" : " engine sets") + ", " +
                     std::to_string(engines.size()) + " registered engines\r\n";
  for (const TEngineSet& set : sets) {
    text += "\r\n" + set.name + "\r\n";
    if (set.engines.empty()) text += "    (no engines)\r\n";
    for (const std::string& name : set.engines) {
      const TEngine* engine = FindEngine(engines, name);
      text += "    " + name + (engine ? "   " + engine->address : std::string("   (not registered)")) + "\r\n";
    }
  }
  return text;
}

}  // namespace twx
