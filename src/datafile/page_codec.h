// Page codec: the byte form of one tree page and of the file header.
//
// Offers the little-endian field helpers, the prefix coding of a page's
// records, the run-length compression of the record stream, and whole-page
// encode/decode. Decoding checks every length against the bytes present and
// throws InternalError with the format's number on any inconsistency; encoding
// never produces a page that decoding would refuse.
#pragma once

#include <cstdint>
#include <vector>

#include "datafile/container.h"

namespace glimra::datafile::page {

constexpr std::size_t kHeaderBytes = 512;
constexpr std::size_t kUnit = 256;          // page size granularity
constexpr int kClassCount = 59;             // size classes 1..59
constexpr std::size_t kPageHeaderBytes = 13;
constexpr std::size_t kMaxRecordBytes = 15093;
constexpr std::size_t kSplitBound = 15094;
constexpr std::size_t kSplitBoundCrowded = 4096;
constexpr std::size_t kCrowdedRecordCount = 20;
constexpr std::size_t kMaxStoredRounded = 15104;  // < 15105
constexpr std::uint8_t kPadding = 0xB0;
constexpr std::uint8_t kMagic[4] = {0x74, 0x4F, 0x70, 0x53};

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

inline std::size_t roundUp(std::size_t n, std::size_t unit) { return (n + unit - 1) / unit * unit; }
// The size class (1..59, or more for an oversize page) that holds storedSize bytes.
inline int classOf(std::size_t storedSize) { return int(roundUp(storedSize, kUnit) / kUnit); }
inline std::uint64_t offsetOf(std::int32_t reference) { return std::uint64_t(reference) * kUnit + kHeaderBytes; }

// File header <-> 512 bytes.
void encodeHeader(const FileHeader& header, std::uint8_t* out512);
FileHeader decodeHeader(const std::uint8_t* in512);
bool hasMagic(const std::uint8_t* in512);

// Cost of a record in sizeBound, and a page's whole sizeBound.
std::size_t recordCost(const TreeRecord& record, bool nonLeaf);
std::size_t sizeBoundOf(const std::vector<TreeRecord>& records, bool nonLeaf);

// Prefix coding of a record sequence and its inverse. decodeRecords throws
// 1602 unless the records end exactly at the end of the stream.
Bytes prefixEncode(const std::vector<TreeRecord>& records);
std::vector<TreeRecord> prefixDecode(const std::uint8_t* data, std::size_t length, std::size_t count);

// Run-length compression. compress() returns false when no run of 4 or more
// equal bytes exists (the stream then stays plain).
void putCount(Bytes& out, std::size_t count);
bool compress(const Bytes& plain, Bytes* packed);
// Expands packed into exactly expectedLength bytes (522 / 530 / 1602 on damage).
Bytes decompress(const std::uint8_t* data, std::size_t length, std::size_t expectedLength);
// The same into out (its capacity kept: a reader decodes page after page).
void decompressInto(const std::uint8_t* data, std::size_t length, std::size_t expectedLength, Bytes& out);

// The encoded form of a page's contents, independent of where the page lives.
struct EncodedBody {
  Bytes body;  // the record stream as stored (compressed or plain)
  std::uint16_t storedSize = 0;
  std::uint16_t expandedSize = 0;
  std::uint16_t sizeBound = 0;
  bool compressed = false;
};
// Encodes records (checks 1659 and 1678). nonLeaf pages carry child references.
EncodedBody encodeBody(const std::vector<TreeRecord>& records, bool nonLeaf);
// The full on-disk image: header, child references, body, 0xB0 padding.
Bytes assemblePage(const EncodedBody& encoded, std::uint32_t pageOffset, std::uint8_t level,
                   const std::vector<std::int32_t>& children, std::size_t recordCount);

// A page read back from its bytes.
struct DecodedPage {
  std::uint32_t pageOffset = 0;
  std::uint16_t storedSize = 0;
  std::uint16_t expandedSize = 0;
  std::uint16_t sizeBound = 0;
  std::uint8_t level = 0;
  bool compressed = false;
  std::vector<TreeRecord> records;
  std::vector<std::int32_t> children;
};
// data holds the page's slot (class × 256 bytes); expectedClass 0 skips the
// class check (1477).
DecodedPage decodePage(const std::uint8_t* data, std::size_t length, int expectedClass);
// The same, expanding a compressed body into scratch instead of a fresh buffer.
DecodedPage decodePage(const std::uint8_t* data, std::size_t length, int expectedClass, Bytes& scratch);

}  // namespace glimra::datafile::page
