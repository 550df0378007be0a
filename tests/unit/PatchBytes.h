// Hand-made patch streams for the decoder tests: commands and blocks are built
// byte by byte here, independently of the packer, so that block boundaries can
// be put exactly where a test needs them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "CRC_32.h"

namespace patchbytes {

typedef std::vector<uint8_t> Bytes;

inline Bytes Le(uint32_t value, int width) {
  Bytes out;
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return out;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline uint32_t Check(const Bytes& bytes) {
  return UpdateCrc32(bytes.data(), static_cast<int32_t>(bytes.size()), vhz::kCheckStart);
}

inline Bytes Copy(uint32_t offset, uint32_t length, int offsetWidth = 4, int lengthWidth = 4) {
  return Bytes{vhz::CopyOpcode(offsetWidth, lengthWidth)} + Le(offset, offsetWidth) +
         Le(length, lengthWidth);
}

inline Bytes Literal(const Bytes& bytes, int lengthWidth = 2) {
  return Bytes{vhz::LiteralOpcode(lengthWidth)} + Le(static_cast<uint32_t>(bytes.size()), lengthWidth) +
         bytes;
}

inline Bytes End(uint32_t check) { return Bytes{vhz::kOpEnd} + Le(check, 4); }
inline Bytes EndFor(const Bytes& produced) { return End(Check(produced)); }

inline Bytes Header(uint8_t method, uint32_t contentLength, uint32_t storedLength, uint32_t check) {
  return Bytes{method} + Le(contentLength, 4) + Le(storedLength, 4) + Le(check, 4);
}

inline Bytes Stored(const Bytes& content) {
  return Header(vhz::kMethodStored, static_cast<uint32_t>(content.size()),
                static_cast<uint32_t>(content.size()), Check(content)) + content;
}

inline Bytes Zlib(const Bytes& content, int level = 9) {
  uLongf size = compressBound(static_cast<uLong>(content.size()));
  Bytes out(size);
  compress2(out.data(), &size, content.data(), static_cast<uLong>(content.size()), level);
  out.resize(size);
  return out;
}

inline Bytes Deflated(const Bytes& content) {
  Bytes stored = Zlib(content);
  return Header(vhz::kMethodDeflated, static_cast<uint32_t>(content.size()),
                static_cast<uint32_t>(stored.size()), Check(stored)) + stored;
}

// Runs the entry adapter over data held in memory, as the extraction would
// over an entry's data field.
struct EntryDecoding {
  int32_t code;
  Bytes output;
  size_t consumed;
};

inline EntryDecoding DecodeEntry(const uint8_t* data, size_t size) {
  struct Io {
    const uint8_t* data;
    size_t size;
    EntryDecoding result;
    static int32_t Read(void* buffer, int32_t count, void* context) {
      Io* io = static_cast<Io*>(context);
      size_t n = std::min(static_cast<size_t>(count), io->size - io->result.consumed);
      if (n) std::memcpy(buffer, io->data + io->result.consumed, n);
      io->result.consumed += n;
      return static_cast<int32_t>(n);
    }
    static void Write(const void* buffer, int32_t count, void* context) {
      const uint8_t* p = static_cast<const uint8_t*>(buffer);
      static_cast<Io*>(context)->result.output.insert(static_cast<Io*>(context)->result.output.end(), p, p + count);
    }
  } io = {data, size, {0, Bytes(), 0}};
  io.result.code = DecodeEntryStream(Io::Read, Io::Write, &io);
  return io.result;
}
inline EntryDecoding DecodeEntry(const Bytes& data) { return DecodeEntry(data.data(), data.size()); }

}  // namespace patchbytes
