// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/text_search.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "datafile/datafile.h"
#include "datafile/file_errors.h"
#include "datafile/key_encoding.h"
#include "datafile/page_codec.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile {
namespace {

constexpr std::size_t kDataKeyLength = 9;  // table number, kind byte, record number
constexpr std::size_t kSharedMost = page::kSharedMask;  // the longest prefix a record shares with the one before

// Tests one record image, given piece by piece in order: literal bytes and
// runs of one byte. It keeps the image condensed (runs cut to the text's
// length) and folded, and looks for the folded text in it at the end.
class RecordTest {
 public:
  RecordTest(std::string_view text, const std::array<std::uint8_t, 256>& fold, std::optional<std::size_t> flagAt,
             std::size_t imageLength)
      : fold_(fold), flagAt_(flagAt) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    needle_.reserve(text.size());
    for (char c : text) needle_.push_back(fold_[static_cast<std::uint8_t>(c)]);
    condensed_.reserve(imageLength);
  }

  bool canMatch() const { return !needle_.empty(); }
  const Bytes& needle() const { return needle_; }

  void begin() {
    condensed_.clear();
    offset_ = 0;
    retired_ = false;
  }

  void add(const std::uint8_t* bytes, std::size_t n) {
    if (flagAt_ && *flagAt_ >= offset_ && *flagAt_ - offset_ < n) retired_ = bytes[*flagAt_ - offset_] != 0;
    offset_ += n;
    if (retired_) return;
    const std::size_t at = condensed_.size();
    condensed_.resize(at + n);
    std::uint8_t* out = condensed_.data() + at;
    for (std::size_t i = 0; i < n; ++i) out[i] = fold_[bytes[i]];
  }

  void addRun(std::uint8_t byte, std::size_t n) {
    if (flagAt_ && *flagAt_ >= offset_ && *flagAt_ - offset_ < n) retired_ = byte != 0;
    offset_ += n;
    if (retired_) return;
    condensed_.insert(condensed_.end(), std::min(n, needle_.size()), fold_[byte]);
  }

  bool matched() const {
    return !retired_ && !needle_.empty() &&
           memmem(condensed_.data(), condensed_.size(), needle_.data(), needle_.size()) != nullptr;
  }

 private:
  const std::array<std::uint8_t, 256>& fold_;
  std::optional<std::size_t> flagAt_;
  Bytes needle_;
  Bytes condensed_;
  std::size_t offset_ = 0;
  bool retired_ = false;
};

// Takes n bytes of the stream into out.
void pull(page::RunReader& reader, std::uint8_t* out, std::size_t n) {
  while (n > 0) {
    const page::RunReader::Piece piece = reader.next(n);
    if (piece.literal)
      std::memcpy(out, piece.literal, piece.length);
    else
      std::memset(out, piece.repeated, piece.length);
    out += piece.length;
    n -= piece.length;
  }
}

// Passes n bytes of the stream to test, or over them when test is null.
void feed(page::RunReader& reader, std::size_t n, RecordTest* test) {
  while (n > 0) {
    const page::RunReader::Piece piece = reader.next(n);
    if (test) {
      if (piece.literal)
        test->add(piece.literal, piece.length);
      else
        test->addRun(piece.repeated, piece.length);
    }
    n -= piece.length;
  }
}

class Search {
 public:
  Search(const TextSearch& search, std::uint32_t table, std::size_t recordLength, const CharacterTables& tables,
         std::vector<std::uint32_t>& matches)
      : fold_(makeFold(search.ignoreCase, tables)),
        test_(search.text, fold_, search.skipWhenSetAt, recordLength),
        dataPrefix_(kindPrefix(table, RecordKind::DATA)),
        recordLength_(recordLength),
        after_(search.after),
        matches_(matches) {
    // The least a page holding one of the table's data records expands to:
    // its header, the record's flags byte and the bytes it does not share.
    const std::size_t recordBytes = kDataKeyLength + recordLength;
    smallestDataPage_ = page::kPageHeaderBytes + 1 + (recordBytes > kSharedMost ? recordBytes - kSharedMost : 0);
    chooseTell();
  }

  bool canMatch() const { return test_.canMatch(); }

  // One stored page: its slot of sizeClass x 256 bytes. Checked as decoding
  // the page would check it, as far as the search reads it.
  void page(const std::uint8_t* slot, int sizeClass) {
    const std::size_t storedSize = getU16(slot + page::field::STORED_SIZE);
    const std::size_t expandedSize = getU16(slot + page::field::EXPANDED_SIZE);
    const std::size_t count = getU16(slot + page::field::RECORD_COUNT);
    const std::uint8_t level = slot[page::field::LEVEL];
    if (page::classOf(storedSize) != sizeClass || storedSize < page::kPageHeaderBytes) throw InternalError{ContainerDamage::WRONG_CLASS};
    const std::size_t fixed = page::kPageHeaderBytes + (level > 0 ? 4 * count : 0);
    if (fixed > storedSize || expandedSize < storedSize) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
    if (level > 0 || expandedSize < smallestDataPage_) return;
    if (!mayHoldText(slot + fixed, storedSize - fixed)) return;
    page::RunReader reader(slot + fixed, storedSize - fixed, expandedSize - fixed, storedSize < expandedSize);
    records(reader, count);
  }

  // One record image as the tree holds it (the steps through the tree).
  void image(std::uint32_t recordNumber, const std::uint8_t* bytes) {
    test_.begin();
    test_.add(bytes, recordLength_);
    if (test_.matched()) matches_.push_back(recordNumber);
  }

 private:
  static std::array<std::uint8_t, 256> makeFold(bool ignoreCase, const CharacterTables& tables) {
    if (ignoreCase) return tables.caseFold();
    std::array<std::uint8_t, 256> same{};
    for (int c = 0; c < 256; ++c) same[c] = static_cast<std::uint8_t>(c);
    return same;
  }

  // The cheap test of a page: every byte of its records appears among the
  // stored bytes (a run repeats a literal byte, a shared prefix repeats the
  // record before), so a page whose stored bytes hold no byte that folds to
  // the text's tell character cannot hold the text.
  bool mayHoldText(const std::uint8_t* body, std::size_t length) const {
    for (std::uint8_t variant : tellVariants_)
      if (std::memchr(body, variant, length)) return true;
    return false;
  }

  // The tell: the character of the text least likely in ornament text (by
  // the usual frequency of letters; blanks and digits are common, other
  // characters rare), and the bytes that fold to it.
  void chooseTell() {
    static constexpr std::string_view kCommonFirst = " etaoinshrdlcumwfgypbvkjxqz";
    auto rarity = [&](std::uint8_t c) -> std::size_t {
      if (c >= '0' && c <= '9') return kCommonFirst.find('m');
      const auto lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      const std::size_t at = kCommonFirst.find(lower);
      return at == std::string_view::npos ? kCommonFirst.size() : at;
    };
    const Bytes& needle = test_.needle();
    if (needle.empty()) return;
    std::uint8_t tell = needle[0];
    for (std::uint8_t c : needle)
      if (rarity(c) > rarity(tell)) tell = c;
    for (int b = 0; b < 256; ++b)
      if (fold_[b] == tell) tellVariants_.push_back(static_cast<std::uint8_t>(b));
  }

  // The page's records, prefix-coded one after the other (flags byte, the
  // lengths that changed, the bytes not shared with the record before). Only
  // the first bytes of each record are taken out of the stream, for its key
  // and for the prefix of the next; the test reads the rest where it lies.
  void records(page::RunReader& reader, std::size_t count) {
    std::uint8_t heads[2][kSharedMost];
    std::uint8_t* previous = heads[0];
    std::uint8_t* head = heads[1];
    std::size_t length = 0, keyLength = 0;
    for (std::size_t i = 0; i < count; ++i) {
      std::uint8_t flags = 0;
      pull(reader, &flags, 1);
      const std::size_t shared = flags & page::kSharedMask;
      if (i == 0 && ((flags & (page::kNewLength | page::kNewKeyLength)) != (page::kNewLength | page::kNewKeyLength) || shared != 0)) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
      const std::size_t previousLength = length;
      std::uint8_t field[2];
      if (flags & page::kNewLength) {
        pull(reader, field, 2);
        length = getU16(field);
      }
      if (flags & page::kNewKeyLength) {
        pull(reader, field, 2);
        keyLength = getU16(field);
      }
      if (keyLength > length || shared > length || (i > 0 && shared > previousLength)) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
      if (length - shared > reader.remaining()) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
      const std::size_t headLength = std::min(length, kSharedMost);
      std::memcpy(head, previous, shared);
      if (headLength > shared) pull(reader, head + shared, headLength - shared);
      const std::size_t rest = length - std::max(headLength, shared);
      if (RecordTest* test = dataRecord(head, length, keyLength)) {
        test->add(head + kDataKeyLength, headLength - kDataKeyLength);
        feed(reader, rest, test);
        if (test->matched()) matches_.push_back(getBigEndian32(head + RECORD_NUMBER_AT));
      } else {
        feed(reader, rest, nullptr);
      }
      std::swap(previous, head);
    }
    if (reader.remaining() != 0) throw InternalError{ContainerDamage::RECORDS_OVERRUN};
  }

  // The test, begun, when the record is one of the table's data records to
  // search; null otherwise. A data record of another length is damage, as a
  // step through the records would find it.
  RecordTest* dataRecord(const std::uint8_t* head, std::size_t length, std::size_t keyLength) {
    if (keyLength < dataPrefix_.size() || std::memcmp(head, dataPrefix_.data(), dataPrefix_.size()) != 0)
      return nullptr;
    if (keyLength != kDataKeyLength || length - keyLength != recordLength_)
      throw InternalError{RecordDamage::RECORD_LENGTH};
    if (getBigEndian32(head + RECORD_NUMBER_AT) <= after_) return nullptr;
    test_.begin();
    return &test_;
  }

  std::array<std::uint8_t, 256> fold_;
  RecordTest test_;
  Bytes dataPrefix_;
  std::size_t recordLength_;
  std::uint32_t after_;
  std::size_t smallestDataPage_ = 0;
  std::vector<std::uint8_t> tellVariants_;
  std::vector<std::uint32_t>& matches_;
};

}  // namespace

int findText(DataFile& file, const TextSearch& search, std::vector<std::uint32_t>* matches) {
  matches->clear();
  return file.readOperation([&] {
    Container& container = *file.container();
    const CharacterTables& tables = file.characterTables();
    const TableDeclaration& layout = file.declaration();
    const std::uint32_t table = file.tableNumber();
    Search scan(search, table, layout.recordLength, tables, *matches);
    if (!scan.canMatch()) return 0;
    if (!tables.oem && container.visitStoredPages([&](const std::uint8_t* slot, int sizeClass) {
          scan.page(slot, sizeClass);
        })) {
      // File order is not record order.
      std::sort(matches->begin(), matches->end());
      return 0;
    }
    // Through the tree, record by record, as NEXT steps.
    Bytes probe = dataRecordKey(table, search.after);
    Bytes image(layout.recordLength);
    while (const TreeRecord* record = container.peekFirstGreater(probe)) {
      if (!hasKindPrefix(record->key(), table, RecordKind::DATA)) break;
      if (record->keyLength != kDataKeyLength || record->payload().size() != layout.recordLength)
        throw InternalError{RecordDamage::RECORD_LENGTH};
      const std::uint32_t number = getBigEndian32(record->bytes.data() + 5);
      std::copy(record->payload().begin(), record->payload().end(), image.begin());
      if (tables.oem) convertRecordText(layout, image.data(), false);
      probe.assign(record->key().begin(), record->key().end());
      scan.image(number, image.data());
    }
    return 0;
  });
}

}  // namespace glimra::datafile
