// Decoding patch streams: a sequence of stored or deflated blocks whose joined
// contents are copy, literal and end commands. One variant works over memory
// buffers (rebuilding an installed file from a base and a patch file), the
// other over callbacks (archive entries, read piece by piece from the archive).
//
// Both variants share one set of static buffers sized for the largest block,
// so only one stream is decoded at a time and a callback must never start
// another decoding.
#pragma once

#include <cstdint>
#include <string>

#include "ArchiveFormat.h"

// Result codes of both variants.
const int32_t kPatchOk = 0;
const int32_t kPatchMalformed = -1;     // ended early, bad block, or a read across a block end
const int32_t kPatchBadCommand = -2;    // unknown opcode, or an operand of 2^31 or more
const int32_t kPatchOutsideBase = -3;   // a copy that the base cannot supply
const int32_t kPatchCheckMismatch = -4; // the end command's check value is wrong
const int32_t kPatchOutputTooSmall = -5;// memory variant: outputLength holds the size needed

// The entry adapter's two answers.
const int32_t kEntryDecoded = 0;
const int32_t kEntryFailed = 3;

typedef void (*TPatchProgress)(int32_t patchPosition, int32_t patchTotal, void* user);
// Fill buffer with up to count bytes and set *delivered; 0 at the end.
typedef void (*TStreamRead)(void* buffer, int32_t count, int32_t* delivered, void* user);
typedef void (*TStreamSeek)(int32_t offset, void* user);
typedef void (*TStreamWrite)(const void* buffer, int32_t count, void* user);

// A block header the callback variant would load: a known method, lengths
// inside the limits, stored blocks as long as their content.
bool IsUsableBlockHeader(const vhz::TBlockHeader& header);

// Memory variant. *outputLength is the capacity of output on entry and the
// number of bytes the stream produces on return, even when they did not fit
// (result kPatchOutputTooSmall): calling again with that capacity succeeds.
// progress may be null.
int32_t ApplyPatchToBuffer(const uint8_t* base, int32_t baseSize, uint8_t* output,
                           int32_t* outputLength, const uint8_t* patch, int32_t patchSize,
                           TPatchProgress progress, void* progressUser);

// Callback variant. patchTotal is only passed on to progress, which may be null.
// Failures of outputWrite are not noticed here; the caller checks its output.
int32_t ApplyPatchStream(TStreamRead baseRead, TStreamSeek baseSeek, void* baseUser,
                         TStreamWrite outputWrite, void* outputUser, TStreamRead patchRead,
                         int32_t patchTotal, void* patchUser, TPatchProgress progress,
                         void* progressUser);

// The entry adapter: read returns how many bytes of the entry's data it placed
// in buffer (0 at the end); write takes the produced bytes. The stream is
// decoded against an empty base. kEntryDecoded or kEntryFailed.
typedef int32_t (*TEntryRead)(void* buffer, int32_t count, void* context);
typedef void (*TEntryWrite)(const void* buffer, int32_t count, void* context);
int32_t DecodeEntryStream(TEntryRead read, TEntryWrite write, void* context);

// The first output buffer of a patch is the base size plus this much; a patch
// that grows the file by more takes a second decoding pass.
const int32_t kPatchHeadroom = 0x40000;

// The memory variant as the post-install step runs it: a first pass with the
// base size plus kPatchHeadroom, and when the decoder reports that it needs
// more, one second pass with exactly that size. output holds the result on
// kPatchOk and is empty otherwise.
int32_t DecodePatchInTwoPasses(const uint8_t* base, int32_t baseSize, const uint8_t* patch, int32_t patchSize,
                               std::string* output);
