// SPDX-License-Identifier: GPL-3.0-or-later
// What the file format can hold, at and just past each limit: a memo of more
// bytes than its 16-bit piece numbers can count (or a text memo past its
// declared size), and a commit that would take the file past the end its
// header's 32-bit offsets can name. At the limit everything is stored and
// read back whole; one byte (or one page unit) more is refused with a clear
// error and the file left as it was. The 4 GiB cases run on the
// fault-injecting file system, whose files are sparse: only the header and
// the pages at the far end take memory.
#include <gtest/gtest.h>

#include <cerrno>

#include "datafile/fault_file.h"
#include "datafile/file_check.h"
#include "datafile/memo_pieces.h"
#include "datafile/page_codec.h"
#include "datafile_fixture.h"

namespace glimra::datafile::testing {
namespace {

constexpr std::size_t NOTES = 0, PICTURE = 1;
constexpr std::uint16_t NOTES_SIZE = 600;

TableDeclaration memoDeclaration() {
  TableDeclaration declaration = itemDeclaration();
  declaration.memos = {{"", "IT:NOTES", NOTES_SIZE, 0}, {"", "IT:PICTURE", 0, MEMO_BLOB}};
  return declaration;
}

// Bytes that do not repeat within a page, so nothing compresses away.
Bytes pattern(std::size_t length, std::uint8_t seed) {
  Bytes bytes(length);
  std::uint32_t x = 0x9E3779B9u * (seed + 1u);
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = std::uint8_t(x);
  }
  return bytes;
}

struct MemoFile {
  const TableDeclaration declaration = memoDeclaration();
  Item buffer = item("base", 1);
  DataFile file;
  MemoFile(FaultFileSystem& fs, const std::string& name) : file(fs) {
    file.declare(declaration, &buffer);
    file.setName(name);
  }
};

// Opens the table and adds one record with short memos; its record number.
std::uint32_t plantBase(MemoFile& m) {
  EXPECT_EQ(m.file.open(), 0) << describeError(m.file);
  m.buffer = item("base", 1);
  std::fill(m.file.memo(NOTES).begin(), m.file.memo(NOTES).begin() + 4, 'n');
  m.file.memo(PICTURE) = pattern(1000, 1);
  EXPECT_EQ(m.file.add(), 0) << describeError(m.file);
  return m.file.pointer();
}

TEST(EngineLimits, AMemoAtItsLimitIsStoredWholeAndOneByteMoreIsRefused) {
  constexpr std::size_t BLOB_LIMIT = 16'777'216;  // 65,536 pieces of 256 bytes
  static_assert(MAX_BLOB_BYTES == BLOB_LIMIT);
  const struct {
    const char* what;
    bool put;  // PUT over the base record, else ADD
    std::size_t memo;
    Bytes value;
    bool stored;
  } cases[] = {
      {"BLOB one byte short of the limit", false, PICTURE, pattern(BLOB_LIMIT - 1, 2), true},
      {"BLOB at the limit", false, PICTURE, pattern(BLOB_LIMIT, 3), true},
      {"BLOB one byte over", false, PICTURE, pattern(BLOB_LIMIT + 1, 4), false},
      {"BLOB of 20 MiB", false, PICTURE, pattern(20u << 20, 5), false},
      {"PUT of a BLOB one byte over", true, PICTURE, pattern(BLOB_LIMIT + 1, 6), false},
      {"PUT of a BLOB at the limit", true, PICTURE, pattern(BLOB_LIMIT, 7), true},
      {"text memo filling its size", false, NOTES, Bytes(NOTES_SIZE, 'x'), true},
      {"text memo one byte past its size", false, NOTES, Bytes(NOTES_SIZE + 1, 'x'), false},
      {"PUT of a text memo one byte past its size", true, NOTES, Bytes(NOTES_SIZE + 1, 'x'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FaultFileSystem fs;
    MemoFile m(fs, "memo.dat");
    ASSERT_EQ(m.file.create(), 0);
    const std::uint32_t base = plantBase(m);
    const auto before = fs.contents("memo.dat");
    if (c.put) {
      ASSERT_EQ(m.file.get(base), 0);
    } else {
      m.buffer = item("new", 2);
      m.file.memo(NOTES).assign(NOTES_SIZE, ' ');
      m.file.memo(PICTURE).clear();
    }
    m.file.memo(c.memo) = c.value;
    const int rc = c.put ? m.file.put() : m.file.add();
    if (c.stored) {
      ASSERT_EQ(rc, 0) << describeError(m.file);
      const std::uint32_t written = m.file.pointer();
      m.file.memo(c.memo).clear();
      ASSERT_EQ(m.file.close(), 0);
      ASSERT_EQ(m.file.open(), 0);
      ASSERT_EQ(m.file.get(written), 0);
      EXPECT_TRUE(m.file.memo(c.memo) == c.value) << "read back " << m.file.memo(c.memo).size() << " bytes";
    } else {
      EXPECT_EQ(rc, 90);
      EXPECT_EQ(m.file.fileErrorCode(), std::to_string(EFBIG));
      EXPECT_NE(m.file.fileErrorText().find(m.declaration.memos[c.memo].name), std::string::npos)
          << m.file.fileErrorText();
      EXPECT_TRUE(fs.contents("memo.dat") == before) << "nothing of the refused write reached the file";
      EXPECT_EQ(m.file.records(), 1u);
      ASSERT_EQ(m.file.get(base), 0);
      EXPECT_TRUE(m.file.memo(PICTURE) == pattern(1000, 1)) << "the stored record keeps its memo";
    }
    m.file.close();
    const FileCheckReport report = checkDataFile(fs, "memo.dat");
    EXPECT_TRUE(report.sound()) << (report.problems.empty() ? report.summary() : report.problems[0]);
  }
}

// A file whose regions all begin at page unit `base`: the units below stay
// unused for good (nothing is ever placed below the first region), so its
// data lies at the far end of a sparse file.
void plantFileStartingAt(FaultFileSystem& fs, const std::string& path, std::uint32_t base) {
  FileHeader header;
  header.dataEnd = header.pendingEnd = page::kHeaderBytes;
  for (int i = 1; i < 60; ++i) header.regionStart[i] = header.regionEnd[i] = base;
  Bytes image(page::kHeaderBytes);
  page::encodeHeader(header, image.data());
  fs.setContents(path, image);
}

struct HighFile {
  FaultFileSystem fs;
  MemoFile m{fs, "high.dat\\!BLOBS"};
  std::uint32_t base = 0;
  explicit HighFile(std::uint32_t baseUnit) {
    plantFileStartingAt(fs, "high.dat", baseUnit);
    EXPECT_EQ(m.file.create(), 0) << describeError(m.file);
    base = plantBase(m);
  }
  // ADD of a record with an 8 MiB BLOB; counts the file's writes.
  int addBig() {
    m.buffer = item("big", 2);
    m.file.memo(PICTURE) = pattern(8u << 20, 9);
    fs.resetCounters();
    return m.file.add();
  }
};

TEST(EngineLimits, ACommitPastTheAddressableEndIsRefusedAndTheFileKept) {
  // Where the ADD's commit ends (its redo area included) when the data
  // starts low; the same ADD on a file placed higher ends that much higher.
  constexpr std::uint32_t LOW = 4096;
  std::uint64_t lowEnd = 0;
  {
    HighFile probe(LOW);
    ASSERT_EQ(probe.addBig(), 0) << describeError(probe.m.file);
    lowEnd = probe.fs.size("high.dat");
  }
  ASSERT_EQ((kAddressableFileEnd - lowEnd) % page::kUnit, 0u);
  const std::uint32_t atLimit = LOW + std::uint32_t((kAddressableFileEnd - lowEnd) / page::kUnit);
  const struct {
    const char* what;
    std::uint32_t base;
    bool stored;
  } cases[] = {
      {"ending exactly at the addressable end", atLimit, true},
      {"ending one page unit past it", atLimit + 1, false},
      {"ending 8 MiB past it", atLimit + (8u << 20) / 256, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HighFile h(c.base);
    const std::uint64_t sizeBefore = h.fs.size("high.dat");
    const int rc = h.addBig();
    if (c.stored) {
      ASSERT_EQ(rc, 0) << describeError(h.m.file);
      EXPECT_EQ(h.fs.size("high.dat"), kAddressableFileEnd);
    } else {
      EXPECT_EQ(rc, 90);
      EXPECT_EQ(h.m.file.fileErrorCode(), std::to_string(EFBIG));
      EXPECT_NE(h.m.file.fileErrorText().find(std::to_string(kAddressableFileEnd)), std::string::npos)
          << h.m.file.fileErrorText();
      EXPECT_EQ(h.fs.writes(), 0u) << "the refused commit wrote nothing";
      EXPECT_EQ(h.fs.size("high.dat"), sizeBefore);
      EXPECT_EQ(h.m.file.records(), 1u);
      h.m.buffer = item("small", 3);
      h.m.file.memo(PICTURE) = pattern(300, 4);
      EXPECT_EQ(h.m.file.add(), 0) << "a write that fits still goes in: " << describeError(h.m.file);
    }
    ASSERT_EQ(h.m.file.close(), 0);
    ASSERT_EQ(h.m.file.open(), 0) << "the file opens after the refusal: " << describeError(h.m.file);
    EXPECT_EQ(h.m.file.records(), 2u);
    ASSERT_EQ(h.m.file.get(h.base), 0);
    EXPECT_TRUE(h.m.file.memo(PICTURE) == pattern(1000, 1));
    if (c.stored) {
      ASSERT_EQ(h.m.file.get(h.base + 1), 0) << describeError(h.m.file);
      EXPECT_TRUE(h.m.file.memo(PICTURE) == pattern(8u << 20, 9)) << "the 8 MiB BLOB reads back whole";
    }
    h.m.file.close();
    const FileCheckReport report = checkDataFile(h.fs, "high.dat");
    EXPECT_TRUE(report.sound()) << (report.problems.empty() ? report.summary() : report.problems[0]);
    EXPECT_TRUE(report.nearAddressableEnd) << report.summary();
  }
}

// The check says when a file's data comes within 5 % of the addressable end.
TEST(EngineLimits, TheCheckNotesAFileNearTheAddressableEnd) {
  const std::uint32_t lastUnit = std::uint32_t((kAddressableFileEnd - page::kHeaderBytes) / page::kUnit);
  const struct {
    std::uint32_t base;
    bool near;
  } cases[] = {{0, false}, {lastUnit / 100 * 94, false}, {lastUnit / 100 * 96, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base);
    HighFile h(c.base);
    h.m.file.close();
    const FileCheckReport report = checkDataFile(h.fs, "high.dat");
    EXPECT_TRUE(report.sound()) << report.summary();
    EXPECT_EQ(report.nearAddressableEnd, c.near) << report.summary();
    EXPECT_EQ(report.summary().find("within 5 %") != std::string::npos, c.near) << report.summary();
  }
}

// The check compares every memo's pieces with its length: a piece missing,
// one too many, or one of the wrong size is damage.
TEST(EngineLimits, TheCheckComparesMemoPiecesWithTheirLength) {
  const struct {
    const char* what;
    std::size_t memo;
    int piece;     // the piece changed
    int newSize;   // -1: erased; else its new payload size
    const char* reported;
  } cases[] = {
      {"nothing", PICTURE, 0, 0, nullptr},
      {"a BLOB piece missing", PICTURE, 2, -1, "piece 2 is missing"},
      {"a BLOB piece past its end", PICTURE, 4, 10, "piece 4 lies past the end of the memo"},
      {"a short BLOB piece", PICTURE, 1, 100, "piece 1 holds 100 bytes, 256 belong there"},
      {"a BLOB's first piece lost", PICTURE, 0, -1, "its first piece, which holds its length, is missing"},
      {"a text piece missing in the middle", NOTES, 1, -1, "memo IT:NOTES of record"},
      {"a short text piece in the middle", NOTES, 0, 100, "piece 0 holds 100 bytes, 256 belong there"},
      {"a text memo past its size", NOTES, 3, 256, "its pieces hold 1024 bytes, its declared size is 600"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FaultFileSystem fs;
    MemoFile m(fs, "memo.dat");
    ASSERT_EQ(m.file.create(), 0);
    ASSERT_EQ(m.file.open(), 0);
    std::fill(m.file.memo(NOTES).begin(), m.file.memo(NOTES).end(), 'x');  // 600 bytes: 256 + 256 + 88
    m.file.memo(PICTURE) = pattern(1000, 1);                               // 4 + 256, 256, 256, 232
    ASSERT_EQ(m.file.add(), 0);
    if (c.reported) {
      Container& container = *m.file.container();
      const Bytes key = memoPieceKey(m.file.tableNumber(), m.file.pointer(), std::uint8_t(c.memo), std::uint16_t(c.piece));
      if (c.newSize < 0) {
        ASSERT_TRUE(container.erase(key));
      } else {
        TreeRecord piece;
        piece.bytes = key;
        piece.keyLength = 12;
        const Bytes payload(std::size_t(c.newSize), 'y');
        piece.bytes.insert(piece.bytes.end(), payload.begin(), payload.end());
        container.replace(piece);
      }
      container.commit();
    }
    m.file.close();
    const FileCheckReport report = checkDataFile(fs, "memo.dat");
    if (!c.reported) {
      EXPECT_TRUE(report.sound()) << (report.problems.empty() ? report.summary() : report.problems[0]);
      continue;
    }
    bool found = false;
    for (const std::string& p : report.problems) found = found || p.find(c.reported) != std::string::npos;
    EXPECT_TRUE(found) << "expected '" << c.reported << "' among " << ::testing::PrintToString(report.problems);
  }
}

}  // namespace
}  // namespace glimra::datafile::testing
