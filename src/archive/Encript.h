// The keystream that scrambles the archive body. A keystream is a value: its
// user seeds one from the pass phrase and hands it to every ApplyKeystream,
// which continues where the last stopped, so a body may be processed in
// pieces of any size and two bodies never share one.
#pragma once

#include <cstdint>
#include <string>

struct TKeystream {
  uint32_t state;
};

TKeystream InitKeystream(const std::string& passPhrase);
// Exclusive-ors count bytes in place with the next count keystream bytes.
// Scrambling and descrambling are the same operation.
void ApplyKeystream(TKeystream* keystream, void* buffer, int32_t count);
