// Hand-made archives for the extraction tests: entry records and scrambled
// bodies built byte by byte, independently of the packer.
#pragma once

#include <string>

#include "ArchiveFormat.h"
#include "Encript.h"
#include "PatchBytes.h"

namespace archivebytes {

using patchbytes::Bytes;
using patchbytes::Le;
using patchbytes::operator+;

// 2001-09-09 14:46:40, local.
const uint32_t kSomeTime = ((21u << 9 | 9u << 5 | 9u) << 16) | (14u << 11 | 46u << 5 | 20u);

inline Bytes Record(const std::string& name, uint32_t time, uint32_t fileLength, uint32_t attributes,
                    const Bytes& data, uint32_t contentsCheck) {
  return Le(static_cast<uint32_t>(name.size()), 2) + patchbytes::FromText(name) + Le(time, 4) +
         Le(fileLength, 4) + Le(attributes, 4) + Le(static_cast<uint32_t>(data.size()), 4) +
         Le(contentsCheck, 4) + data;
}

// The contents as one stored block: a literal run and the end command.
inline Bytes StreamFor(const Bytes& content) {
  return patchbytes::Stored(patchbytes::Literal(content, 4) + patchbytes::EndFor(content));
}

inline Bytes Entry(const std::string& name, const std::string& text, uint32_t attributes = 0x20,
                   uint32_t time = kSomeTime) {
  const Bytes content = patchbytes::FromText(text);
  return Record(name, time, static_cast<uint32_t>(content.size()), attributes, StreamFor(content),
                patchbytes::Check(content));
}

// The archive file: the body scrambled with the pass phrase, then the check
// value of the plain body.
inline Bytes Archive(const Bytes& body, const std::string& passPhrase = "") {
  Bytes scrambled = body;
  InitKeystream(passPhrase);
  ApplyKeystream(scrambled.data(), static_cast<int32_t>(scrambled.size()));
  return scrambled + Le(patchbytes::Check(body), 4);
}

inline std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace archivebytes
