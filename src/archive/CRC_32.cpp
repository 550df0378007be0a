#include "CRC_32.h"

#include <zlib.h>

// zlib's crc32 complements the register on entry and on exit; undoing both
// gives exactly the byte-at-a-time register while keeping zlib's word-wise
// speed, which matters because every byte the setup writes is checked twice.
uint32_t UpdateCrc32(const void* data, int32_t count, uint32_t crcRegister) {
  if (count <= 0) return crcRegister;
  uLong crc = crc32(static_cast<uLong>(~crcRegister & 0xFFFFFFFFu),
                    static_cast<const Bytef*>(data), static_cast<uInt>(count));
  return ~static_cast<uint32_t>(crc);
}
