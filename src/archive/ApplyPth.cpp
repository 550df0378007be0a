#include "ApplyPth.h"

#include <cstring>

#include "ArchiveFormat.h"
#include "CRC_32.h"
#include "FileIO.h"
#include "ZLib.h"

using namespace vhz;

namespace {

// Decoder state shared by both variants. The buffers are static so that a
// block never costs an allocation, whatever its size.
bool gBlockLoaded = false;
int32_t gReadPosition = 0;
int32_t gBlockLength = 0;
alignas(16) uint8_t gBlockBuffer[kMaxBlockContent];
alignas(16) uint8_t gInputBuffer[kMaxStoredLength];
alignas(16) uint8_t gInflateArena[kInflateArenaSize];

// Where the blocks of the current call come from.
struct TPatchSource {
  const uint8_t* patch;  // memory variant
  int64_t patchSize;
  TStreamRead read;      // callback variant
  void* user;
  int64_t position;      // patch bytes consumed: headers and stored bytes
};

int32_t ProgressPosition(int64_t position) {
  return position > kMaxByteCount ? static_cast<int32_t>(kMaxByteCount) : static_cast<int32_t>(position);
}

bool ValidHeader(const TBlockHeader& h) {
  if (h.method != kMethodStored && h.method != kMethodDeflated) return false;
  if (h.contentLength < 0 || h.contentLength > kMaxBlockContent) return false;
  if (h.storedLength < 0) return false;
  return h.method != kMethodStored || h.storedLength == h.contentLength;
}

void MarkLoaded(int32_t contentLength) {
  gBlockLoaded = true;
  gReadPosition = 0;
  gBlockLength = contentLength;
}

bool LoadBlockFromMemory(TPatchSource* s) {
  if (s->position + kBlockHeaderSize > s->patchSize) return false;
  TBlockHeader h = GetBlockHeader(s->patch + s->position);
  s->position += kBlockHeaderSize;
  if (!ValidHeader(h) || s->position + h.storedLength > s->patchSize) return false;
  const uint8_t* stored = s->patch + s->position;
  if (UpdateCrc32(stored, h.storedLength, kCheckStart) != h.blockCheck) return false;
  if (h.method == kMethodStored) {
    if (h.contentLength > 0) std::memcpy(gBlockBuffer, stored, static_cast<size_t>(h.contentLength));
  } else if (!InflateBlock(stored, h.storedLength, gBlockBuffer, h.contentLength, gInflateArena,
                           kInflateArenaSize)) {
    return false;
  }
  s->position += h.storedLength;
  MarkLoaded(h.contentLength);
  return true;
}

// Reads until count bytes have arrived or a call delivers nothing; true when
// all arrived. A callback that claims more than it was asked for has failed.
bool ReadFully(TStreamRead read, void* user, uint8_t* buffer, int32_t count) {
  int32_t got = 0;
  while (got < count) {
    int32_t delivered = 0;
    read(buffer + got, count - got, &delivered, user);
    if (delivered <= 0 || delivered > count - got) return false;
    got += delivered;
  }
  return true;
}

bool LoadBlockThroughCallbacks(TPatchSource* s) {
  uint8_t header[kBlockHeaderSize];
  if (!ReadFully(s->read, s->user, header, kBlockHeaderSize)) return false;
  s->position += kBlockHeaderSize;
  TBlockHeader h = GetBlockHeader(header);
  if (!IsUsableBlockHeader(h)) return false;
  if (h.method == kMethodStored) {
    if (!ReadFully(s->read, s->user, gBlockBuffer, h.contentLength)) return false;
    if (UpdateCrc32(gBlockBuffer, h.contentLength, kCheckStart) != h.blockCheck) return false;
  } else {
    if (!ReadFully(s->read, s->user, gInputBuffer, h.storedLength)) return false;
    if (UpdateCrc32(gInputBuffer, h.storedLength, kCheckStart) != h.blockCheck) return false;
    if (!InflateBlock(gInputBuffer, h.storedLength, gBlockBuffer, h.contentLength, gInflateArena,
                      kInflateArenaSize)) {
      return false;
    }
  }
  s->position += h.storedLength;
  MarkLoaded(h.contentLength);
  return true;
}

bool LoadBlock(TPatchSource* s) {
  return s->read != nullptr ? LoadBlockThroughCallbacks(s) : LoadBlockFromMemory(s);
}

// One read from the command stream: never across the end of a block.
bool ReadCommandBytes(TPatchSource* s, uint8_t* out, int32_t count) {
  if (!gBlockLoaded && !LoadBlock(s)) return false;
  if (count < 0 || static_cast<int64_t>(gReadPosition) + count > gBlockLength) return false;
  std::memcpy(out, gBlockBuffer + gReadPosition, static_cast<size_t>(count));
  gReadPosition += count;
  if (gReadPosition >= gBlockLength) gBlockLoaded = false;
  return true;
}

// An operand of 1 to 4 bytes; a 4-byte value of 2^31 or more comes out negative.
bool ReadOperand(TPatchSource* s, int32_t width, int32_t* value) {
  uint8_t bytes[4] = {0, 0, 0, 0};
  if (!ReadCommandBytes(s, bytes, width)) return false;
  *value = static_cast<int32_t>(GetU32(bytes));
  return true;
}

// The literal's bytes must lie in the block that holds its length field.
bool TakeLiteral(int32_t length, const uint8_t** bytes) {
  if (gReadPosition < 0 || gReadPosition >= gBlockLength || length < 0 ||
      static_cast<int64_t>(gReadPosition) + length > gBlockLength) {
    return false;
  }
  *bytes = gBlockBuffer + gReadPosition;
  gReadPosition += length;
  if (gReadPosition >= gBlockLength) gBlockLoaded = false;
  return true;
}

// What differs between the two variants: where copies come from and where
// produced bytes go.
struct TSink {
  // memory variant
  const uint8_t* base;
  int64_t baseSize;
  uint8_t* output;
  int64_t capacity;
  int64_t outputLength;
  // callback variant
  TStreamRead baseRead;
  TStreamSeek baseSeek;
  void* baseUser;
  TStreamWrite outputWrite;
  void* outputUser;

  int32_t result;
  uint32_t check;
};

// Memory variant output. An output that would reach 2^31 bytes cannot be
// described by the in/out length and is refused like an oversized operand.
bool EmitToBuffer(TSink* k, const uint8_t* bytes, int32_t count) {
  int64_t newLength = k->outputLength + count;
  if (newLength > kMaxByteCount) {
    k->result = kPatchBadCommand;
    return false;
  }
  if (newLength > k->capacity) {
    k->result = kPatchOutputTooSmall;
  } else if (count > 0) {
    std::memcpy(k->output + k->outputLength, bytes, static_cast<size_t>(count));
  }
  k->outputLength = newLength;
  k->check = UpdateCrc32(bytes, count, k->check);
  return true;
}

void EmitToCallback(TSink* k, const uint8_t* bytes, int32_t count) {
  if (count > 0) k->outputWrite(bytes, count, k->outputUser);
  k->check = UpdateCrc32(bytes, count, k->check);
}

// Returns false with k->result set when the copy stops the decoding.
bool CopyFromBuffer(TSink* k, TPatchSource* s, uint8_t opcode) {
  int32_t offset = 0;
  int32_t length = 0;
  if (!ReadOperand(s, CopyOffsetWidth(opcode), &offset)) return k->result = kPatchMalformed, false;
  if (offset < 0) return k->result = kPatchBadCommand, false;
  if (offset >= k->baseSize) return k->result = kPatchOutsideBase, false;
  if (!ReadOperand(s, CopyLengthWidth(opcode), &length)) return k->result = kPatchMalformed, false;
  if (length < 0) return k->result = kPatchBadCommand, false;
  if (static_cast<int64_t>(offset) + length > k->baseSize) return k->result = kPatchOutsideBase, false;
  return EmitToBuffer(k, k->base + offset, length);
}

bool CopyThroughCallbacks(TSink* k, TPatchSource* s, uint8_t opcode) {
  int32_t offset = 0;
  int32_t length = 0;
  if (!ReadOperand(s, CopyOffsetWidth(opcode), &offset)) return k->result = kPatchMalformed, false;
  if (!ReadOperand(s, CopyLengthWidth(opcode), &length)) return k->result = kPatchMalformed, false;
  if (offset < 0 || length < 0) return k->result = kPatchBadCommand, false;
  k->baseSeek(offset, k->baseUser);
  int32_t missing = length;
  while (missing > 0) {
    int32_t ask = missing < kMaxStoredLength ? missing : kMaxStoredLength;
    int32_t delivered = 0;
    k->baseRead(gInputBuffer, ask, &delivered, k->baseUser);
    if (delivered <= 0 || delivered > ask) break;
    EmitToCallback(k, gInputBuffer, delivered);
    missing -= delivered;
  }
  if (missing > 0) return k->result = kPatchOutsideBase, false;
  return true;
}

// The command loop of both variants; k->base or k->baseRead tells which.
int32_t RunCommands(TSink* k, TPatchSource* s, TPatchProgress progress, void* progressUser,
                    int32_t progressTotal) {
  const bool memory = k->baseRead == nullptr;
  gBlockLoaded = false;
  k->result = kPatchOk;
  k->check = kCheckStart;
  for (;;) {
    uint8_t opcode = 0;
    if (!ReadCommandBytes(s, &opcode, 1)) return kPatchMalformed;
    if (opcode == kOpEnd) {
      uint8_t stored[4];
      if (!ReadCommandBytes(s, stored, 4)) return kPatchMalformed;
      if (GetU32(stored) != k->check) k->result = kPatchCheckMismatch;
      if (progress) progress(ProgressPosition(s->position), progressTotal, progressUser);
      return k->result;
    }
    if (opcode >= kOpCopyFirst && opcode <= kOpCopyLast) {
      bool going = memory ? CopyFromBuffer(k, s, opcode) : CopyThroughCallbacks(k, s, opcode);
      if (!going) return k->result;
    } else if (opcode >= kOpLiteralFirst && opcode <= kOpLiteralLast) {
      int32_t length = 0;
      const uint8_t* bytes = nullptr;
      if (!ReadOperand(s, LiteralLengthWidth(opcode), &length) || !TakeLiteral(length, &bytes)) {
        return kPatchMalformed;
      }
      if (memory) {
        if (!EmitToBuffer(k, bytes, length)) return k->result;
      } else {
        EmitToCallback(k, bytes, length);
      }
    } else {
      return kPatchBadCommand;
    }
    if (progress) progress(ProgressPosition(s->position), progressTotal, progressUser);
  }
}

}  // namespace

bool IsUsableBlockHeader(const TBlockHeader& header) {
  return ValidHeader(header) && header.storedLength <= kMaxStoredLength;
}

int32_t ApplyPatchToBuffer(const uint8_t* base, int32_t baseSize, uint8_t* output,
                           int32_t* outputLength, const uint8_t* patch, int32_t patchSize,
                           TPatchProgress progress, void* progressUser) {
  TPatchSource source = {patch, patchSize > 0 ? patchSize : 0, nullptr, nullptr, 0};
  TSink sink = {};
  sink.base = base;
  sink.baseSize = baseSize > 0 ? baseSize : 0;
  sink.output = output;
  sink.capacity = *outputLength > 0 ? *outputLength : 0;
  sink.outputLength = 0;
  int32_t result = RunCommands(&sink, &source, progress, progressUser, patchSize);
  *outputLength = static_cast<int32_t>(sink.outputLength);
  return result;
}

int32_t ApplyPatchStream(TStreamRead baseRead, TStreamSeek baseSeek, void* baseUser,
                         TStreamWrite outputWrite, void* outputUser, TStreamRead patchRead,
                         int32_t patchTotal, void* patchUser, TPatchProgress progress,
                         void* progressUser) {
  TPatchSource source = {nullptr, 0, patchRead, patchUser, 0};
  TSink sink = {};
  sink.baseRead = baseRead;
  sink.baseSeek = baseSeek;
  sink.baseUser = baseUser;
  sink.outputWrite = outputWrite;
  sink.outputUser = outputUser;
  return RunCommands(&sink, &source, progress, progressUser, patchTotal);
}

namespace {

struct TEntryAdapter {
  TEntryRead read;
  TEntryWrite write;
  void* context;
};

void EmptyBaseRead(void*, int32_t, int32_t* delivered, void*) { *delivered = 0; }
void EmptyBaseSeek(int32_t, void*) {}

void EntryPatchRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  TEntryAdapter* a = static_cast<TEntryAdapter*>(user);
  *delivered = a->read(buffer, count, a->context);
}

void EntryOutputWrite(const void* buffer, int32_t count, void* user) {
  TEntryAdapter* a = static_cast<TEntryAdapter*>(user);
  a->write(buffer, count, a->context);
}

}  // namespace

int32_t DecodeEntryStream(TEntryRead read, TEntryWrite write, void* context) {
  TEntryAdapter adapter = {read, write, context};
  int32_t result = ApplyPatchStream(EmptyBaseRead, EmptyBaseSeek, nullptr, EntryOutputWrite,
                                    &adapter, EntryPatchRead, -1, &adapter, nullptr, nullptr);
  return result == kPatchOk ? kEntryDecoded : kEntryFailed;
}

int32_t DecodePatchInTwoPasses(const uint8_t* base, int32_t baseSize, const uint8_t* patch, int32_t patchSize,
                               std::string* output) {
  int64_t capacity = static_cast<int64_t>(baseSize > 0 ? baseSize : 0) + kPatchHeadroom;
  if (capacity > kMaxByteCount) capacity = kMaxByteCount;
  int32_t result = kPatchOutputTooSmall;
  for (int pass = 0; pass < 2 && result == kPatchOutputTooSmall; ++pass) {
    output->assign(static_cast<size_t>(capacity), '\0');
    int32_t length = static_cast<int32_t>(capacity);
    result = ApplyPatchToBuffer(base, baseSize, reinterpret_cast<uint8_t*>(&(*output)[0]), &length, patch,
                                patchSize, nullptr, nullptr);
    // Only "too small" with a larger size asks for another pass; the second
    // pass has exactly that size, so it cannot ask again.
    if (result == kPatchOutputTooSmall && length <= capacity) result = kPatchMalformed;
    if (result == kPatchOk) output->resize(static_cast<size_t>(length));
    capacity = length;
  }
  if (result != kPatchOk) output->clear();
  return result;
}
