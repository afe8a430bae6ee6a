// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafile/file_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>

#include "datafile/container.h"
#include "datafile/definition_stream.h"
#include "datafile/file_errors.h"
#include "datafile/key_encoding.h"
#include "datafile/locks.h"
#include "datafile/memo_pieces.h"
#include "datafile/page_codec.h"
#include "datafile/record_kinds.h"
#include "datafile/table_catalog.h"

namespace glimra::datafile {
namespace {

constexpr std::size_t MAX_PROBLEMS = 200;  // enough to see what is wrong

std::string hex(ByteView bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < 24; ++i) {
    if (i) out += ' ';
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  if (bytes.size() > 24) out += " ...";
  return out;
}

std::string hex32(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

// The last record number from which another one can still be issued: the
// numbers from FE000000 on are reserved (the table-name and transaction
// records begin with those bytes).
constexpr std::uint32_t kLastUsableRecordNumber = 0xFDFFFFFFu;

// The header against the file's bytes: its own offset and size, an end of
// data and a pending area inside the file, regions in order holding whole
// pages that the header can address, a root exactly when some region holds a
// page, and room for another record number. Returns whether it names an
// unfinished write.
bool checkHeaderFields(const FileHeader& h, std::uint64_t fileSize, const std::function<void(std::string)>& problem) {
  if (h.headerOffset != 0) problem("header: it gives its own offset as " + std::to_string(h.headerOffset) + ", not 0");
  if (h.headerSize != page::kHeaderBytes)
    problem("header: it gives its size as " + std::to_string(h.headerSize) + " bytes, not 512");
  if (h.lastRecordNumber >= kLastUsableRecordNumber)
    problem("header: its last record number " + hex32(h.lastRecordNumber) +
            " leaves no room for another record (the numbers from FE000000 on are reserved)");
  // A pending area whose copies read back is followed by the container (its
  // header is the one seen here). One that does not read back is dropped by
  // the next write, which keeps the last committed state.
  const bool interruptedWrite = h.dataEnd != h.pendingEnd;
  const std::string fileBytes = " lies beyond the end of the file (" + std::to_string(fileSize) + " bytes)";
  if (h.dataEnd > fileSize) problem("header: dataEnd " + std::to_string(h.dataEnd) + fileBytes);
  if (h.pendingEnd > fileSize) problem("header: pendingEnd " + std::to_string(h.pendingEnd) + fileBytes);
  if (interruptedWrite && (h.pendingEnd < h.dataEnd || h.dataEnd < 512 || (h.dataEnd - 512) % 256 != 0))
    problem("header: the unfinished write it names (" + std::to_string(h.dataEnd) + " to " +
            std::to_string(h.pendingEnd) + ") cannot be one");
  std::uint32_t previousEnd = 0;
  std::uint32_t highestEnd = 0;
  for (int c = 1; c < 60; ++c) {
    const std::uint32_t start = h.regionStart[c], end = h.regionEnd[c];
    if (end < start || (end - start) % c != 0)
      problem("region " + std::to_string(c) + ": bounds " + std::to_string(start) + ".." + std::to_string(end) +
              " do not hold whole pages");
    if (start < previousEnd) problem("region " + std::to_string(c) + " starts below the end of the region before it");
    if (end > (0xFFFFFFFFu - page::kHeaderBytes) / page::kUnit)
      problem("region " + std::to_string(c) + " ends beyond what the header can address");
    previousEnd = std::max(previousEnd, end);
    if (end > start) highestEnd = end;
  }
  // A commit cut short after its new header may leave dataEnd above the end
  // of the data (the stale bytes go at the next commit); never below it.
  const std::uint64_t end = 512 + std::uint64_t{highestEnd} * 256;
  if (h.dataEnd < end)
    problem("header: dataEnd " + std::to_string(h.dataEnd) + " lies below the end of the data (" +
            std::to_string(end) + ")");
  if (end > fileSize)
    problem("header: its regions end at " + std::to_string(end) + ", beyond the end of the file (" +
            std::to_string(fileSize) + " bytes)");
  if (h.rootPage != -1 && highestEnd == 0)
    problem("header: it names root page " + std::to_string(h.rootPage) + ", yet no region holds a page");
  if (h.rootPage == -1 && highestEnd != 0) problem("header: no root, yet pages exist");
  return interruptedWrite;
}

// What is wrong with a header the container refuses to open from (a file
// too short for one, other magic bytes, impossible regions).
void describeUnusableHeader(OsFile& file, std::uint64_t fileSize, std::vector<std::string>& problems) {
  if (fileSize < page::kHeaderBytes) {
    problems.push_back("header: the file is " + std::to_string(fileSize) +
                       " bytes long, too short for the 512 bytes of a data file's header");
    return;
  }
  std::uint8_t bytes[page::kHeaderBytes];
  std::size_t got = 0;
  if (int error = file.readAt(0, bytes, sizeof bytes, &got); error || got != sizeof bytes) {
    problems.push_back("header: it cannot be read: " + osErrorText(error ? error : EIO));
    return;
  }
  if (!page::hasMagic(bytes)) {
    problems.push_back("header: its magic bytes are " + hex(ByteView(bytes + 14, 4)) +
                       ", not those of a data file (74 4F 70 53)");
    return;
  }
  const std::size_t before = problems.size();
  checkHeaderFields(page::decodeHeader(bytes), fileSize, [&](std::string text) { problems.push_back(std::move(text)); });
  if (problems.size() == before) problems.push_back("header: its region table is impossible");
}

// What the tree check needs of a page, without the records' payloads: the
// separators of a non-leaf page, the first and last key of a leaf.
struct PageNode {
  int level = 0;
  std::size_t recordCount = 0;
  std::vector<Bytes> separators;
  std::vector<std::int32_t> children;
  Bytes firstKey, lastKey;
};

class Checker {
 public:
  Checker(Container& container, std::uint64_t fileSize, const CheckPresentation& presentation,
          FileCheckReport& report)
      : container_(container), fileSize_(fileSize), presentation_(presentation), report_(report) {}

  void run() {
    checkHeader();
    if (!report_.problems.empty()) return;  // pages found through a false header prove nothing
    checkPages();
    checkPageOffsets();
    if (report_.problems.size() >= MAX_PROBLEMS) return;
    checkRecords();
  }

 private:
  void problem(std::string text) {
    if (report_.problems.size() < MAX_PROBLEMS) report_.problems.push_back(std::move(text));
  }
  // Damage of a key alone (entries or its counter): rebuilding the key from
  // its records mends it.
  void keyProblem(std::string text) {
    if (report_.problems.size() >= MAX_PROBLEMS) return;
    report_.problems.push_back(std::move(text));
    ++report_.keyProblems;
  }

  // --- The container --------------------------------------------------------

  void checkHeader() {
    if (fileSize_ == 0) return;  // a new file: empty, no header yet
    report_.interruptedWrite =
        checkHeaderFields(container_.header(), fileSize_, [&](std::string text) { problem(std::move(text)); });
  }

  void checkPages() {
    const FileHeader& h = container_.header();
    try {
      container_.walkPages([&](const Container::PageInfo& info) {
        if (pages_.count(info.reference)) throw InternalError{0};  // a page reached twice: a cycle
        PageNode node;
        node.level = info.level;
        node.recordCount = info.records.size();
        node.children = info.children;
        if (!info.records.empty()) {
          node.firstKey.assign(info.records.front().key().begin(), info.records.front().key().end());
          node.lastKey.assign(info.records.back().key().begin(), info.records.back().key().end());
        }
        if (info.level > 0)
          for (const TreeRecord& r : info.records) node.separators.emplace_back(r.key().begin(), r.key().end());
        checkPage(info);
        pages_.emplace(info.reference, std::move(node));
      });
    } catch (const InternalError& e) {
      if (e.number == 0)
        problem("tree: a page is reached twice");
      else
        problem("tree: reading the pages failed with internal error " + std::to_string(e.number));
      return;
    } catch (const OsFailure& e) {
      problem("tree: reading the pages failed: " + osErrorText(e.code));
      return;
    }
    report_.pages = pages_.size();
    // Every slot of every region holds a page of the tree.
    std::size_t slots = 0;
    for (int c = 1; c < 60; ++c)
      if (h.regionEnd[c] > h.regionStart[c]) slots += (h.regionEnd[c] - h.regionStart[c]) / c;
    if (slots != pages_.size())
      problem("regions: " + std::to_string(slots) + " page slots but " + std::to_string(pages_.size()) +
              " pages in the tree");
    if (h.rootPage == -1) return;
    std::optional<Bytes> lastKey;
    checkSubtree(h.rootPage, std::nullopt, -1, lastKey);
  }

  // Each page names its own file offset in its first bytes: recovery copies a
  // pending copy home by it, and a page that names another offset was written
  // to the wrong place or changed there. Read from the stored slots, as the
  // decoded pages do not keep it; a file with an unfinished write is read
  // through its pending copies, whose offsets name their homes, so it is
  // left out.
  void checkPageOffsets() {
    const FileHeader& h = container_.header();
    int currentClass = 0;
    std::uint32_t unit = 0;
    std::size_t wrong = 0;
    container_.visitStoredPages([&](const std::uint8_t* slot, int sizeClass) {
      if (sizeClass != currentClass) {
        currentClass = sizeClass;
        unit = h.regionStart[sizeClass];
      }
      const std::uint64_t own = page::offsetOf(static_cast<std::int32_t>(unit));
      const std::uint32_t named = getU32(slot);
      if (named != own && ++wrong <= 3)
        problem("page " + std::to_string(unit) + ": it names offset " + std::to_string(named) + " as its own, it lies at " +
                std::to_string(own));
      unit += static_cast<std::uint32_t>(sizeClass);
    });
    if (wrong > 3) problem("pages: " + std::to_string(wrong) + " name another offset as their own in all");
  }

  void checkPage(const Container::PageInfo& info) {
    const std::string where = "page " + std::to_string(info.reference) + ": ";
    const FileHeader& h = container_.header();
    const int c = info.sizeClass;
    if (info.reference < 0) {
      problem(where + "has no place in the file");
      return;
    }
    if (c < 1 || c > 59) {
      problem(where + "lies outside every region");
      return;
    }
    if ((static_cast<std::uint32_t>(info.reference) - h.regionStart[c]) % c != 0)
      problem(where + "does not start on a slot of region " + std::to_string(c));
    if ((info.storedSize + 255) / 256 != c)
      problem(where + "stored size " + std::to_string(info.storedSize) + " does not fit class " + std::to_string(c));
    if (info.records.empty()) problem(where + "holds no records");
    if (info.level > 0 && info.children.size() != info.records.size())
      problem(where + "has " + std::to_string(info.children.size()) + " children for " +
              std::to_string(info.records.size()) + " separators");
    std::size_t bound = 13;
    for (const TreeRecord& r : info.records) {
      bound += r.bytes.size() + 5 + (info.level > 0 ? 4 : 0);
      if (r.bytes.size() > MAX_RECORD_BYTES) problem(where + "a record of " + std::to_string(r.bytes.size()) + " bytes");
      if (r.keyLength > r.bytes.size()) problem(where + "a key longer than its record");
      if (info.level > 0 && r.keyLength != r.bytes.size()) problem(where + "a separator carries a payload");
    }
    if (info.sizeBound != bound)
      problem(where + "size bound " + std::to_string(info.sizeBound) + ", its records need " + std::to_string(bound));
    if (info.expandedSize > info.sizeBound) problem(where + "expanded size exceeds the size bound");
    if (!info.compressed && info.storedSize != info.expandedSize) problem(where + "plain page with two sizes");
    for (std::size_t i = 1; i < info.records.size(); ++i)
      if (compareKeys(info.records[i - 1].key(), info.records[i].key()) >= 0)
        problem(where + "records out of order at " + std::to_string(i) + ": " + hex(info.records[i].key()));
  }

  // Returns the first key of the subtree. lastKey carries the last leaf key
  // seen, so the order is checked across pages too.
  std::optional<Bytes> checkSubtree(std::int32_t ref, std::optional<Bytes> separator, int expectedLevel,
                                    std::optional<Bytes>& lastKey) {
    const auto it = pages_.find(ref);
    if (it == pages_.end()) return std::nullopt;
    const PageNode& node = it->second;
    const std::string where = "page " + std::to_string(ref) + ": ";
    if (expectedLevel >= 0 && node.level != expectedLevel) {
      problem(where + "level " + std::to_string(node.level) + " where " + std::to_string(expectedLevel) + " belongs");
      return std::nullopt;  // levels must fall by one: below here the shape is unknown
    }
    if (node.recordCount == 0) return std::nullopt;
    if (separator && *separator != node.firstKey)
      problem(where + "its separator " + hex(*separator) + " is not its first key " + hex(node.firstKey));
    if (node.level == 0) {
      // Order inside the page was checked with the page; across pages here.
      if (lastKey && compareKeys(*lastKey, node.firstKey) >= 0)
        problem(where + "key " + hex(node.firstKey) + " is not above the key before it");
      lastKey = node.lastKey;
      report_.treeRecords += node.recordCount;
    } else {
      for (std::size_t i = 0; i < node.separators.size() && i < node.children.size(); ++i)
        checkSubtree(node.children[i], node.separators[i], node.level - 1, lastKey);
    }
    return node.firstKey;
  }

  // --- The records ----------------------------------------------------------

  struct Table {
    std::string name;
    std::uint32_t number = 0;
    std::optional<TableDeclaration> layout;
    CharacterTables tables = CharacterTables::defaults();
    std::map<std::uint8_t, Counter> counters;
    std::set<std::uint32_t> records;
    std::vector<std::vector<Bytes>> expected;  // per key: expected entries (key + payload)
    std::vector<std::vector<Bytes>> stored;    // per key: stored entries
    // Per record and memo: the stored size of each piece by piece number,
    // and for a BLOB the length its first piece gives.
    struct MemoPieces {
      std::map<std::size_t, std::size_t> sizes;
      std::optional<std::uint32_t> blobLength;
    };
    std::map<std::pair<std::uint32_t, std::size_t>, MemoPieces> memos;
  };

  // Every record of the tree, in order: each one must belong to a table and
  // be of a known kind with the right lengths.
  void checkRecords() {
    std::map<std::uint32_t, Table> tables;
    for (const TableEntry& entry : listTables(container_)) {
      Table t;
      t.name = entry.name;
      t.number = entry.number;
      if (tables.count(entry.number)) problem("table " + entry.name + ": its number is used by another table");
      tables.emplace(entry.number, std::move(t));
    }
    report_.tables = tables.size();
    const std::uint32_t last = container_.lastRecordNumber();
    for (auto& [number, t] : tables) {
      if (number > last) problem("table " + t.name + ": number " + std::to_string(number) + " was never issued");
      const auto layout = decodeDefinition(readDefinitionStream(container_, number));
      if (!layout) {
        problem("table " + t.name + ": its definition cannot be read");
      } else if (int invalid = validateDeclaration(*layout)) {
        problem("table " + t.name + ": its definition is unusable (error " + std::to_string(invalid) + ")");
      } else {
        t.layout = layout;
        t.expected.resize(layout->keys.size());
        t.stored.resize(layout->keys.size());
      }
      const auto tables = readCharacterTables(container_, number);
      if (!tables)
        problem("table " + t.name + ": character tables missing or short");
      else
        t.tables = *tables;
    }

    TreeRecord record;
    bool more = container_.findFirst(&record);
    while (more) {
      checkRecord(record, tables, last);
      if (report_.problems.size() >= MAX_PROBLEMS) return;
      const Bytes key(record.key().begin(), record.key().end());
      more = container_.findFirstGreater(key, &record);
    }

    for (auto& [number, t] : tables) checkTable(t);
    // Listed by record, so that one ornament's keys stand together.
    std::stable_sort(report_.disagreements.begin(), report_.disagreements.end(),
                     [](const KeyDisagreement& a, const KeyDisagreement& b) {
                       return std::tie(a.table, a.recordNumber) < std::tie(b.table, b.recordNumber);
                     });
  }

  void checkRecord(const TreeRecord& r, std::map<std::uint32_t, Table>& tables, std::uint32_t last) {
    const ByteView key = r.key();
    if (key.empty()) {
      problem("a record with an empty key");
      return;
    }
    if (key[0] == RecordKind::TABLE_NAME) {
      if (r.payload().size() != 4) problem("table name record " + hex(key) + ": payload of " + std::to_string(r.payload().size()) + " bytes");
      return;
    }
    if (key.size() == 1 && key[0] == RecordKind::TRANSACTION_MARKER) return;
    if (key.size() < 5) {
      problem("record " + hex(key) + ": key too short for a table record");
      return;
    }
    const std::uint32_t number = getBigEndian32(key.data());
    const auto it = tables.find(number);
    if (it == tables.end()) {
      problem("record " + hex(key) + ": belongs to no table");
      return;
    }
    Table& t = it->second;
    const std::string where = "table " + t.name + ": record " + hex(key) + ": ";
    const std::uint8_t kind = key[4];
    const ByteView payload = r.payload();
    switch (kind) {
      case RecordKind::DATA: {
        if (key.size() != DATA_KEY_BYTES) return problem(where + "data record key of " + std::to_string(key.size()) + " bytes");
        const std::uint32_t recordNumber = getBigEndian32(key.data() + 5);
        if (recordNumber == 0 || recordNumber > last) problem(where + "record number was never issued");
        if (!t.layout) return;
        if (payload.size() != t.layout->recordLength)
          return problem(where + "image of " + std::to_string(payload.size()) + " bytes, the record has " +
                         std::to_string(t.layout->recordLength));
        t.records.insert(recordNumber);
        ++report_.dataRecords;
        expectEntries(t, recordNumber, payload);
        return;
      }
      case RecordKind::COUNTER: {
        if (key.size() != 6) return problem(where + "counter key of " + std::to_string(key.size()) + " bytes");
        const auto counter = Counter::parse(payload);
        if (!counter || payload.size() != 8) return problem(where + "counter payload of " + std::to_string(payload.size()) + " bytes");
        if (t.layout && key[5] != RecordKind::DATA && key[5] >= t.layout->keys.size())
          return problem(where + "counter of a key the table does not have");
        t.counters[key[5]] = *counter;
        return;
      }
      case RecordKind::DEFINITION:
        if (key.size() != 7) problem(where + "definition piece key of " + std::to_string(key.size()) + " bytes");
        if (payload.size() > DEFINITION_PIECE_SIZE) problem(where + "definition piece over 512 bytes");
        return;
      case RecordKind::CHARACTER_TABLES:
        if (key.size() != 6 || key[5] != 0x01) problem(where + "character tables under another key");
        if (payload.size() != 1 + CharacterTables::STORED_SIZE)
          problem(where + "character tables of " + std::to_string(payload.size()) + " bytes");
        return;
      case RecordKind::MEMO: {
        if (key.size() != 12) return problem(where + "memo piece key of " + std::to_string(key.size()) + " bytes");
        if (!t.layout) return;
        const std::uint32_t recordNumber = getBigEndian32(key.data() + 5);
        const std::size_t memo = key[9];
        const std::size_t piece = (key[10] << 8) | key[11];
        if (memo >= t.layout->memos.size()) return problem(where + "piece of a memo the table does not have");
        // Data records (kind 0xF3) sort before memo pieces (0xFC): the
        // record, if it exists, has been seen.
        if (!t.records.count(recordNumber)) problem(where + "memo piece of a record that does not exist");
        const bool blob = (t.layout->memos[memo].flags & MEMO_BLOB) != 0;
        const std::size_t limit = MEMO_PIECE_SIZE + (blob && piece == 0 ? 4 : 0);
        if (payload.empty() || payload.size() > limit)
          problem(where + "memo piece of " + std::to_string(payload.size()) + " bytes");
        Table::MemoPieces& pieces = t.memos[{recordNumber, memo}];
        pieces.sizes[piece] = payload.size();
        if (blob && piece == 0 && payload.size() >= 4) pieces.blobLength = getU32(payload.data());
        return;
      }
      default:
        break;
    }
    if (kind > RecordKind::LAST_KEY) return problem(where + "unknown record kind");
    if (!t.layout) return;
    if (kind >= t.layout->keys.size()) return problem(where + "entry of a key the table does not have");
    const KeyDeclaration& k = t.layout->keys[kind];
    const std::size_t length = 5 + keyValueLength(*t.layout, k);
    const bool dup = (k.flags & KeyFlag::DUP) != 0;
    if (key.size() != length + (dup ? 4 : 0) || payload.size() != (dup ? 0 : 4))
      return problem(where + "entry of the wrong length for key " + k.name);
    Bytes whole(r.bytes.begin(), r.bytes.end());
    whole.push_back(static_cast<std::uint8_t>(r.keyLength >> 8));  // the key length is part of the entry
    whole.push_back(static_cast<std::uint8_t>(r.keyLength));
    t.stored[kind].push_back(std::move(whole));
    ++report_.keyEntries;
  }

  void expectEntries(Table& t, std::uint32_t recordNumber, ByteView stored) {
    Bytes image(stored.begin(), stored.end());
    if (t.tables.oem) convertRecordText(*t.layout, image.data(), false);
    const KeyEncoder encoder(*t.layout, t.tables);
    for (std::size_t k = 0; k < t.layout->keys.size(); ++k) {
      if (t.layout->keys[k].flags & KeyFlag::DYNAMIC) continue;
      const auto entry = encoder.entry(t.number, k, image.data(), recordNumber);
      if (!entry) continue;
      Bytes whole(entry->bytes.begin(), entry->bytes.end());
      whole.push_back(static_cast<std::uint8_t>(entry->keyLength >> 8));
      whole.push_back(static_cast<std::uint8_t>(entry->keyLength));
      t.expected[k].push_back(std::move(whole));
    }
  }

  // Per table: counters, and each key against the entries its records call for.
  void checkTable(Table& t) {
    report_.tableList.push_back({t.name, t.number, t.layout, t.records.size()});
    const std::string where = "table " + t.name + ": ";
    const auto data = t.counters.find(RecordKind::DATA);
    if (data == t.counters.end()) {
      problem(where + "no counter for its records");
    } else if (data->second.count != t.records.size()) {
      problem(where + "counter says " + std::to_string(data->second.count) + " records, the table holds " +
              std::to_string(t.records.size()));
    }
    if (!t.layout) return;
    for (const auto& [owner, pieces] : t.memos) checkMemoPieces(t, owner.first, owner.second, pieces);
    for (std::size_t k = 0; k < t.layout->keys.size(); ++k) {
      const KeyDeclaration& key = t.layout->keys[k];
      const std::string keyWhere = where + "key " + (key.name.empty() ? std::to_string(k) : key.name) + ": ";
      const auto counter = t.counters.find(static_cast<std::uint8_t>(k));
      if (counter == t.counters.end()) {
        keyProblem(keyWhere + "no counter");
        continue;
      }
      auto& stored = t.stored[k];
      auto& expected = t.expected[k];
      if (key.flags & KeyFlag::DYNAMIC) {
        if (!stored.empty()) keyProblem(keyWhere + "a dynamic index has entries in the file");
        continue;
      }
      if (counter->second.count != stored.size())
        keyProblem(keyWhere + "counter says " + std::to_string(counter->second.count) + " entries, the key holds " +
                std::to_string(stored.size()));
      std::sort(expected.begin(), expected.end());
      std::sort(stored.begin(), stored.end());
      const std::uint32_t mark = counter->second.mark;
      std::vector<Bytes> missing, extra;
      std::set_difference(expected.begin(), expected.end(), stored.begin(), stored.end(), std::back_inserter(missing));
      std::set_difference(stored.begin(), stored.end(), expected.begin(), expected.end(), std::back_inserter(extra));
      // A key being rebuilt (mark > 0) may lack the entries of records from
      // the mark on; a static index may lack any that it was never built with.
      const bool staticIndex = (key.flags & KeyFlag::INDEX) != 0;
      const std::set<std::uint32_t> disagreeing =
          staticIndex ? std::set<std::uint32_t>{} : findDisagreements(t, k, expected, missing, extra, mark);
      std::size_t reallyMissing = 0;
      for (const Bytes& e : missing) {
        const std::uint32_t recordNumber = entryRecord(e);
        if ((mark != 0 && recordNumber >= mark) || staticIndex || disagreeing.count(recordNumber)) continue;
        if (++reallyMissing <= 3) keyProblem(keyWhere + "no entry for record " + std::to_string(recordNumber));
      }
      if (reallyMissing > 3) keyProblem(keyWhere + std::to_string(reallyMissing) + " entries missing in all");
      std::size_t stray = 0;
      std::set<std::uint32_t> paired;  // the first entry of a disagreeing record is its pair; more are stray
      for (const Bytes& e : extra) {
        const std::uint32_t recordNumber = entryRecord(e);
        if (disagreeing.count(recordNumber) && paired.insert(recordNumber).second) continue;
        if (++stray <= 3)
          keyProblem(keyWhere + "entry " + hex(ByteView(e.data(), e.size() - 2)) + " matches no record");
      }
      if (stray > 3) keyProblem(keyWhere + std::to_string(stray) + " stray entries in all");
    }
  }

  // The record number a whole entry (its bytes and the 2 key-length bytes)
  // carries: the last 4 bytes of its key or its payload.
  static std::uint32_t entryRecord(const Bytes& whole) { return getBigEndian32(whole.data() + whole.size() - 2 - 4); }

  // The records of key k whose entry holds another value than the record: a
  // stored entry that matches no record but names an existing record whose
  // own entry is missing (or which the key leaves out); and, in a key that
  // leaves out blank values, a record whose entry is missing with no other
  // entry naming it (its value may have been blank). Each becomes a
  // disagreement, listed with both values; the entry of a record that has its
  // right entry as well is merely stray, and a missing entry of a key that
  // holds every record was merely lost. Returns the records found.
  std::set<std::uint32_t> findDisagreements(const Table& t, std::size_t k, const std::vector<Bytes>& expected,
                                            const std::vector<Bytes>& missing, const std::vector<Bytes>& extra,
                                            std::uint32_t mark) {
    std::set<std::uint32_t> found;
    std::set<std::uint32_t> expecting, lacking;
    for (const Bytes& e : expected) expecting.insert(entryRecord(e));
    for (const Bytes& e : missing) lacking.insert(entryRecord(e));
    for (const Bytes& e : extra) {
      const std::uint32_t recordNumber = entryRecord(e);
      if (found.count(recordNumber) || !t.records.count(recordNumber)) continue;
      if (expecting.count(recordNumber) && !lacking.count(recordNumber)) continue;  // its right entry is there
      found.insert(recordNumber);
      reportDisagreement(t, k, recordNumber, &e);
    }
    if (!(t.layout->keys[k].flags & KeyFlag::OPT)) return found;
    for (const Bytes& e : missing) {
      const std::uint32_t recordNumber = entryRecord(e);
      if (found.count(recordNumber) || (mark != 0 && recordNumber >= mark)) continue;
      found.insert(recordNumber);
      reportDisagreement(t, k, recordNumber, nullptr);
    }
    return found;
  }

  // entry: the stored entry naming the record; null when the key holds none.
  void reportDisagreement(const Table& t, std::size_t k, std::uint32_t recordNumber, const Bytes* entry) {
    const KeyDeclaration& key = t.layout->keys[k];
    KeyDisagreement d;
    d.table = t.name;
    d.recordNumber = recordNumber;
    d.keyNumber = k;
    d.key = key.name.empty() ? std::to_string(k) : key.name;
    TreeRecord stored;
    Bytes image(t.layout->recordLength, 0);
    if (container_.find(dataRecordKey(t.number, recordNumber), &stored) &&
        stored.payload().size() == t.layout->recordLength) {
      std::copy(stored.payload().begin(), stored.payload().end(), image.begin());
      if (t.tables.oem) convertRecordText(*t.layout, image.data(), false);
      if (presentation_.recordName) d.recordName = presentation_.recordName(t.name, *t.layout, image);
    }
    // The entry's components decoded into a copy of the image, so that both
    // values are read from the same fields the same way.
    Bytes fromEntry = image;
    std::size_t at = KIND_PREFIX_BYTES;
    for (const KeyComponent& c : key.components) {
      const FieldDeclaration& f = t.layout->fields[c.field];
      if (entry && at + f.size <= entry->size())
        decodeComponent(f.type, entry->data() + at, f.size, c.descending, t.tables, fromEntry.data() + f.offset);
      at += f.size;
    }
    d.recordValue = keyFieldsText(*t.layout, key, image);
    d.entryValue = entry ? keyFieldsText(*t.layout, key, fromEntry) : std::string();
    d.noEntry = entry == nullptr;
    std::string text = "table " + t.name + ": key " + d.key + ": record " + std::to_string(recordNumber);
    if (!d.recordName.empty()) text += " (" + d.recordName + ")";
    text += " holds \"" + d.recordValue + "\", " +
            (entry ? "its key entry holds \"" + d.entryValue + "\"" : std::string("the key holds no entry for it (as for a blank value)")) +
            ": one of them was changed, and which is right cannot be told";
    if (report_.disagreements.size() < MAX_PROBLEMS) report_.disagreements.push_back(std::move(d));
    keyProblem(std::move(text));
  }

  // The values of a key's fields in a record image, as text for a user.
  std::string keyFieldsText(const TableDeclaration& layout, const KeyDeclaration& key, const Bytes& image) const {
    std::string text;
    for (std::size_t i = 0; i < key.components.size(); ++i)
      text += (i ? ", " : "") + fieldText(layout, key.components[i].field, image);
    return text;
  }

  std::string fieldText(const TableDeclaration& layout, std::size_t field, const Bytes& image) const {
    const FieldDeclaration& f = layout.fields[field];
    const std::uint8_t* at = image.data() + f.offset;
    auto shown = [&](std::string_view stored) {
      const std::string clipped(stored.substr(0, stored.find_last_not_of(' ') + 1));
      return presentation_.displayText ? presentation_.displayText(clipped) : clipped;
    };
    auto number = [&](auto zero) {
      decltype(zero) value{};
      std::memcpy(&value, at, std::min(sizeof value, std::size_t{f.size}));
      return std::to_string(value);
    };
    switch (f.type) {
      case FieldType::STRING:
        return shown(std::string_view(reinterpret_cast<const char*>(at), f.size));
      case FieldType::CSTRING: {
        const auto* zero = static_cast<const std::uint8_t*>(std::memchr(at, 0, f.size));
        return shown(std::string_view(reinterpret_cast<const char*>(at), zero ? std::size_t(zero - at) : f.size));
      }
      case FieldType::PSTRING:
        return shown(std::string_view(reinterpret_cast<const char*>(at + 1), std::min<std::size_t>(at[0], f.size - 1)));
      case FieldType::BYTE: return std::to_string(at[0]);
      case FieldType::SHORT: return number(std::int16_t{});
      case FieldType::USHORT: return number(std::uint16_t{});
      case FieldType::LONG: return number(std::int32_t{});
      case FieldType::ULONG:
      case FieldType::DATE:
      case FieldType::TIME: return number(std::uint32_t{});
      case FieldType::GROUP: {
        // A group shows through the fields laid over it, when it has any.
        std::string members;
        for (std::size_t i = field + 1; i < layout.fields.size() && layout.fields[i].overlay; ++i)
          if (layout.fields[i].offset >= f.offset && layout.fields[i].offset < f.offset + f.size)
            members += (members.empty() ? "" : " ") + fieldText(layout, i, image);
        if (!members.empty()) return members;
        return shown(std::string_view(reinterpret_cast<const char*>(at), f.size));
      }
      default:
        return hex(ByteView(at, f.size));
    }
  }

  // A memo's pieces against its length: every piece up to the last one it
  // needs, each as long as the cut makes it, and none beyond. A BLOB's first
  // piece gives the length; a text memo's pieces run full up to a shorter
  // last one and together stay within its declared size.
  void checkMemoPieces(const Table& t, std::uint32_t record, std::size_t memo, const Table::MemoPieces& pieces) {
    const MemoDeclaration& declared = t.layout->memos[memo];
    const std::string where = "table " + t.name + ": memo " + declared.name + " of record " + std::to_string(record) + ": ";
    const bool blob = (declared.flags & MEMO_BLOB) != 0;
    std::size_t needed = 0;                       // pieces the memo's length calls for
    std::function<std::size_t(std::size_t)> size;  // the size piece i must have
    if (blob) {
      if (!pieces.blobLength) return problem(where + "its first piece, which holds its length, is missing or short");
      const std::uint64_t length = *pieces.blobLength;
      if (length > MAX_BLOB_BYTES)
        problem(where + "its length " + std::to_string(length) + " is more than a memo can hold");
      needed = length <= MEMO_PIECE_SIZE ? 1 : 1 + (length - MEMO_PIECE_SIZE + MEMO_PIECE_SIZE - 1) / MEMO_PIECE_SIZE;
      size = [length](std::size_t i) -> std::size_t {
        if (i == 0) return 4 + std::size_t(std::min<std::uint64_t>(length, MEMO_PIECE_SIZE));
        return std::size_t(std::min<std::uint64_t>(MEMO_PIECE_SIZE, length - i * MEMO_PIECE_SIZE));
      };
    } else {
      needed = pieces.sizes.rbegin()->first + 1;
      const std::size_t last = needed - 1;
      size = [&pieces, last](std::size_t i) { return i == last ? pieces.sizes.rbegin()->second : MEMO_PIECE_SIZE; };
      const std::uint64_t length = std::uint64_t(last) * MEMO_PIECE_SIZE + pieces.sizes.rbegin()->second;
      if (length > declared.size)
        problem(where + "its pieces hold " + std::to_string(length) + " bytes, its declared size is " +
                std::to_string(declared.size));
    }
    std::size_t missing = 0;
    for (std::size_t i = 0; i < needed && i < MAX_MEMO_PIECES; ++i) {
      const auto it = pieces.sizes.find(i);
      if (it == pieces.sizes.end()) {
        if (++missing <= 3) problem(where + "piece " + std::to_string(i) + " is missing");
      } else if (it->second != size(i)) {
        problem(where + "piece " + std::to_string(i) + " holds " + std::to_string(it->second) + " bytes, " +
                std::to_string(size(i)) + " belong there");
      }
    }
    if (missing > 3) problem(where + std::to_string(missing) + " pieces missing in all");
    std::size_t extra = 0;
    for (auto it = pieces.sizes.lower_bound(needed); it != pieces.sizes.end(); ++it)
      if (++extra <= 3) problem(where + "piece " + std::to_string(it->first) + " lies past the end of the memo");
    if (extra > 3) problem(where + std::to_string(extra) + " pieces past its end in all");
  }

  Container& container_;
  std::uint64_t fileSize_;
  const CheckPresentation& presentation_;
  FileCheckReport& report_;
  std::map<std::int32_t, PageNode> pages_;
};

// A reader slot without waiting: every slot is tried once, so only a writer
// that holds them all (while it commits) makes this fail.
bool takeReaderSlotAtOnce(FileLocks& locks) {
  for (std::uint32_t tries = 0; tries < lock_bytes::kReaderSlots; ++tries)
    if (locks.take(kReaderSlot, 0, false)) return true;
  return false;
}

}  // namespace

std::string FileCheckReport::summary() const {
  std::ostringstream out;
  if (openError) {
    out << "cannot open: error " << openError;
  } else if (!problems.empty()) {
    out << problems.size() << (problems.size() >= MAX_PROBLEMS ? "+" : "") << " problem"
        << (problems.size() == 1 ? "" : "s") << " found";
    if (!disagreements.empty())
      out << " (" << disagreements.size() << " where a key entry and its record disagree)";
  } else {
    out << "sound: " << tables << " table" << (tables == 1 ? "" : "s") << ", " << dataRecords << " records, "
        << keyEntries << " key entries, " << treeRecords << " tree records in " << pages << " pages";
    if (interruptedWrite) out << " (an unfinished write will be undone by the next write)";
  }
  if (waitedForWriter) out << " (waited for another program to finish its commit)";
  if (nearAddressableEnd)
    out << "; its data ends at " << dataEnd << " bytes, within 5 % of the " << kAddressableFileEnd
        << " bytes its header can address: later writes will be refused";
  return out.str();
}

namespace {

// Runs the checker, turning a fault it did not expect into a problem.
void runChecker(Container& container, std::uint64_t fileSize, const CheckPresentation& presentation,
                FileCheckReport& report) {
  report.dataEnd = std::max<std::uint64_t>(container.endOfData(), container.header().pendingEnd);
  report.nearAddressableEnd = report.dataEnd * 20 >= kAddressableFileEnd * 19;
  try {
    Checker(container, fileSize, presentation, report).run();
  } catch (const InternalError& e) {
    report.problems.push_back("internal error " + std::to_string(e.number) + " (" + DATA_CORRUPTION_TEXT + ")");
  } catch (const OsFailure& e) {
    report.problems.push_back("read failed: " + osErrorText(e.code));
  } catch (const std::bad_alloc&) {
    report.problems.push_back("out of memory while checking");
  }
}

}  // namespace

FileCheckReport checkContainer(Container& container, const CheckPresentation& presentation) {
  FileCheckReport report;
  try {
    runChecker(container, container.fileBytes(), presentation, report);
  } catch (const OsFailure& e) {
    report.problems.push_back("read failed: " + osErrorText(e.code));
  }
  return report;
}

FileCheckReport checkDataFile(FileSystem& fileSystem, const std::string& path, const CheckPresentation& presentation) {
  FileCheckReport report;
  if (!fileSystem.exists(path)) {
    report.openError = FileError::FILE_NOT_FOUND;
    return report;
  }
  int error = 0;
  std::unique_ptr<OsFile> file = fileSystem.open(path, false, false, &error);
  if (!file) {
    report.openError = error == ENOENT ? FileError::FILE_NOT_FOUND : FileError::ACCESS_DENIED;
    report.osError = error;
    return report;
  }
  try {
    // The whole walk reads one committed state: a reader slot is held from
    // the header to the last key entry, so no writer commits meanwhile (a
    // writer keeps on working in memory and commits once the check is done).
    FileLocks locks(*file, READ_ONLY_DENY_NONE);
    const bool waited = !takeReaderSlotAtOnce(locks);
    if (waited) locks.take(kReaderSlot, 0, true);
    FileLocks::Guard slot(&locks, kReaderSlot);
    Container container(*file);
    if (int rc = container.open()) {
      // The file is there and readable, but what it starts with is no
      // header of a data file: that is damage, said as such.
      if (rc == FileError::INVALID_DATA_FILE) {
        report.noHeader = true;
        describeUnusableHeader(*file, container.fileBytes(), report.problems);
      } else {
        report.openError = rc;
      }
      return report;
    }
    container.refresh(false);
    report = checkContainer(container, presentation);
    report.waitedForWriter = waited;
  } catch (const InternalError& e) {
    report.problems.push_back("internal error " + std::to_string(e.number) + ", " + internalErrorText(e.number) + " (" +
                              DATA_CORRUPTION_TEXT + ")");
  } catch (const OsFailure& e) {
    report.problems.push_back("read failed: " + osErrorText(e.code));
  }
  return report;
}

}  // namespace glimra::datafile
