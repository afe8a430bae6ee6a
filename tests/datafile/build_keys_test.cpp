// SPDX-License-Identifier: GPL-3.0-or-later
// Building keys: what APPEND and static indexes leave for a build, how
// BUILDkey, BUILDfile and PACK complete or rebuild them, duplicates in a
// unique key, FULLBUILD (and its new character tables), dynamic indexes.
#include <algorithm>

#include "build_support.h"
#include "datafile/dynamic_index.h"
#include "datafile/file_errors.h"
#include "datafile/key_encoding.h"

namespace glimra::datafile {
namespace {

using namespace testing;

const std::vector<std::size_t> MAINTAINED = {NAMEKEY, NUMBERKEY, AMOUNTKEY, CODEKEY, CODEUNIQUE};

// Four records added, three appended.
struct AppendedTable : BuildTable {
  std::vector<std::uint32_t> added, appended;
  AppendedTable() {
    const char* names[] = {"delta", "alpha", "Echo", "charlie", "bravo", "golf", "foxtrot"};
    for (int i = 0; i < 7; ++i)
      (i < 4 ? added : appended).push_back(write(item(names[i], i * 10, i * 0.5, i % 2 ? "" : "c" + std::to_string(i)), i >= 4));
  }
};

TEST(BuildKeys, AppendLowersEveryMarkAndAnIncrementalBuildAddsExactlyTheMissingEntries) {
  AppendedTable t;
  for (std::size_t k : MAINTAINED) EXPECT_EQ(t.counter(k).mark, t.appended[0]) << "key " << k;
  EXPECT_EQ(t.counter(NAMEINDEX).mark, t.added[0]);  // a static index is deferred on ADD too
  EXPECT_EQ(t.counter(NAMEKEY).count, 4u);
  EXPECT_EQ(t.check(), "");

  ASSERT_EQ(buildKey(t.file, NAMEKEY, {}), 0);
  EXPECT_EQ(t.counter(NAMEKEY).count, 7u);
  EXPECT_EQ(t.counter(NAMEKEY).mark, 0u);
  const auto a = t.added;
  const auto p = t.appended;
  EXPECT_EQ(t.entries(NAMEKEY), (std::vector<std::uint32_t>{a[1], p[0], a[3], a[0], a[2], p[2], p[1]}));
  EXPECT_EQ(t.counter(NUMBERKEY).mark, p[0]);  // the other keys wait for their own build
  EXPECT_EQ(t.check(), "");

  // A complete key: nothing to do, nothing written.
  const auto writes = t.fs.writes();
  ASSERT_EQ(buildKey(t.file, NAMEKEY, {}), 0);
  EXPECT_EQ(t.fs.writes(), writes);
  EXPECT_EQ(t.counter(NAMEKEY).count, 7u);
}

TEST(BuildKeys, BuildFileLeavesStaticIndexesAloneAndBuildKeyRebuildsThemFromTheFirstRecord) {
  AppendedTable t;
  ASSERT_EQ(buildFile(t.file, {}), 0);
  for (std::size_t k : MAINTAINED) EXPECT_EQ(t.counter(k).mark, 0u) << "key " << k;
  EXPECT_EQ(t.counter(CODEKEY).count, 4u);  // blank codes are left out
  EXPECT_EQ(t.counter(NAMEINDEX).mark, t.added[0]);
  EXPECT_EQ(t.counter(NAMEINDEX).count, 0u);
  EXPECT_EQ(t.check(), "");

  ASSERT_EQ(buildKey(t.file, NAMEINDEX, {}), 0);
  EXPECT_EQ(t.counter(NAMEINDEX).count, 7u);
  EXPECT_EQ(t.counter(NAMEINDEX).mark, 0u);
  EXPECT_EQ(t.entries(NAMEINDEX), t.entries(NAMEKEY));

  // A change to a late record lowers the index's mark to that record only;
  // the rebuild must still cover every record before it.
  ASSERT_EQ(t.file.get(t.appended[1]), 0);
  fill(t.buffer.name, sizeof t.buffer.name, "aaron");
  ASSERT_EQ(t.file.put(), 0);
  EXPECT_EQ(t.counter(NAMEINDEX).mark, t.appended[1]);
  ASSERT_EQ(buildKey(t.file, NAMEINDEX, {}), 0);
  EXPECT_EQ(t.counter(NAMEINDEX).count, 7u);
  EXPECT_EQ(t.entries(NAMEINDEX), t.entries(NAMEKEY));
  EXPECT_EQ(t.entries(NAMEINDEX).front(), t.appended[1]);
  EXPECT_EQ(t.check(), "");
}

// Values of a unique key with duplicates among them; each value's first record
// (in record-number order) keeps the entry, the rest are refused.
struct DuplicateCase {
  const char* name;
  std::size_t key;
  std::vector<std::int32_t> numbers;
  std::vector<std::string> codes;
  std::size_t batchRecords;
  std::vector<std::size_t> kept;  // indexes of the records that keep an entry, in key order
  std::size_t firstRefused;       // index of the record that becomes the mark
};

class BuildDuplicates : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(BuildDuplicates, KeepTheFirstRecordOfEachValueAndEndWithError40) {
  const DuplicateCase& c = GetParam();
  BuildTable t;
  std::vector<std::uint32_t> records;
  for (std::size_t i = 0; i < std::max(c.numbers.size(), c.codes.size()); ++i)
    records.push_back(t.write(item("n", i < c.numbers.size() ? c.numbers[i] : 0, 0, i < c.codes.size() ? c.codes[i] : ""), true));
  BuildSettings settings;
  settings.batchRecords = c.batchRecords;
  settings.fullBuild = true;
  for (int attempt = 0; attempt < 2; ++attempt) {  // a second build meets the same refusal
    ASSERT_EQ(buildKey(t.file, c.key, settings), FileError::DUPLICATE_KEY) << "attempt " << attempt;
    std::vector<std::uint32_t> expected;
    for (std::size_t i : c.kept) expected.push_back(records[i]);
    EXPECT_EQ(t.entries(c.key), expected);
    EXPECT_EQ(t.counter(c.key).count, expected.size());
    EXPECT_EQ(t.counter(c.key).mark, records[c.firstRefused]);
    EXPECT_EQ(t.check(), "");
    settings.fullBuild = false;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildDuplicates,
    ::testing::Values(
        DuplicateCase{"numbers", NUMBERKEY, {30, 10, 20, 10, 30, 10}, {}, 4096, {1, 2, 0}, 3},
        DuplicateCase{"numbersAcrossBatches", NUMBERKEY, {30, 10, 20, 10, 30, 10}, {}, 2, {1, 2, 0}, 3},
        DuplicateCase{"codesIgnoringCaseAndBlanks", CODEUNIQUE, {}, {"ab", "", "AB", "", "cd", "Ab"}, 4096, {0, 4}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildKeys, FullBuildOptionOfTheFileInLowerCaseRebuildsACompleteKey) {
  AppendedTable t;
  ASSERT_EQ(buildFile(t.file, {}), 0);
  const auto before = t.entries(AMOUNTKEY);
  EXPECT_EQ(t.file.send("fullbuild=on"), "");
  EXPECT_EQ(t.file.send("FullBuild"), "ON");
  const auto writes = t.fs.writes();
  ASSERT_EQ(buildKey(t.file, AMOUNTKEY, {}), 0);
  EXPECT_GT(t.fs.writes(), writes);
  EXPECT_EQ(t.entries(AMOUNTKEY), before);
  EXPECT_EQ(t.counter(AMOUNTKEY).count, 7u);
  EXPECT_EQ(t.check(), "");

  t.file.send("fullbuild=yes");  // anything but "on" turns it off
  const auto later = t.fs.writes();
  ASSERT_EQ(buildKey(t.file, AMOUNTKEY, {}), 0);
  EXPECT_EQ(t.fs.writes(), later);
}

// A full BUILDfile writes the character tables in force and re-keys the
// table with them; the open file goes on encoding keys with the new ones.
TEST(BuildKeys, FullBuildFileRekeysTheTableForNewCharacterTables) {
  AppendedTable t;
  CharacterTables reversed = CharacterTables::defaults();
  for (int c = 'A'; c <= 'Z'; ++c) reversed.windowsWeights[c] = static_cast<std::uint8_t>('Z' - (c - 'A'));
  BuildSettings settings;
  settings.fullBuild = true;
  settings.tablesInForce = reversed;
  ASSERT_EQ(buildFile(t.file, settings), 0);
  EXPECT_EQ(t.file.characterTables(), reversed);
  auto byName = t.entries(NAMEKEY);
  const auto a = t.added;
  const auto p = t.appended;
  EXPECT_EQ(byName, (std::vector<std::uint32_t>{p[1], p[2], a[2], a[0], a[3], p[0], a[1]}));
  EXPECT_EQ(t.counter(NAMEINDEX).count, 0u);  // emptied: its old entries follow the old order
  EXPECT_EQ(t.counter(NAMEINDEX).mark, 1u);
  t.write(item("hotel", 70), false);
  EXPECT_EQ(t.entries(NAMEKEY).front(), t.file.pointer());
  EXPECT_EQ(t.check(), "");
}

TEST(BuildKeys, DynamicIndexIsBuiltInMemoryOnly) {
  AppendedTable t;
  DynamicIndexes dynamic;
  BuildSettings settings;
  settings.dynamicIndexes = &dynamic;
  const Counter stored = t.counter(NUMBERDYNAMIC);
  ASSERT_EQ(buildFile(t.file, settings), 0);
  ASSERT_TRUE(dynamic.built(NUMBERDYNAMIC));
  EXPECT_EQ(dynamic.count(NUMBERDYNAMIC), 7u);
  std::vector<std::uint32_t> order;
  Bytes probe = kindPrefix(t.file.tableNumber(), NUMBERDYNAMIC);
  TreeRecord entry;
  while (dynamic.findFirstGreater(NUMBERDYNAMIC, probe, &entry)) {
    order.push_back(*entryRecordNumber(entry));
    probe.assign(entry.key().begin(), entry.key().end());
  }
  EXPECT_EQ(order, t.entries(NUMBERKEY));
  EXPECT_EQ(t.counter(NUMBERDYNAMIC).count, stored.count);
  EXPECT_EQ(t.check(), "");  // nothing of it in the file

  // A build starts the index afresh.
  t.write(item("india", 5), false);
  ASSERT_EQ(buildKey(t.file, NUMBERDYNAMIC, settings), 0);
  EXPECT_EQ(dynamic.count(NUMBERDYNAMIC), 8u);
}

TEST(BuildKeys, AnOpenFileReadsItsDynamicIndexUntilItCloses) {
  AppendedTable t;
  EXPECT_TRUE(t.entries(NUMBERDYNAMIC).empty());  // nothing before a build
  ASSERT_EQ(t.file.buildFile(), 0) << describeError(t.file);
  ASSERT_EQ(t.file.buildKey(NUMBERDYNAMIC), 0) << describeError(t.file);
  std::vector<std::uint32_t> byNumber = t.entries(NUMBERKEY);
  EXPECT_EQ(t.entries(NUMBERDYNAMIC), byNumber);
  EXPECT_EQ(t.file.records(NUMBERDYNAMIC), 7u);
  std::reverse(byNumber.begin(), byNumber.end());
  EXPECT_EQ(walk(t.file, NUMBERDYNAMIC, false), byNumber);

  // A record deleted after the build is skipped, not reported as damage.
  ASSERT_EQ(t.file.get(byNumber.front()), 0);
  ASSERT_EQ(t.file.erase(), 0);
  byNumber.erase(byNumber.begin());
  std::reverse(byNumber.begin(), byNumber.end());
  EXPECT_EQ(t.entries(NUMBERDYNAMIC), byNumber);

  ASSERT_EQ(t.file.close(), 0);
  ASSERT_EQ(t.file.open(), 0);
  EXPECT_TRUE(t.entries(NUMBERDYNAMIC).empty());  // gone with the close
  EXPECT_EQ(t.check(), "");
}

TEST(BuildKeys, BuildFileAndPackOpenAClosedFileAndPackDropsStaleBytes) {
  AppendedTable t;
  ASSERT_EQ(t.file.close(), 0);
  std::vector<std::uint8_t> bytes = t.fs.contents(BUILD_PATH);
  const std::size_t size = bytes.size();
  bytes.resize(size + 5000, 0xAB);
  t.fs.setContents(BUILD_PATH, bytes);

  ASSERT_EQ(buildFile(t.file, {}), 0);
  EXPECT_FALSE(t.file.isOpen());
  const std::size_t built = t.fs.contents(BUILD_PATH).size();
  EXPECT_GE(built, size + 5000);  // a build keeps what lies past the data

  ASSERT_EQ(pack(t.file, {}), 0);
  EXPECT_FALSE(t.file.isOpen());
  EXPECT_LT(t.fs.contents(BUILD_PATH).size(), size + 5000);
  EXPECT_EQ(t.check(), "");
  ASSERT_EQ(t.file.open(), 0);
  for (std::size_t k : MAINTAINED) EXPECT_EQ(t.counter(k).mark, 0u) << "key " << k;
  EXPECT_EQ(t.entries(NAMEKEY).size(), 7u);
}

TEST(BuildKeys, RefusedWhereItCannotWrite) {
  AppendedTable t;
  ASSERT_EQ(t.file.logout(), 0);
  EXPECT_EQ(buildKey(t.file, NAMEKEY, {}), FileError::ACCESS_DENIED);  // its commits would end the transaction
  ASSERT_EQ(t.file.rollback(), 0);
  EXPECT_EQ(buildKey(t.file, 42, {}), FileError::RECORD_NOT_AVAILABLE);
  ASSERT_EQ(t.file.close(), 0);
  EXPECT_EQ(buildKey(t.file, NAMEKEY, {}), FileError::FILE_NOT_OPEN);
  ASSERT_EQ(t.file.open(OpenMode{0x20}), 0);  // read-only
  EXPECT_EQ(buildKey(t.file, NAMEKEY, {}), FileError::ACCESS_DENIED);
  EXPECT_EQ(t.counter(NAMEKEY).mark, t.appended[0]);
}

}  // namespace
}  // namespace glimra::datafile
