// Integers as the archive, the patch streams, the save copies, the toolbar
// layouts and the helper's instance file hold them: little-endian, 1 to 4
// bytes, read and written byte by byte, so that no layout depends on the
// host's byte order or on structure packing.
#pragma once

#include <cstdint>

inline uint32_t GetLE(const uint8_t* p, int32_t width) {
  uint32_t value = 0;
  for (int32_t i = width - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}
inline void PutLE(uint8_t* p, uint32_t value, int32_t width) {
  for (int32_t i = 0; i < width; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(GetLE(p, 2)); }
inline uint32_t GetU32(const uint8_t* p) { return GetLE(p, 4); }
// The low width bytes of value appended to a container of bytes.
template <typename TByteContainer>
void AppendLE(TByteContainer* out, uint32_t value, int32_t width) {
  uint8_t bytes[4];
  PutLE(bytes, value, width);
  out->insert(out->end(), bytes, bytes + width);
}
