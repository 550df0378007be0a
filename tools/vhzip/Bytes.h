// The packer's byte buffer: whole files, archives, patches and command streams.
#pragma once

#include <cstdint>
#include <vector>

typedef std::vector<uint8_t> TBytes;
