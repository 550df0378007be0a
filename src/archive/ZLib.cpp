#include "ZLib.h"

#include <cstdlib>
#include <cstring>

#include <zlib.h>

namespace {

struct TArena {
  uint8_t* base;
  size_t size;
  size_t used;
};

// zlib keeps structures with pointers and 64-bit fields in these blocks.
const size_t kArenaAlignment = 16;

voidpf ArenaAlloc(voidpf opaque, uInt items, uInt size) {
  TArena* arena = static_cast<TArena*>(opaque);
  if (items != 0 && size > static_cast<size_t>(-1) / items) return Z_NULL;
  size_t bytes = static_cast<size_t>(items) * size;
  uintptr_t address = reinterpret_cast<uintptr_t>(arena->base) + arena->used;
  size_t padding = (kArenaAlignment - address % kArenaAlignment) % kArenaAlignment;
  if (arena->used + padding <= arena->size && bytes <= arena->size - arena->used - padding) {
    uint8_t* block = arena->base + arena->used + padding;
    arena->used += padding + bytes;
    std::memset(block, 0, bytes);
    return block;
  }
  return std::calloc(bytes ? bytes : 1, 1);
}

void ArenaFree(voidpf opaque, voidpf address) {
  TArena* arena = static_cast<TArena*>(opaque);
  uint8_t* p = static_cast<uint8_t*>(address);
  bool inArena = arena->base != nullptr && p >= arena->base && p < arena->base + arena->size;
  if (!inArena) std::free(address);
}

}  // namespace

bool InflateBlock(const void* source, int32_t sourceLength, void* destination,
                  int32_t destinationLength, void* arena, int32_t arenaSize) {
  if (sourceLength < 0 || destinationLength < 0) return false;
  TArena pool = {static_cast<uint8_t*>(arena), arena && arenaSize > 0 ? static_cast<size_t>(arenaSize) : 0, 0};
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  stream.next_in = static_cast<Bytef*>(const_cast<void*>(source));
  stream.avail_in = static_cast<uInt>(sourceLength);
  // zlib refuses a null output pointer even when no output is wanted.
  Bytef nothing = 0;
  stream.next_out = destination != nullptr ? static_cast<Bytef*>(destination) : &nothing;
  stream.avail_out = static_cast<uInt>(destinationLength);
  stream.zalloc = ArenaAlloc;
  stream.zfree = ArenaFree;
  stream.opaque = &pool;
  if (inflateInit_(&stream, ZLIB_VERSION, static_cast<int>(sizeof(z_stream))) != Z_OK) return false;
  int status = inflate(&stream, Z_FINISH);
  // A stream that ends early would leave the previous block's bytes in the
  // unused tail of the destination and hand them on as content.
  bool complete = status == Z_STREAM_END && stream.avail_out == 0;
  bool ended = inflateEnd(&stream) == Z_OK;
  return complete && ended;
}
