// The keystream that scrambles the archive body. One keystream per program:
// InitKeystream seeds it, and every ApplyKeystream continues where the last
// stopped, so a body may be processed in pieces of any size.
#pragma once

#include <cstdint>
#include <string>

void InitKeystream(const std::string& passPhrase);
// Exclusive-ors count bytes in place with the next count keystream bytes.
// Scrambling and descrambling are the same operation.
void ApplyKeystream(void* buffer, int32_t count);
