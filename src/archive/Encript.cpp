#include "Encript.h"

#include "ArchiveFormat.h"

TKeystream InitKeystream(const std::string& passPhrase) {
  uint32_t seed = 0;
  // Byte i (1-based) is shifted by 8 * (i mod 4): 8, 16, 24, 0, 8, ...
  for (size_t i = 1; i <= passPhrase.size(); ++i) {
    uint32_t byte = static_cast<uint8_t>(passPhrase[i - 1]);
    seed += byte << (8 * (i % 4));
  }
  return TKeystream{seed};
}

void ApplyKeystream(TKeystream* keystream, void* buffer, int32_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  uint32_t s = keystream->state;
  for (int32_t i = 0; i < count; ++i) {
    s = s * vhz::kKeystreamMultiplier + 1u;
    bytes[i] ^= static_cast<uint8_t>(s >> 24);
  }
  keystream->state = s;
}
