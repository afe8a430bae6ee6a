// SPDX-License-Identifier: GPL-3.0-or-later
// Page codec: the byte form of one tree page and of the file header.
//
// Offers the prefix coding of a page's records, the run-length compression
// of the record stream, and whole-page encode/decode (the byte-order helpers
// it writes fields with are in bytes.h). Decoding checks every length against the bytes present and
// throws InternalError with the format's number on any inconsistency; encoding
// never produces a page that decoding would refuse.
//
// The file format
// ===============
// Integers of the header, of page headers and of child references are
// little-endian; the record number in the header (and inside record keys) is
// big-endian, so that keys compare byte by byte. A page reference r >= 0 is
// the page at file offset r * 256 + 512; a negative one is a page that lives
// only in memory so far. Every read and write moves a multiple of 64 bytes.
//
// File header (offset 0, kHeaderBytes = 512 bytes)
//   offset  width      field              meaning
//   0       u32        headerOffset       0, the header's own offset
//   4       u16        headerSize         512
//   6       u32        dataEnd            end of the committed data, start of the pending area
//   10      u32        pendingEnd         end of the pending area; = dataEnd when nothing is pending
//   14      4 bytes    magic              kMagic
//   18      u16        reserved           kept as read, 0 in a new file
//   20      4 bytes    lastRecordNumber   big-endian; its first byte stays below 0xFE
//   24      u32        changeCount        +1 per commit; readers compare it to know their cache is stale
//   28      i32        rootPage           reference of the root page; -1 for an empty tree
//   32      60 x u32   regionStart[i]     first unit of region i (class i, 1..59); entry 0 unused
//   272     60 x u32   regionEnd[i]       one past the last unit of region i; entry 0 unused
//
// Page (class i occupies i * kUnit bytes in region i; regions are packed and
// in class order, the gap above region i is free space)
//   offset  width      field              meaning
//   0       u32        pageOffset         the page's own file offset (recovery copies a pending copy home by it)
//   4       u16        storedSize         bytes as stored, header included; rounds up to the class
//   6       u16        expandedSize       bytes after decompression; = storedSize when stored plain
//   8       u16        sizeBound          13 + sum(record length + 5), + 4 per record on a non-leaf page
//   10      u16        recordCount
//   12      u8         level              0 for a leaf, height above the leaves otherwise
//   13      n x u32    children           non-leaf pages only: the child under each record; never compressed
//   then               records            prefix-coded, run-length compressed when that saves a unit
//   storedSize..       padding            kPadding up to the next multiple of kUnit
//
// Record framing (prefix coding), one after another in key order:
//   u8 flags F;  if F & kNewLength: u16 record length;  if F & kNewKeyLength: u16 key length;
//   then the record's bytes from F & kSharedMask on (its first F & kSharedMask bytes, at most 63,
//   are those of the previous record). A length not given is the previous record's. The first
//   record of a page sets both length bits and shares nothing.
//
// Run-length compression of the bytes after the children: counts are base-128
// groups, low group first, kMoreGroups set on every group but the last; the
// stream alternates a literal count L and L bytes, then a repeat count R
// (repeat the last byte R more times), until the expanded size is reached.
// A run shorter than 4 bytes stays literal; a page without a run of 4 is
// stored plain, and so is one whose compressed form saves no unit.
//
// The tree: one B+-tree of every record of the file, keys compared as
// unsigned bytes (a shorter key first on an equal prefix), unique. A leaf
// holds the records; a non-leaf page holds per child a separator, a copy of
// the key of the first record below it, with the child's reference.
#pragma once

#include <cstdint>
#include <vector>

#include "datafile/bytes.h"
#include "datafile/internal_errors.h"

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

// Offsets of the file header's fields.
namespace header {
constexpr std::size_t HEADER_OFFSET = 0;
constexpr std::size_t HEADER_SIZE = 4;
constexpr std::size_t DATA_END = 6;
constexpr std::size_t PENDING_END = 10;
constexpr std::size_t MAGIC = 14;
constexpr std::size_t RESERVED = 18;
constexpr std::size_t LAST_RECORD_NUMBER = 20;
constexpr std::size_t CHANGE_COUNT = 24;
constexpr std::size_t ROOT_PAGE = 28;
constexpr std::size_t REGION_START = 32;
constexpr std::size_t REGION_END = 272;
constexpr int REGION_ENTRIES = 60;  // entry 0 unused, then classes 1..59
static_assert(REGION_END == REGION_START + 4 * REGION_ENTRIES && REGION_END + 4 * REGION_ENTRIES <= kHeaderBytes);
}  // namespace header

// Offsets of a page header's fields.
namespace field {
constexpr std::size_t PAGE_OFFSET = 0;
constexpr std::size_t STORED_SIZE = 4;
constexpr std::size_t EXPANDED_SIZE = 6;
constexpr std::size_t SIZE_BOUND = 8;
constexpr std::size_t RECORD_COUNT = 10;
constexpr std::size_t LEVEL = 12;
constexpr std::size_t CHILDREN = 13;
static_assert(CHILDREN == kPageHeaderBytes);
}  // namespace field
constexpr std::size_t kChildReferenceBytes = 4;
constexpr std::size_t kRecordOverhead = 5;  // a record's cost in sizeBound beyond its bytes

// The flags byte of a prefix-coded record.
constexpr std::uint8_t kNewLength = 0x80;
constexpr std::uint8_t kNewKeyLength = 0x40;
constexpr std::uint8_t kSharedMask = 0x3F;
constexpr std::uint8_t kMoreGroups = 0x80;  // a count group followed by another

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
// The same into out (its block reused).
void prefixEncodeInto(const std::vector<TreeRecord>& records, Bytes& out);
std::vector<TreeRecord> prefixDecode(const std::uint8_t* data, std::size_t length, std::size_t count);

// Run-length compression. compress() returns false when no run of 4 or more
// equal bytes exists (the stream then stays plain).
void putCount(Bytes& out, std::size_t count);
bool compress(const Bytes& plain, Bytes* packed);

// Reads a record stream as the pieces it expands to, without expanding it:
// literal bytes where they lie in the stream, or one byte repeated. A plain
// (uncompressed) stream is one literal piece. Every count is checked against
// the bytes present and the bytes still expected as it is met (522 / 530 /
// 1602), exactly as expanding the whole stream would check it.
class RunReader {
 public:
  // The stream at data (length bytes) expands to exactly expected bytes.
  RunReader(const std::uint8_t* data, std::size_t length, std::size_t expected, bool compressed);

  struct Piece {
    const std::uint8_t* literal;  // the bytes, or nullptr for a repeat
    std::uint8_t repeated;        // the repeated byte, when literal is nullptr
    std::size_t length;
  };
  // The next piece, of 1..limit bytes. 1602 when the expansion has ended.
  Piece next(std::size_t limit) {
    // Inside a chunk of literals or repeats: no count to read, nothing to check.
    if (literalsLeft_ > 0 && limit > 0) {
      const std::size_t n = limit < literalsLeft_ ? limit : literalsLeft_;
      const Piece piece{data_ + pos_, 0, n};
      pos_ += n;
      literalsLeft_ -= n;
      produced_ += n;
      last_ = data_[pos_ - 1];
      return piece;
    }
    if (repeatsLeft_ > 0 && limit > 0) {
      const std::size_t n = limit < repeatsLeft_ ? limit : repeatsLeft_;
      repeatsLeft_ -= n;
      produced_ += n;
      return Piece{nullptr, last_, n};
    }
    return nextChunk(limit);
  }
  std::size_t produced() const { return produced_; }
  std::size_t remaining() const { return expected_ - produced_; }

 private:
  Piece nextChunk(std::size_t limit);
  std::size_t readCount();

  const std::uint8_t* data_;
  std::size_t length_;
  std::size_t expected_;
  std::size_t pos_ = 0;
  std::size_t produced_ = 0;
  std::size_t literalsLeft_ = 0;
  std::size_t repeatsLeft_ = 0;
  bool repeatDue_ = false;  // the literals of a chunk are done: its repeat count comes next
  bool compressed_;         // else the stream is its expansion: one chunk of literals
  std::uint8_t last_ = 0;
};
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
