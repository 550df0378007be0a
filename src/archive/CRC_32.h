// The archive's check value: the CRC-32 register (reflected polynomial
// 0xEDB88320) started at 0xFFFFFFFF and never complemented. Callers start a
// check with vhz::kCheckStart and compare the register itself.
#pragma once

#include <cstdint>

// Feeds count bytes to the register and returns the new register; a count of 0
// or less returns the register unchanged. Pieces chain: the register carries.
uint32_t UpdateCrc32(const void* data, int32_t count, uint32_t crcRegister);
