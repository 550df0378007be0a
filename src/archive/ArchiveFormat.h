// The payload archive and patch-stream layouts, shared by the decoders, the
// extraction and the packer. Every integer is little-endian (LittleEndian.h).
#pragma once

#include <cstdint>

#include "LittleEndian.h"

namespace vhz {

// The setup holds the marker only in lower case and upper-cases a copy at
// start-up, so a search through its own image never finds the copy.
const char kPayloadMarkerLower[] = "<vhzip file begins here>";
const char kPayloadMarker[] = "<VHZIP FILE BEGINS HERE>";
const int32_t kPayloadMarkerLength = 24;

// The archive file: a scrambled body, then the check value of the plain body.
const int32_t kBodyCheckSize = 4;
const uint32_t kCheckStart = 0xFFFFFFFFu;  // also the check value of zero bytes

// Keystream step: S = S * kKeystreamMultiplier + 1 (mod 2^32).
const uint32_t kKeystreamMultiplier = 134775813u;

// Entry record: u16 name length, the name, then five u32 fields.
const int32_t kEntryNameLengthSize = 2;
const int32_t kEntryFieldsSize = 20;
const int32_t kEntryFixedSize = kEntryNameLengthSize + kEntryFieldsSize;  // plus the name
const int32_t kMaxEntryNameLength = 0xFFFF;
struct TEntryFields {
  uint32_t dosDateTime;   // MS-DOS date (high 16 bits) and time (low 16 bits), local
  uint32_t fileLength;    // length of the file's contents
  uint32_t attributes;    // Windows attribute bits
  uint32_t dataLength;    // bytes of patch stream that follow
  uint32_t contentsCheck; // check value of the file's contents
};
// The short form of an empty file: four data bytes that are never interpreted.
const uint32_t kEmptyShortDataLength = 4;

// Patch-stream block: 13-byte header, then the stored bytes.
const int32_t kBlockHeaderSize = 13;
const uint8_t kMethodStored = 0;
const uint8_t kMethodDeflated = 1;
const int32_t kMaxBlockContent = 0x200040;  // 2 MiB + 64
const int32_t kMaxStoredLength = 0x200400;  // 2 MiB + 1 KiB, for streams read through callbacks
const int32_t kInflateArenaSize = 0x20001;
struct TBlockHeader {
  uint8_t method;
  int32_t contentLength;
  int32_t storedLength;
  uint32_t blockCheck;  // over the stored bytes as they stand in the stream
};

// Commands of the command stream.
const uint8_t kOpEnd = 0x00;
const uint8_t kOpCopyFirst = 0x10;  // offset width ((op >> 2) & 3) + 1, length width (op & 3) + 1
const uint8_t kOpCopyLast = 0x1F;
const uint8_t kOpLiteralFirst = 0x20;  // length width (op & 3) + 1, then the bytes
const uint8_t kOpLiteralLast = 0x23;
const int32_t kEndCommandSize = 5;

inline int32_t CopyOffsetWidth(uint8_t op) { return ((op >> 2) & 3) + 1; }
inline int32_t CopyLengthWidth(uint8_t op) { return (op & 3) + 1; }
inline int32_t LiteralLengthWidth(uint8_t op) { return (op & 3) + 1; }
inline uint8_t CopyOpcode(int32_t offsetWidth, int32_t lengthWidth) {
  return static_cast<uint8_t>(kOpCopyFirst | ((offsetWidth - 1) << 2) | (lengthWidth - 1));
}
inline uint8_t LiteralOpcode(int32_t lengthWidth) {
  return static_cast<uint8_t>(kOpLiteralFirst | (lengthWidth - 1));
}
// Fewest bytes (1 to 4) that hold value.
inline int32_t OperandWidth(uint32_t value) {
  return value < 0x100u ? 1 : value < 0x10000u ? 2 : value < 0x1000000u ? 3 : 4;
}

inline TBlockHeader GetBlockHeader(const uint8_t* p) {
  TBlockHeader h;
  h.method = p[0];
  h.contentLength = static_cast<int32_t>(GetU32(p + 1));
  h.storedLength = static_cast<int32_t>(GetU32(p + 5));
  h.blockCheck = GetU32(p + 9);
  return h;
}
inline void PutBlockHeader(uint8_t* p, const TBlockHeader& h) {
  p[0] = h.method;
  PutLE(p + 1, static_cast<uint32_t>(h.contentLength), 4);
  PutLE(p + 5, static_cast<uint32_t>(h.storedLength), 4);
  PutLE(p + 9, h.blockCheck, 4);
}

inline TEntryFields GetEntryFields(const uint8_t* p) {
  TEntryFields f;
  f.dosDateTime = GetU32(p);
  f.fileLength = GetU32(p + 4);
  f.attributes = GetU32(p + 8);
  f.dataLength = GetU32(p + 12);
  f.contentsCheck = GetU32(p + 16);
  return f;
}
inline void PutEntryFields(uint8_t* p, const TEntryFields& f) {
  PutLE(p, f.dosDateTime, 4);
  PutLE(p + 4, f.fileLength, 4);
  PutLE(p + 8, f.attributes, 4);
  PutLE(p + 12, f.dataLength, 4);
  PutLE(p + 16, f.contentsCheck, 4);
}

}  // namespace vhz
