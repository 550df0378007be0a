// The callback variant on arbitrary patches, read in uneven pieces; where the
// memory variant also succeeds, both must produce the same bytes.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ApplyPth.h"
#include "FuzzInput.h"

namespace {

struct TIo {
  TFuzzInput in;
  size_t basePosition;
  size_t patchPosition;
  uint32_t pieces;  // varies the piece sizes the callbacks hand out
  std::vector<uint8_t> output;
};

size_t Piece(TIo* io, size_t count) {
  io->pieces = io->pieces * 1103515245u + 12345u;
  size_t limit = 1 + (io->pieces >> 16) % 4096;
  return count < limit ? count : limit;
}

void BaseRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  TIo* io = static_cast<TIo*>(user);
  size_t size = static_cast<size_t>(io->in.baseSize);
  size_t left = io->basePosition < size ? size - io->basePosition : 0;
  size_t n = Piece(io, left < static_cast<size_t>(count) ? left : static_cast<size_t>(count));
  if (n) std::memcpy(buffer, io->in.base + io->basePosition, n);
  io->basePosition += n;
  *delivered = static_cast<int32_t>(n);
}
void BaseSeek(int32_t offset, void* user) { static_cast<TIo*>(user)->basePosition = static_cast<size_t>(offset); }
void PatchRead(void* buffer, int32_t count, int32_t* delivered, void* user) {
  TIo* io = static_cast<TIo*>(user);
  size_t left = static_cast<size_t>(io->in.patchSize) - io->patchPosition;
  size_t n = Piece(io, left < static_cast<size_t>(count) ? left : static_cast<size_t>(count));
  if (n) std::memcpy(buffer, io->in.patch + io->patchPosition, n);
  io->patchPosition += n;
  *delivered = static_cast<int32_t>(n);
}
void OutputWrite(const void* buffer, int32_t count, void* user) {
  TIo* io = static_cast<TIo*>(user);
  if (io->output.size() > (64u << 20)) return;  // keep memory bounded; compared only below that
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  io->output.insert(io->output.end(), p, p + count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIo io = {SplitFuzzInput(data, size), 0, 0, static_cast<uint32_t>(size), {}};
  std::vector<uint8_t> patch = WithBlockChecksFixed(io.in.patch, io.in.patchSize);
  io.in.patch = patch.data();
  int32_t code = ApplyPatchStream(BaseRead, BaseSeek, &io, OutputWrite, &io, PatchRead, io.in.patchSize, &io,
                                  nullptr, nullptr);
  if (code < -4 || code > 0) abort();
  if (code != kPatchOk || io.output.size() > (64u << 20)) return 0;
  std::vector<uint8_t> memory(io.output.size() + 1);
  int32_t length = static_cast<int32_t>(memory.size());
  int32_t memoryCode = ApplyPatchToBuffer(io.in.base, io.in.baseSize, memory.data(), &length, io.in.patch,
                                          io.in.patchSize, nullptr, nullptr);
  if (memoryCode == kPatchOk &&
      (static_cast<size_t>(length) != io.output.size() ||
       (length > 0 && std::memcmp(memory.data(), io.output.data(), io.output.size()) != 0)))
    abort();
  return 0;
}
