// Patch streams and archives built byte by byte, independently of the packer,
// so that block boundaries and record fields land exactly where a test needs them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "ApplyPth.h"
#include "ArchiveFormat.h"
#include "CRC_32.h"
#include "Encript.h"

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
inline std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
inline Bytes Part(const Bytes& bytes, size_t from, size_t to = std::string::npos) {
  return Bytes(bytes.begin() + from, bytes.begin() + std::min(to, bytes.size()));
}
inline uint32_t Check(const Bytes& bytes) {
  return UpdateCrc32(bytes.data(), static_cast<int32_t>(bytes.size()), vhz::kCheckStart);
}

inline Bytes Copy(uint32_t offset, uint32_t length, int offsetWidth = 4, int lengthWidth = 4) {
  return Bytes{vhz::CopyOpcode(offsetWidth, lengthWidth)} + Le(offset, offsetWidth) + Le(length, lengthWidth);
}
inline Bytes Literal(const Bytes& bytes, int lengthWidth = 2) {
  return Bytes{vhz::LiteralOpcode(lengthWidth)} + Le(static_cast<uint32_t>(bytes.size()), lengthWidth) + bytes;
}
inline Bytes End(uint32_t check) { return Bytes{vhz::kOpEnd} + Le(check, 4); }
inline Bytes EndFor(const Bytes& produced) { return End(Check(produced)); }

inline Bytes Header(uint8_t method, uint32_t contentLength, uint32_t storedLength, uint32_t check) {
  return Bytes{method} + Le(contentLength, 4) + Le(storedLength, 4) + Le(check, 4);
}
inline Bytes Stored(const Bytes& content) {
  const uint32_t n = static_cast<uint32_t>(content.size());
  return Header(vhz::kMethodStored, n, n, Check(content)) + content;
}
inline Bytes Deflated(const Bytes& content) {
  uLongf size = compressBound(static_cast<uLong>(content.size()));
  Bytes stored(size);
  compress2(stored.data(), &size, content.data(), static_cast<uLong>(content.size()), 9);
  stored.resize(size);
  return Header(vhz::kMethodDeflated, static_cast<uint32_t>(content.size()), static_cast<uint32_t>(stored.size()),
                Check(stored)) + stored;
}

// A patch from base to target in one deflated block: their common head is
// copied, the rest is carried as a literal.
inline Bytes MakePatch(const Bytes& base, const Bytes& target) {
  uint32_t head = 0;
  while (head < std::min(base.size(), target.size()) && base[head] == target[head]) ++head;
  return Deflated((head ? Copy(0, head) : Bytes()) + Literal(Part(target, head), 4) + EndFor(target));
}

// An archive entry: the record's fields, then its data.
const uint32_t kSomeTime = ((21u << 9 | 9u << 5 | 9u) << 16) | (14u << 11 | 46u << 5 | 20u);  // 2001-09-09 14:46:40
inline Bytes Record(const std::string& name, uint32_t fileLength, const Bytes& data, uint32_t contentsCheck,
                    uint32_t attributes = 0x20) {
  return Le(static_cast<uint32_t>(name.size()), 2) + FromText(name) + Le(kSomeTime, 4) + Le(fileLength, 4) +
         Le(attributes, 4) + Le(static_cast<uint32_t>(data.size()), 4) + Le(contentsCheck, 4) + data;
}
inline Bytes StreamFor(const Bytes& content) { return Stored(Literal(content, 4) + EndFor(content)); }
inline Bytes Entry(const std::string& name, const std::string& text, uint32_t attributes = 0x20) {
  const Bytes content = FromText(text);
  return Record(name, static_cast<uint32_t>(content.size()), StreamFor(content), Check(content), attributes);
}
// The archive file: the body scrambled with the pass phrase, then the check value of the plain body.
inline Bytes Archive(const Bytes& body, const std::string& passPhrase = "") {
  Bytes scrambled = body;
  TKeystream keystream = InitKeystream(passPhrase);
  ApplyKeystream(&keystream, scrambled.data(), static_cast<int32_t>(scrambled.size()));
  return scrambled + Le(Check(body), 4);
}

// The decoder's callbacks over a base (slot 0) and a patch (slot 1), handing
// out at most chunk bytes a call (0: uneven pieces), so that its
// read-until-complete loops run; what it writes goes to output, if any.
struct TStreamIo {
  Bytes from[2];
  size_t at[2], chunk;
  Bytes* output;
};
inline int32_t Deliver(void* user, int slot, int32_t count, void* buffer) {
  TStreamIo* io = static_cast<TStreamIo*>(user);
  const Bytes& from = io->from[slot];
  const size_t piece = io->chunk ? io->chunk : 1 + io->at[slot] % 4096;
  const size_t n = std::min({static_cast<size_t>(count), from.size() - std::min(io->at[slot], from.size()), piece});
  if (n) std::memcpy(buffer, from.data() + io->at[slot], n);
  io->at[slot] += n;
  return static_cast<int32_t>(n);
}
inline void BaseRead(void* buffer, int32_t count, int32_t* n, void* io) { *n = Deliver(io, 0, count, buffer); }
inline void BaseSeek(int32_t offset, void* io) { static_cast<TStreamIo*>(io)->at[0] = static_cast<size_t>(offset); }
inline void PatchRead(void* buffer, int32_t count, int32_t* n, void* io) { *n = Deliver(io, 1, count, buffer); }
inline void OutputWrite(const void* buffer, int32_t count, void* io) {
  if (count < 0) abort();
  if (Bytes* output = static_cast<TStreamIo*>(io)->output)
    output->insert(output->end(), static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + count);
}

}  // namespace patchbytes
