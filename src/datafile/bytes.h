// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's byte vocabulary, below the page codec and the container: byte
// strings and views, one record of the tree, the file header as held in
// memory, the structural-fault exception, and the byte-order helpers every
// layer of the engine reads and writes fields with.
//
// Byte order: the integers of the file header, of page headers, of child
// references, counters and memo lengths are little-endian (getU16, getU32,
// putU16, putU32); table numbers and record numbers inside keys, and the
// header's last record number, are big-endian (getBigEndian32,
// putBigEndian32), so that keys compare byte by byte. The helpers read and
// write at any alignment.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "datafile/record_bytes.h"

namespace glimra::datafile {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// A structural fault of the file, numbered as the format's internal errors
// (internal_errors.h).
struct InternalError {
  int number;
};

// One record of the tree: its first keyLength bytes are its sort key.
struct TreeRecord {
  RecordBytes bytes;
  std::uint16_t keyLength = 0;

  ByteView key() const { return ByteView(bytes.data(), keyLength); }
  ByteView payload() const { return ByteView(bytes.data() + keyLength, bytes.size() - keyLength); }
};

// Unsigned byte-wise order over the shorter length; the shorter key first when
// that prefix is equal.
int compareKeys(ByteView a, ByteView b);

// The header as it is held in memory (all fields decoded).
struct FileHeader {
  std::uint32_t headerOffset = 0;
  std::uint16_t headerSize = 512;
  std::uint32_t dataEnd = 0;
  std::uint32_t pendingEnd = 0;
  std::uint16_t reserved = 0;
  std::uint32_t lastRecordNumber = 0;  // decoded from its big-endian bytes
  std::uint32_t changeCount = 0;
  std::int32_t rootPage = -1;
  std::uint32_t regionStart[60] = {};
  std::uint32_t regionEnd[60] = {};
};

inline std::uint16_t getU16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t getU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline void putU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
inline std::uint32_t getBigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
}
inline void putBigEndian32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v >> 24);
  p[1] = std::uint8_t(v >> 16);
  p[2] = std::uint8_t(v >> 8);
  p[3] = std::uint8_t(v);
}

}  // namespace glimra::datafile
