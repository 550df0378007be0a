#include "Encript.h"

#include "ArchiveFormat.h"

namespace {
uint32_t gKeystream = 0;
}  // namespace

void InitKeystream(const std::string& passPhrase) {
  uint32_t seed = 0;
  // Byte i (1-based) is shifted by 8 * (i mod 4): 8, 16, 24, 0, 8, ...
  for (size_t i = 1; i <= passPhrase.size(); ++i) {
    uint32_t byte = static_cast<uint8_t>(passPhrase[i - 1]);
    seed += byte << (8 * (i % 4));
  }
  gKeystream = seed;
}

void ApplyKeystream(void* buffer, int32_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  uint32_t s = gKeystream;
  for (int32_t i = 0; i < count; ++i) {
    s = s * vhz::kKeystreamMultiplier + 1u;
    bytes[i] ^= static_cast<uint8_t>(s >> 24);
  }
  gKeystream = s;
}
