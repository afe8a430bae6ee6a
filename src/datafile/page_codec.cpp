// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/page_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace glimra::datafile {

namespace page {

namespace {
// Copies a few bytes without a call: records of an inner page are mostly
// shorter than a cache line, and a page holds a hundred or more of them.
void copyShort(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
  if (n > 32) {
    std::memcpy(to, from, n);
    return;
  }
  for (; n >= 8; n -= 8, to += 8, from += 8) std::memcpy(to, from, 8);
  if (n & 4) {
    std::memcpy(to, from, 4);
    to += 4;
    from += 4;
  }
  if (n & 2) {
    std::memcpy(to, from, 2);
    to += 2;
    from += 2;
  }
  if (n & 1) *to = *from;
}
}  // namespace

void encodeHeader(const FileHeader& h, std::uint8_t* out) {
  std::memset(out, 0, kHeaderBytes);
  putU32(out + header::HEADER_OFFSET, h.headerOffset);
  putU16(out + header::HEADER_SIZE, h.headerSize);
  putU32(out + header::DATA_END, h.dataEnd);
  putU32(out + header::PENDING_END, h.pendingEnd);
  std::memcpy(out + header::MAGIC, kMagic, sizeof kMagic);
  putU16(out + header::RESERVED, h.reserved);
  putBigEndian32(out + header::LAST_RECORD_NUMBER, h.lastRecordNumber);
  putU32(out + header::CHANGE_COUNT, h.changeCount);
  putU32(out + header::ROOT_PAGE, std::uint32_t(h.rootPage));
  for (int i = 0; i < header::REGION_ENTRIES; ++i) {
    putU32(out + header::REGION_START + 4 * i, h.regionStart[i]);
    putU32(out + header::REGION_END + 4 * i, h.regionEnd[i]);
  }
}

FileHeader decodeHeader(const std::uint8_t* in) {
  FileHeader h;
  h.headerOffset = getU32(in + header::HEADER_OFFSET);
  h.headerSize = getU16(in + header::HEADER_SIZE);
  h.dataEnd = getU32(in + header::DATA_END);
  h.pendingEnd = getU32(in + header::PENDING_END);
  h.reserved = getU16(in + header::RESERVED);
  h.lastRecordNumber = getBigEndian32(in + header::LAST_RECORD_NUMBER);
  h.changeCount = getU32(in + header::CHANGE_COUNT);
  h.rootPage = std::int32_t(getU32(in + header::ROOT_PAGE));
  for (int i = 0; i < header::REGION_ENTRIES; ++i) {
    h.regionStart[i] = getU32(in + header::REGION_START + 4 * i);
    h.regionEnd[i] = getU32(in + header::REGION_END + 4 * i);
  }
  return h;
}

bool hasMagic(const std::uint8_t* in) { return std::memcmp(in + header::MAGIC, kMagic, sizeof kMagic) == 0; }

std::size_t recordCost(const TreeRecord& record, bool nonLeaf) {
  return record.bytes.size() + kRecordOverhead + (nonLeaf ? kChildReferenceBytes : 0);
}

std::size_t sizeBoundOf(const std::vector<TreeRecord>& records, bool nonLeaf) {
  std::size_t bound = kPageHeaderBytes;
  for (const auto& r : records) bound += recordCost(r, nonLeaf);
  return bound;
}

Bytes prefixEncode(const std::vector<TreeRecord>& records) {
  Bytes out;
  prefixEncodeInto(records, out);
  return out;
}

namespace {
// How many of the first `limit` bytes of a and b are equal, eight at a time.
std::size_t sharedLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
  std::size_t i = 0;
  for (; i + 8 <= limit; i += 8) {
    std::uint64_t u, v;
    std::memcpy(&u, a + i, 8);
    std::memcpy(&v, b + i, 8);
    if (u != v) {
      if constexpr (std::endian::native == std::endian::little) return i + std::size_t(std::countr_zero(u ^ v) / 8);
      return i + std::size_t(std::countl_zero(u ^ v) / 8);
    }
  }
  while (i < limit && a[i] == b[i]) ++i;
  return i;
}
}  // namespace

// Writes into a block sized for the worst case, through a pointer: a commit
// encodes every page it changed, and a leaf holds a hundred records or more.
void prefixEncodeInto(const std::vector<TreeRecord>& records, Bytes& out) {
  std::size_t most = 0;  // no record shares a prefix: each with its flags and both lengths
  for (const auto& r : records) most += r.bytes.size() + 5;
  out.resize(most);
  std::uint8_t* to = out.data();
  const TreeRecord* previous = nullptr;
  for (const auto& r : records) {
    const std::size_t length = r.bytes.size();
    const std::uint8_t* bytes = r.bytes.data();
    std::uint8_t flags = 0;
    std::size_t shared = 0;
    if (previous == nullptr) {
      flags = kNewLength | kNewKeyLength;
    } else {
      if (previous->bytes.size() != length) flags |= kNewLength;
      if (previous->keyLength != r.keyLength) flags |= kNewKeyLength;
      const std::size_t limit = std::min<std::size_t>({kSharedMask, length, previous->bytes.size()});
      shared = sharedLength(previous->bytes.data(), bytes, limit);
      flags |= std::uint8_t(shared);
    }
    *to++ = flags;
    if (flags & kNewLength) {
      putU16(to, std::uint16_t(length));
      to += 2;
    }
    if (flags & kNewKeyLength) {
      putU16(to, r.keyLength);
      to += 2;
    }
    copyShort(to, bytes + shared, length - shared);
    to += length - shared;
    previous = &r;
  }
  out.resize(std::size_t(to - out.data()));
}

std::vector<TreeRecord> prefixDecode(const std::uint8_t* data, std::size_t length, std::size_t count) {
  std::vector<TreeRecord> records;
  records.reserve(count);
  std::size_t pos = 0;
  auto need = [&](std::size_t n) {
    if (length - pos < n) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
  };
  for (std::size_t i = 0; i < count; ++i) {
    need(1);
    const std::uint8_t flags = data[pos++];
    const std::size_t shared = flags & kSharedMask;
    if (i == 0 && (flags & (kNewLength | kNewKeyLength)) != (kNewLength | kNewKeyLength)) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
    if (i == 0 && shared != 0) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
    TreeRecord r;
    std::size_t recordLength = i == 0 ? 0 : records.back().bytes.size();
    r.keyLength = i == 0 ? 0 : records.back().keyLength;
    if (flags & kNewLength) {
      need(2);
      recordLength = getU16(data + pos);
      pos += 2;
    }
    if (flags & kNewKeyLength) {
      need(2);
      r.keyLength = getU16(data + pos);
      pos += 2;
    }
    if (r.keyLength > recordLength || shared > recordLength) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
    if (i > 0 && shared > records.back().bytes.size()) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
    need(recordLength - shared);
    r.bytes.resizeForOverwrite(recordLength);
    if (shared > 0) copyShort(r.bytes.data(), records.back().bytes.data(), shared);
    copyShort(r.bytes.data() + shared, data + pos, recordLength - shared);
    pos += recordLength - shared;
    records.push_back(std::move(r));
  }
  if (pos != length) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
  return records;
}

void putCount(Bytes& out, std::size_t count) {
  do {
    std::uint8_t group = std::uint8_t(count & 0x7F);
    count >>= 7;
    if (count != 0) group |= kMoreGroups;
    out.push_back(group);
  } while (count != 0);
}

namespace {
// Where the run of bytes equal to data[i] that starts at i ends (8 bytes at a
// time while it lasts: records are mostly long runs of blanks).
std::size_t runEnd(const std::uint8_t* data, std::size_t i, std::size_t n) {
  std::uint64_t pattern = 0x0101010101010101ULL * data[i];
  std::size_t j = i + 1;
  while (j + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, data + j, 8);
    if (word != pattern) break;
    j += 8;
  }
  while (j < n && data[j] == data[i]) ++j;
  return j;
}
}  // namespace

bool compress(const Bytes& plain, Bytes* packed) {
  packed->clear();
  const std::size_t n = plain.size();
  packed->reserve(n / 2 + 16);
  const std::uint8_t* data = plain.data();
  std::size_t literalStart = 0;
  bool anyRun = false;
  std::size_t i = 0;
  while (i < n) {
    // A run needs at least 4 equal bytes. Eight bytes at a time: the byte k
    // of e is zero where byte k equals byte k + 1, and a run starts where
    // three such zeros follow each other (starts 0 to 4 of the eight).
    if (i + 8 <= n) {
      std::uint64_t x;
      std::memcpy(&x, data + i, 8);
      if constexpr (std::endian::native == std::endian::little) {
        const std::uint64_t e = x ^ (x >> 8);
        constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
        const std::uint64_t zero = ~(((e & low7) + low7) | e | low7);  // 0x80 in every zero byte
        const std::uint64_t starts = zero & (zero >> 8) & (zero >> 16) & 0x0000008080808080ULL;
        if (starts == 0) {
          i += 5;
          continue;
        }
        i += std::size_t(std::countr_zero(starts) / 8);
      }
    }
    // Test the 4th byte first, the cheap miss.
    if (i + 3 >= n || data[i + 3] != data[i] || data[i + 1] != data[i] || data[i + 2] != data[i]) {
      ++i;
      continue;
    }
    const std::size_t j = runEnd(data, i, n);
    anyRun = true;
    putCount(*packed, i + 1 - literalStart);
    packed->insert(packed->end(), data + literalStart, data + i + 1);
    putCount(*packed, j - i - 1);
    literalStart = j;
    i = j;
  }
  if (literalStart < n) {
    putCount(*packed, n - literalStart);
    packed->insert(packed->end(), data + literalStart, data + n);
  }
  return anyRun;
}

RunReader::RunReader(const std::uint8_t* data, std::size_t length, std::size_t expected, bool compressed)
    : data_(data), length_(length), expected_(expected), compressed_(compressed) {
  if (!compressed_) literalsLeft_ = std::min(length_, expected_);
}

// Reads one base-128 count; a count running past the input is damage.
std::size_t RunReader::readCount() {
  std::size_t value = 0;
  int shift = 0;
  for (;;) {
    if (pos_ >= length_ || shift > 28) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
    const std::uint8_t group = data_[pos_++];
    value |= std::size_t(group & 0x7F) << shift;
    shift += 7;
    if ((group & kMoreGroups) == 0) return value;
  }
}

// The stream alternates a literal count and its literals with a repeat count,
// until the expansion is complete; next() has used up the chunk before.
RunReader::Piece RunReader::nextChunk(std::size_t limit) {
  if (produced_ >= expected_ || limit == 0 || !compressed_) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
  for (;;) {
    if (repeatDue_) {
      repeatDue_ = false;
      const std::size_t repeats = readCount();
      if (repeats > expected_ - produced_) throw InternalError{ContainerDamage::REPEAT_OVERRUN};
      if (produced_ == 0 && repeats > 0) throw InternalError{ContainerDamage::REPEAT_OVERRUN};
      repeatsLeft_ = repeats;
    } else {
      const std::size_t literals = readCount();
      if (literals > expected_ - produced_) throw InternalError{ContainerDamage::LITERAL_OVERRUN};
      if (literals > length_ - pos_) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
      literalsLeft_ = literals;
      repeatDue_ = true;
    }
    if (literalsLeft_ > 0 || repeatsLeft_ > 0) return next(limit);
  }
}

namespace {
// Expands the run-coded stream into exactly expected bytes: the first
// headLength of them into head, the rest into rest.
void expandRuns(const std::uint8_t* data, std::size_t length, std::size_t expected, std::uint8_t* head,
                std::size_t headLength, std::uint8_t* rest) {
  RunReader reader(data, length, expected, true);
  while (reader.remaining() > 0) {
    const std::size_t at = reader.produced();
    const RunReader::Piece piece = reader.next(at < headLength ? headLength - at : reader.remaining());
    std::uint8_t* to = at < headLength ? head + at : rest + (at - headLength);
    if (piece.literal)
      std::memcpy(to, piece.literal, piece.length);
    else
      std::memset(to, piece.repeated, piece.length);
  }
}

constexpr std::size_t kFirstRecordHeader = 5;  // flags, record length, key length
}  // namespace

Bytes decompress(const std::uint8_t* data, std::size_t length, std::size_t expected) {
  Bytes out;
  decompressInto(data, length, expected, out);
  return out;
}

void decompressInto(const std::uint8_t* data, std::size_t length, std::size_t expected, Bytes& out) {
  if (out.size() < expected) out.resize(expected);
  expandRuns(data, length, expected, nullptr, 0, out.data());
  out.resize(expected);
}

EncodedBody encodeBody(const std::vector<TreeRecord>& records, bool nonLeaf) {
  EncodedBody e;
  const std::size_t fixed = kPageHeaderBytes + (nonLeaf ? 4 * records.size() : 0);
  // A block kept between pages: a commit of a bulk add encodes thousands of
  // 11.7 KB pages, and keeps only their compressed bodies.
  thread_local Bytes plain;
  prefixEncodeInto(records, plain);
  const std::size_t expanded = fixed + plain.size();
  const std::size_t bound = sizeBoundOf(records, nonLeaf);
  if (expanded > bound) throw InternalError{ContainerDamage::OVER_SIZE_BOUND};
  Bytes packed;
  const bool runs = compress(plain, &packed);
  if (runs && roundUp(fixed + packed.size(), kUnit) < roundUp(expanded, kUnit)) {
    e.body = std::move(packed);
    e.compressed = true;
  } else {
    e.body = plain;
  }
  const std::size_t stored = fixed + e.body.size();
  if (roundUp(stored, kUnit) > kMaxStoredRounded) throw InternalError{ContainerDamage::PAGE_TOO_LARGE};
  e.storedSize = std::uint16_t(stored);
  e.expandedSize = std::uint16_t(expanded);
  e.sizeBound = std::uint16_t(std::min<std::size_t>(bound, 0xFFFF));
  return e;
}

Bytes assemblePage(const EncodedBody& e, std::uint32_t pageOffset, std::uint8_t level,
                   const std::vector<std::int32_t>& children, std::size_t recordCount) {
  Bytes image(roundUp(e.storedSize, kUnit), kPadding);
  std::uint8_t* p = image.data();
  putU32(p + field::PAGE_OFFSET, pageOffset);
  putU16(p + field::STORED_SIZE, e.storedSize);
  putU16(p + field::EXPANDED_SIZE, e.expandedSize);
  putU16(p + field::SIZE_BOUND, e.sizeBound);
  putU16(p + field::RECORD_COUNT, std::uint16_t(recordCount));
  p[field::LEVEL] = level;
  std::size_t pos = kPageHeaderBytes;
  if (level > 0) {
    for (std::int32_t child : children) {
      putU32(p + pos, std::uint32_t(child));
      pos += kChildReferenceBytes;
    }
  }
  if (!e.body.empty()) std::memcpy(p + pos, e.body.data(), e.body.size());
  return image;
}

DecodedPage decodePage(const std::uint8_t* data, std::size_t length, int expectedClass) {
  Bytes scratch;
  return decodePage(data, length, expectedClass, scratch);
}

DecodedPage decodePage(const std::uint8_t* data, std::size_t length, int expectedClass, Bytes& scratch) {
  if (length < kPageHeaderBytes) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
  DecodedPage d;
  d.pageOffset = getU32(data + field::PAGE_OFFSET);
  d.storedSize = getU16(data + field::STORED_SIZE);
  d.expandedSize = getU16(data + field::EXPANDED_SIZE);
  d.sizeBound = getU16(data + field::SIZE_BOUND);
  const std::size_t count = getU16(data + field::RECORD_COUNT);
  d.level = data[field::LEVEL];
  if (expectedClass != 0 && classOf(d.storedSize) != expectedClass) throw InternalError{ContainerDamage::WRONG_CLASS};
  if (d.storedSize < kPageHeaderBytes || d.storedSize > length) throw InternalError{ContainerDamage::WRONG_CLASS};
  const std::size_t fixed = kPageHeaderBytes + (d.level > 0 ? kChildReferenceBytes * count : 0);
  if (fixed > d.storedSize || d.expandedSize < d.storedSize) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
  if (d.level > 0) d.children.reserve(count);
  for (std::size_t i = 0; d.level > 0 && i < count; ++i)
    d.children.push_back(std::int32_t(getU32(data + field::CHILDREN + kChildReferenceBytes * i)));
  d.compressed = d.storedSize < d.expandedSize;
  const std::size_t expanded = d.expandedSize - fixed;
  if (d.compressed && count == 1 && expanded >= kFirstRecordHeader) {
    // One record (a data record has a page of its own): expand its bytes
    // straight into the record, checked as prefixDecode checks them.
    std::uint8_t first[kFirstRecordHeader];
    TreeRecord r;
    r.bytes.resizeForOverwrite(expanded - kFirstRecordHeader);
    expandRuns(data + fixed, d.storedSize - fixed, expanded, first, kFirstRecordHeader, r.bytes.data());
    r.keyLength = getU16(first + 3);
    if (first[0] != (kNewLength | kNewKeyLength) || getU16(first + 1) != r.bytes.size() || r.keyLength > r.bytes.size())
      throw InternalError{ContainerDamage::RECORDS_OVERRUN};
    d.records.push_back(std::move(r));
  } else if (d.compressed) {
    decompressInto(data + fixed, d.storedSize - fixed, expanded, scratch);
    d.records = prefixDecode(scratch.data(), scratch.size(), count);
  } else {
    d.records = prefixDecode(data + fixed, d.storedSize - fixed, count);
  }
  return d;
}

}  // namespace page
}  // namespace glimra::datafile
