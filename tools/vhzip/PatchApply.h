// Applying delta patches in memory, as the setup's post-install step does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bytes.h"

// ApplyPatchToBuffer with a first capacity of the base size plus 256 KiB and
// one more pass at the exact size when that was too small. The decoder's code.
int32_t ApplyPatchWithRetry(const TBytes& base, const TBytes& patch, TBytes* output);

// True when patch rebuilds exactly target from base; *code is the decoder's.
bool PatchRebuilds(const TBytes& base, const TBytes& patch, const TBytes& target, int32_t* code);

// What a decoder result code means, for messages.
std::string PatchResultText(int32_t code);
