// SPDX-License-Identifier: GPL-3.0-or-later
// The operations of an open table: adding, reading, rewriting and deleting
// records with every key kept in step, walking keys both ways, counts, memos,
// transactions and the errors each operation reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "datafile/file_check.h"
#include "datafile/record_kinds.h"
#include "datafile_fixture.h"

namespace glimra::datafile {
namespace {

using namespace testing;

class ItemFile : public ::testing::Test {
 protected:
  void SetUp() override {
    declaration = itemDeclaration();
    file.declare(declaration, &buffer);
    file.setName(dir.file("items.dat"));
    ASSERT_EQ(file.create(), 0) << file.errorText();
    ASSERT_EQ(file.open(), 0) << file.errorText();
  }

  std::uint32_t add(const Item& it) {
    buffer = it;
    EXPECT_EQ(file.add(), 0) << file.errorText();
    return file.pointer();
  }

  std::vector<std::string> names(std::size_t key, bool forward = true) {
    std::vector<std::string> out;
    EXPECT_EQ(key == RECORD_ORDER ? file.setFile() : file.setKey(key), 0);
    while ((forward ? file.next() : file.previous()) == 0) out.push_back(trimmed(buffer.name, 8));
    EXPECT_EQ(file.errorCode(), 33);
    return out;
  }

  TempDir dir;
  TableDeclaration declaration;
  Item buffer{};
  DataFile file;
};

TEST_F(ItemFile, KeysWalkInTheirOrderBothWays) {
  add(item("delta", 4, 1.0));
  add(item("alpha", -1, -2.0));
  add(item("Charlie", 0, 0.0));
  add(item("bravo", 70000, -1.0));
  EXPECT_EQ(names(NAMEKEY), (std::vector<std::string>{"alpha", "bravo", "Charlie", "delta"}));
  EXPECT_EQ(names(NAMEKEY, false), (std::vector<std::string>{"delta", "Charlie", "bravo", "alpha"}));
  // LONG: -1 before 0. AMOUNTKEY is descending: 1 > 0 > -1 > -2.
  EXPECT_EQ(names(NUMBERKEY), (std::vector<std::string>{"alpha", "Charlie", "delta", "bravo"}));
  EXPECT_EQ(names(AMOUNTKEY), (std::vector<std::string>{"delta", "Charlie", "bravo", "alpha"}));
  EXPECT_EQ(names(RECORD_ORDER), (std::vector<std::string>{"delta", "alpha", "Charlie", "bravo"}));
  EXPECT_EQ(file.records(), 4u);
  EXPECT_EQ(file.records(NAMEKEY), 4u);
  EXPECT_EQ(file.records(CODEKEY), 0u);
}

TEST_F(ItemFile, CaseInsensitiveValuesShareAnEntryValue) {
  const auto first = add(item("x", 1, 0, "abc"));
  const auto second = add(item("y", 2, 0, "ABD"));
  // Duplicates allowed: abc and ABC both, ordered by record number.
  buffer = item("z", 3, 0, "ABC");
  EXPECT_EQ(file.add(), 40) << "the unique case-insensitive key already holds abc";
  EXPECT_EQ(file.errorText(), "Creates Duplicate Key");
  // The refused record left nothing behind: no data record and no entry in
  // the keys that came before the one that refused it.
  EXPECT_EQ(file.records(), 2u);
  EXPECT_EQ(file.records(NAMEKEY), 2u);
  EXPECT_EQ(file.records(CODEKEY), 2u);
  EXPECT_EQ(walk(file, NAMEKEY), (std::vector<std::uint32_t>{first, second}));
  EXPECT_EQ(walk(file, CODEKEY), (std::vector<std::uint32_t>{second, first})) << "case-sensitive: ABD < abc";

  // With duplicates allowed, "ABC" and "abc" both stand, in record-number order.
  const auto third = add(item("X", 3, 0, ""));
  EXPECT_EQ(walk(file, NAMEKEY), (std::vector<std::uint32_t>{first, third, second}));
}

TEST_F(ItemFile, SetOnValuesPositionsBeforeTheFirstEntryAtOrAbove) {
  add(item("apple", 1));
  add(item("cherry", 2));
  add(item("CHERRY", 3));
  add(item("plum", 4));
  buffer = item("B", 0);
  ASSERT_EQ(file.setKeyFromBuffer(NAMEKEY), 0);
  ASSERT_EQ(file.next(), 0);
  EXPECT_EQ(trimmed(buffer.name, 8), "cherry");
  buffer = item("cherry", 0);
  ASSERT_EQ(file.setKeyFromBuffer(NAMEKEY), 0);
  ASSERT_EQ(file.previous(), 0);  // the last entry <= the value
  EXPECT_EQ(trimmed(buffer.name, 8), "CHERRY");
  buffer = item("zzz", 0);
  ASSERT_EQ(file.setKeyFromBuffer(NAMEKEY), 0);
  EXPECT_EQ(file.next(), 33);
  EXPECT_EQ(file.errorText(), "Record Not Available");
  ASSERT_EQ(file.previous(), 0);
  EXPECT_EQ(trimmed(buffer.name, 8), "plum");

  buffer = item("", 2);
  ASSERT_EQ(file.getByKey(NUMBERKEY), 0);
  EXPECT_EQ(trimmed(buffer.name, 8), "cherry");
  buffer = item("Cherry", 0);
  ASSERT_EQ(file.getByKey(NAMEKEY), 0);
  EXPECT_EQ(+buffer.number, 2);
  buffer = item("", 9);
  EXPECT_EQ(file.getByKey(NUMBERKEY), 35);
}

TEST_F(ItemFile, EmptyValuesAreLeftOutOfOptKeysButTheRecordStays) {
  const auto blank = add(item("blank", 1, 0, "    "));
  const auto coded = add(item("coded", 2, 0, "Q"));
  EXPECT_EQ(walk(file, CODEKEY), (std::vector<std::uint32_t>{coded}));
  EXPECT_EQ(file.records(CODEKEY), 1u);
  EXPECT_EQ(walk(file, RECORD_ORDER), (std::vector<std::uint32_t>{blank, coded}));
  // Several blank codes do not collide in the unique OPT key.
  add(item("blank2", 3, 0, ""));
  EXPECT_EQ(file.records(), 3u);
}

TEST_F(ItemFile, PutMovesTheEntriesThatChangeAndRefusesDuplicates) {
  const auto a = add(item("a", 1, 0, "K1"));
  const auto b = add(item("b", 2, 0, "K2"));
  ASSERT_EQ(file.get(a), 0);
  std::memcpy(buffer.name, "zed     ", 8);
  fill(buffer.code, 4, "");
  ASSERT_EQ(file.put(), 0) << file.errorText();
  EXPECT_EQ(walk(file, NAMEKEY), (std::vector<std::uint32_t>{b, a}));
  EXPECT_EQ(walk(file, CODEKEY), (std::vector<std::uint32_t>{b}));
  EXPECT_EQ(file.records(CODEKEY), 1u);

  ASSERT_EQ(file.get(b), 0);
  buffer.number = 1;  // a's number, in the unique key
  std::memcpy(buffer.name, "aaa     ", 8);
  EXPECT_EQ(file.put(), 40);
  ASSERT_EQ(file.get(b), 0);
  EXPECT_EQ(trimmed(buffer.name, 8), "b") << "a refused PUT changes nothing";
  EXPECT_EQ(walk(file, NAMEKEY), (std::vector<std::uint32_t>{b, a}));
  EXPECT_EQ(file.records(NAMEKEY), 2u);
}

// Inside a transaction no discard follows a refused write: the refusal must
// take back the entries it had already made itself, or they are committed and
// every walk of their keys ends in error 90.
TEST_F(ItemFile, RefusedWritesInsideATransactionLeaveNoEntryBehind) {
  const auto a = add(item("abc", 1, 1.0, "abc"));
  const auto b = add(item("b", 2, 2.0, "zz"));
  const struct {
    const char* what;
    std::function<int()> write;
  } cases[] = {
      // Every key before CODEUNIQUE takes its entry before "ABC" meets abc there.
      {"ADD", [&] { return buffer = item("new", 3, 3.0, "ABC"), file.add(); }},
      // b's name, number, amount and code entries move (each to the other side
      // of a's) before the code meets abc.
      {"PUT", [&] { return file.get(b) ? -1 : (buffer = item("aaa", 0, 0.5, "ABC"), file.put()); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(file.logout(), 0);
    EXPECT_EQ(c.write(), 40);
    ASSERT_EQ(file.commit(), 0) << file.errorText();

    const std::pair<std::size_t, std::vector<std::uint32_t>> keys[] = {
        {NAMEKEY, {a, b}}, {NUMBERKEY, {a, b}}, {AMOUNTKEY, {b, a}}, {CODEKEY, {a, b}}, {CODEUNIQUE, {a, b}}};
    for (const auto& [key, order] : keys) {
      EXPECT_EQ(walk(file, key), order) << "key " << key;
      EXPECT_EQ(file.records(key), 2u) << "key " << key;
    }
    ASSERT_EQ(file.get(b), 0);
    EXPECT_EQ(trimmed(buffer.name, 8), "b");
    ASSERT_EQ(file.close(), 0);
    const FileCheckReport report = checkDataFile(posixFileSystem(), file.name());
    EXPECT_TRUE(report.sound()) << (report.problems.empty() ? report.summary() : report.problems[0]);
    ASSERT_EQ(file.open(), 0);
  }
}

TEST_F(ItemFile, DeleteRemovesTheRecordAndItsEntries) {
  const auto a = add(item("a", 1, 0, "K"));
  const auto b = add(item("b", 2, 0, "L"));
  ASSERT_EQ(file.get(a), 0);
  ASSERT_EQ(file.erase(), 0);
  EXPECT_EQ(file.erase(), 33) << "no current record after a delete";
  EXPECT_EQ(file.get(a), 35);
  for (std::size_t k : {NAMEKEY, NUMBERKEY, AMOUNTKEY, CODEKEY, CODEUNIQUE})
    EXPECT_EQ(walk(file, k), (std::vector<std::uint32_t>{b})) << k;
  EXPECT_EQ(file.records(), 1u);
  // Record numbers are never reused.
  EXPECT_GT(add(item("c", 3)), b);
}

TEST_F(ItemFile, WalkingContinuesAcrossADeletedEntry) {
  add(item("a", 1));
  const auto b = add(item("b", 2));
  const auto c = add(item("c", 3));
  ASSERT_EQ(file.setKey(NAMEKEY), 0);
  ASSERT_EQ(file.next(), 0);
  ASSERT_EQ(file.next(), 0);
  EXPECT_EQ(file.pointer(), b);
  ASSERT_EQ(file.erase(), 0);
  ASSERT_EQ(file.next(), 0);
  EXPECT_EQ(file.pointer(), c);
}

TEST_F(ItemFile, ErrorsOfRecordOperations) {
  EXPECT_EQ(file.put(), 33);
  EXPECT_EQ(file.get(12345), 35);
  EXPECT_EQ(file.errorText(), "Record Not Found");
  EXPECT_EQ(file.next(), 33) << "NEXT without SET";
  EXPECT_EQ(file.open(), 52);
  EXPECT_EQ(file.errorText(), "File Already Open");
  EXPECT_EQ(file.send("Recover=10"), "");
  EXPECT_EQ(file.send("QUICKSCAN=on"), "");
  EXPECT_EQ(file.errorCode(), 0);

  // A file opened for reading only refuses writes.
  DataFile reader;
  Item readBuffer{};
  reader.declare(declaration, &readBuffer);
  reader.setName(file.name());
  ASSERT_EQ(reader.open(OpenMode{0x40}), 0);
  EXPECT_EQ(reader.add(), 5);
  EXPECT_EQ(reader.errorText(), "Access Denied");
  ASSERT_EQ(file.close(), 0);
  EXPECT_EQ(file.add(), 37);
}

TEST_F(ItemFile, WatchedRecordChangedElsewhereIsNotOverwritten) {
  const auto a = add(item("a", 1));
  // Two writers at once: both open with deny none.
  ASSERT_EQ(file.close(), 0);
  ASSERT_EQ(file.open(OpenMode{0x42}), 0);
  ASSERT_EQ(file.watch(), 0);
  ASSERT_EQ(file.get(a), 0);

  DataFile other;
  Item otherBuffer{};
  other.declare(declaration, &otherBuffer);
  other.setName(file.name());
  ASSERT_EQ(other.open(OpenMode{0x42}), 0);
  ASSERT_EQ(other.get(a), 0);
  otherBuffer.amount = 5;
  ASSERT_EQ(other.put(), 0);
  ASSERT_EQ(other.close(), 0);

  buffer.amount = 7;
  EXPECT_EQ(file.put(), 89);
  EXPECT_EQ(file.errorText(), "Record Changed By Another Station");
  ASSERT_EQ(file.get(a), 0);  // read again: no longer watched
  EXPECT_EQ(+buffer.amount, 5);
  buffer.amount = 7;
  EXPECT_EQ(file.put(), 0);
}

TEST_F(ItemFile, TransactionsKeepWritesUntilCommit) {
  add(item("kept", 1));
  ASSERT_EQ(file.logout(), 0);
  add(item("dropped", 2));
  EXPECT_EQ(file.records(), 2u);
  ASSERT_EQ(file.rollback(), 0);
  EXPECT_EQ(file.records(), 1u);
  EXPECT_EQ(names(NAMEKEY), (std::vector<std::string>{"kept"}));

  ASSERT_EQ(file.logout(), 0);
  add(item("second", 2));
  ASSERT_EQ(file.get(1 + 0), 35);  // record numbers start after the table's number
  ASSERT_EQ(file.commit(), 0);
  ASSERT_EQ(file.close(), 0);
  ASSERT_EQ(file.open(), 0);
  EXPECT_EQ(names(NAMEKEY), (std::vector<std::string>{"kept", "second"}));

  // A transaction left open at CLOSE is dropped.
  ASSERT_EQ(file.logout(), 0);
  add(item("lost", 3));
  ASSERT_EQ(file.close(), 0);
  ASSERT_EQ(file.open(), 0);
  EXPECT_EQ(file.records(), 2u);
}

TEST_F(ItemFile, ReopeningKeepsRecordsAndCounts) {
  for (int i = 0; i < 300; ++i) add(item("n" + std::to_string(i * 7919 % 300), i, std::sin(i), i % 3 ? "C" + std::to_string(i) : ""));
  ASSERT_EQ(file.close(), 0);
  ASSERT_EQ(file.open(), 0);
  EXPECT_EQ(file.records(), 300u);
  EXPECT_EQ(file.records(CODEKEY), 200u);
  const auto byName = names(NAMEKEY);
  EXPECT_TRUE(std::is_sorted(byName.begin(), byName.end()));
  std::vector<double> amounts;
  ASSERT_EQ(file.setKey(AMOUNTKEY), 0);
  while (file.next() == 0) amounts.push_back(+buffer.amount);
  EXPECT_EQ(amounts.size(), 300u);
  EXPECT_TRUE(std::is_sorted(amounts.rbegin(), amounts.rend()));
}

TEST_F(ItemFile, AppendLeavesTheKeysToABuildAndMarksWhereItStarts) {
  add(item("a", 1));
  buffer = item("b", 2);
  ASSERT_EQ(file.append(), 0);
  const auto firstAppended = file.pointer();
  buffer = item("c", 3);
  ASSERT_EQ(file.append(), 0);
  EXPECT_EQ(file.records(), 3u);
  EXPECT_EQ(file.records(NAMEKEY), 1u);
  EXPECT_EQ(names(NAMEKEY), (std::vector<std::string>{"a"}));
  EXPECT_EQ(names(RECORD_ORDER), (std::vector<std::string>{"a", "b", "c"}));
  // The rebuild mark of every key is the first appended record.
  for (std::size_t k = 0; k < declaration.keys.size(); ++k) {
    TreeRecord counter;
    ASSERT_TRUE(file.container()->find(counterKey(file.tableNumber(), static_cast<std::uint8_t>(k)), &counter));
    EXPECT_EQ(Counter::parse(counter.payload())->mark, firstAppended) << k;
  }
}

// The plug-in point for locking and options: a refused record lock fails PUT
// and DELETE with the hook's code, and options go to the hook.
TEST_F(ItemFile, HooksTakePartInEveryOperation) {
  struct Refusing : FileHooks {
    int operations = 0;
    int beginOperation(DataFile&, bool) override { return ++operations, 0; }
    int lockRecord(DataFile&, std::uint32_t) override { return 5; }
    std::optional<std::string> option(DataFile&, std::string_view text) override {
      if (text == "FULLBUILD") return "OFF";
      return std::nullopt;
    }
  };
  const auto a = add(item("a", 1));
  ASSERT_EQ(file.close(), 0);
  auto hooks = std::make_shared<Refusing>();
  file.setHooks(hooks);
  ASSERT_EQ(file.open(), 0);
  ASSERT_EQ(file.get(a), 0);
  EXPECT_EQ(file.put(), 5);
  EXPECT_EQ(file.erase(), 5);
  EXPECT_EQ(file.records(), 1u);
  EXPECT_EQ(hooks->operations, 4);
  EXPECT_EQ(file.send("FULLBUILD"), "OFF");
  EXPECT_EQ(file.send("Recover=10"), "");
}

TEST(DataFileOpen, ErrorsOfOpenAndCreate) {
  TempDir dir;
  TableDeclaration declaration = itemDeclaration();
  Item buffer{};
  DataFile file;
  file.declare(declaration, &buffer);

  file.setName(dir.file("missing.dat"));
  EXPECT_EQ(file.open(), 2);
  EXPECT_EQ(file.errorText(), "File Not Found");

  file.setName(dir.file("junk.dat"));
  {
    FILE* f = fopen(dir.file("junk.dat").c_str(), "wb");
    fputs("not a data file at all", f);
    fclose(f);
  }
  EXPECT_EQ(file.open(), 36);
  EXPECT_EQ(file.errorText(), "Invalid Data File");

  file.setName(dir.file("items"));  // gets .DAT
  ASSERT_EQ(file.create(), 0);
  ASSERT_EQ(file.open(), 0);
  ASSERT_EQ(file.close(), 0);
  file.setName(dir.file("items\\!other"));
  EXPECT_EQ(file.open(), 2) << "no table of that name";

  TableDeclaration changed = declaration;
  changed.fields[1].type = FieldType::ULONG;
  DataFile mismatched;
  mismatched.declare(changed, &buffer);
  mismatched.setName(dir.file("items.DAT"));
  EXPECT_EQ(mismatched.open(), 47);
  EXPECT_EQ(mismatched.errorText(), "Invalid Record Declaration");

  // Names and pictures may differ.
  TableDeclaration renamed = declaration;
  renamed.fields[0].name = "NEW:NAME";
  renamed.fields[0].picture = "@s3";
  DataFile tolerant;
  tolerant.declare(renamed, &buffer);
  tolerant.setName(dir.file("items.DAT"));
  EXPECT_EQ(tolerant.open(), 0);

  TableDeclaration arrayKey = declaration;
  arrayKey.fields[1].elements = 2;
  arrayKey.fields[1].size = 4;
  DataFile refused;
  refused.declare(arrayKey, &buffer);
  refused.setName(dir.file("arrays.dat"));
  EXPECT_EQ(refused.create(), 75);
  EXPECT_EQ(refused.errorText(), "Invalid Field Type Descriptor");
}

TEST(DataFileOpen, WithoutADeclarationTheStoredLayoutIsUsed) {
  TempDir dir;
  TableDeclaration declaration = itemDeclaration();
  Item buffer = item("stored", 42, 2.5, "Z");
  DataFile writer;
  writer.declare(declaration, &buffer);
  writer.setName(dir.file("items.dat"));
  ASSERT_EQ(writer.create(), 0);
  ASSERT_EQ(writer.open(), 0);
  ASSERT_EQ(writer.add(), 0);
  ASSERT_EQ(writer.close(), 0);

  DataFile reader;
  reader.setName(dir.file("items.dat"));
  ASSERT_EQ(reader.open(OpenMode{0x40}), 0);
  EXPECT_EQ(reader.declaration().fields.size(), 4u);
  EXPECT_EQ(reader.declaration().keys[CODEKEY].name, "IT:CODEKEY");
  ASSERT_EQ(reader.setKey(NAMEKEY), 0);
  ASSERT_EQ(reader.next(), 0);
  ASSERT_EQ(reader.record().size(), sizeof(Item));
  EXPECT_EQ(std::memcmp(reader.record().data(), &buffer, sizeof(Item)), 0);
}

TEST(DataFileMemo, MemosAreStoredInPiecesAndOnlyChangedPiecesRewritten) {
  TempDir dir;
  TableDeclaration declaration = itemDeclaration();
  declaration.memos = {{"", "IT:NOTES", 600, 0}, {"", "IT:PICTURE", 0, 0x04}};
  Item buffer = item("m", 1);
  DataFile file;
  file.declare(declaration, &buffer);
  file.setName(dir.file("memo.dat"));
  ASSERT_EQ(file.create(), 0);
  ASSERT_EQ(file.open(), 0);

  auto pieces = [&](std::uint32_t record) {
    std::vector<Bytes> out;
    Bytes probe = memoPieceKey(file.tableNumber(), record, 0, 0);
    probe.resize(10);
    TreeRecord r;
    while (file.container()->findFirstGreater(probe, &r) && std::equal(probe.begin(), probe.begin() + 10, r.key().begin())) {
      out.emplace_back(r.payload().begin(), r.payload().end());
      probe.assign(r.key().begin(), r.key().end());
    }
    return out;
  };
  Bytes& notes = file.memo(0);
  ASSERT_EQ(notes.size(), 600u);
  std::fill(notes.begin(), notes.begin() + 256, 'a');
  file.memo(1) = Bytes{0, 1, 2, ' '};
  ASSERT_EQ(file.add(), 0);
  const auto first = file.pointer();
  EXPECT_EQ(pieces(first).size(), 1u) << "256 bytes: one piece";

  notes[256] = 'b';
  ASSERT_EQ(file.put(), 0);
  ASSERT_EQ(pieces(first).size(), 2u) << "257 bytes: two pieces";
  EXPECT_EQ(pieces(first)[1], Bytes{'b'});

  std::fill(notes.begin(), notes.end(), 'z');
  file.memo(1).clear();
  ASSERT_EQ(file.get(first), 0);
  EXPECT_EQ(notes[0], 'a');
  EXPECT_EQ(notes[256], 'b');
  EXPECT_EQ(notes[257], ' ');
  EXPECT_EQ(file.memo(1), (Bytes{0, 1, 2, ' '}));

  notes.assign(600, ' ');
  ASSERT_EQ(file.put(), 0);
  EXPECT_TRUE(pieces(first).empty()) << "an empty memo has no pieces";
  ASSERT_EQ(file.erase(), 0);
  Bytes probe = kindPrefix(file.tableNumber(), RecordKind::MEMO);
  TreeRecord r;
  EXPECT_FALSE(file.container()->findFirstGreater(probe, &r) && hasKindPrefix(r.key(), file.tableNumber(), RecordKind::MEMO));
}

TEST(DataFileOem, TextIsStoredInTheOemSetAndReadBackUnchanged) {
  TempDir dir;
  TableDeclaration declaration = itemDeclaration();
  declaration.oem = true;
  Item buffer = item("caf\xE9", 1, 0, "\xC7");
  const Item written = buffer;
  DataFile file;
  file.declare(declaration, &buffer);
  file.setName(dir.file("oem.dat"));
  ASSERT_EQ(file.create(), 0);
  ASSERT_EQ(file.open(), 0);
  ASSERT_EQ(file.add(), 0);
  TreeRecord stored;
  ASSERT_TRUE(file.container()->find(dataRecordKey(file.tableNumber(), file.pointer()), &stored));
  EXPECT_EQ(stored.payload()[3], 0x82);   // é in the OEM set
  EXPECT_EQ(stored.payload()[20], 0x80);  // Ç
  buffer = item("", 0);
  ASSERT_EQ(file.get(file.pointer()), 0);
  EXPECT_EQ(std::memcmp(&buffer, &written, sizeof(Item)), 0);
  buffer = item("CAF\xC9", 0);  // É: the case-insensitive key finds café
  EXPECT_EQ(file.getByKey(NAMEKEY), 0);
}

}  // namespace
}  // namespace glimra::datafile
