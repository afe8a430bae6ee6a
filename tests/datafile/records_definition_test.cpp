// SPDX-License-Identifier: GPL-3.0-or-later
// The stored forms of a table: the definition stream and its checks, memo
// pieces, the keys of every record kind and the table part of a file name.
#include <gtest/gtest.h>

#include "datafile/definition_stream.h"
#include "datafile/memo_pieces.h"
#include "datafile/record_kinds.h"

namespace glimra::datafile {
namespace {

TableDeclaration sample() {
  TableDeclaration t;
  t.recordLength = 14;
  FieldDeclaration name{FieldType::STRING, 0, "T:NAME", 1, 6, 0, "@s6"};
  FieldDeclaration amount{FieldType::DECIMAL, 6, "T:AMOUNT", 1, 4, 0, "", 2};
  FieldDeclaration count{FieldType::LONG, 10, "T:COUNT", 1, 4};
  t.fields = {name, amount, count};
  t.memos = {MemoDeclaration{"", "T:NOTES", 300, 0}};
  t.keys = {KeyDeclaration{"", "T:NAMEKEY", KeyFlag::DUP | KeyFlag::NOCASE, {{0, false}, {2, true}}}};
  return t;
}

TEST(DefinitionStream, HasTheStoredLayout) {
  const Bytes stream = encodeDefinition(sample());
  const Bytes header = {1, 0, 14, 0, 3, 0, 1, 0, 1, 0};
  ASSERT_GT(stream.size(), header.size());
  EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 10), header);
  // First field: type, offset, "T:NAME\0", elements, size, overlay, number,
  // element length, picture.
  const Bytes field = {18, 0, 0, 'T', ':', 'N', 'A', 'M', 'E', 0, 1, 0, 6, 0, 0, 0, 0, 0, 6, 0, '@', 's', '6', 0};
  EXPECT_EQ(Bytes(stream.begin() + 10, stream.begin() + 10 + field.size()), field);
  // An empty string is 00 00; the key ends with its components.
  const Bytes keyTail = {KeyFlag::DUP | KeyFlag::NOCASE, 2, 0, 0, 0, 0, 0, 2, 0, 1, 0};
  EXPECT_EQ(Bytes(stream.end() - keyTail.size(), stream.end()), keyTail);
}

TEST(DefinitionStream, ReadsBackWhatWasWritten) {
  TableDeclaration t = sample();
  t.memos.push_back(MemoDeclaration{"EXT", "T:BLOB", 0, MEMO_BLOB | MEMO_BINARY});
  const Bytes stream = encodeDefinition(t);
  EXPECT_EQ(stream[0], 2);  // a BLOB makes it version 2
  auto back = decodeDefinition(stream);
  ASSERT_TRUE(back);
  EXPECT_TRUE(sameStructure(*back, t));
  EXPECT_EQ(back->fields[1].decimals, 2);
  EXPECT_EQ(back->fields[0].picture, "@s6");
  EXPECT_EQ(back->keys[0].name, "T:NAMEKEY");
  EXPECT_EQ(back->memos[1].externalName, "EXT");
  // Trailing zero bytes (a piece filled up to 512) change nothing.
  Bytes padded = stream;
  padded.resize(1024, 0);
  EXPECT_TRUE(decodeDefinition(padded));
  // Cut short anywhere, it is refused.
  for (std::size_t n = 0; n < stream.size(); n += 7)
    EXPECT_FALSE(decodeDefinition(ByteView(stream.data(), n))) << n;
}

TEST(DefinitionStream, ComparesOnlyTheStructure) {
  const TableDeclaration base = sample();
  struct Case {
    const char* what;
    void (*change)(TableDeclaration&);
    bool same;
  } cases[] = {
      {"field name", [](TableDeclaration& t) { t.fields[0].name = "X:OTHER"; }, true},
      {"picture", [](TableDeclaration& t) { t.fields[0].picture = "@s2"; }, true},
      {"decimals", [](TableDeclaration& t) { t.fields[1].decimals = 1; }, true},
      {"key name", [](TableDeclaration& t) { t.keys[0].name = "K"; }, true},
      {"primary bit", [](TableDeclaration& t) { t.keys[0].flags |= KeyFlag::PRIMARY; }, true},
      {"field type", [](TableDeclaration& t) { t.fields[2].type = FieldType::ULONG; }, false},
      {"field offset", [](TableDeclaration& t) { t.fields[2].offset = 9; }, false},
      {"field size", [](TableDeclaration& t) { t.fields[0].size = 5; }, false},
      {"overlay", [](TableDeclaration& t) { t.fields[2].overlay = 1; }, false},
      {"record length", [](TableDeclaration& t) { t.recordLength = 15; }, false},
      {"key flags", [](TableDeclaration& t) { t.keys[0].flags &= ~KeyFlag::NOCASE; }, false},
      {"component field", [](TableDeclaration& t) { t.keys[0].components[1].field = 1; }, false},
      {"component direction", [](TableDeclaration& t) { t.keys[0].components[1].descending = false; }, false},
      {"memo size", [](TableDeclaration& t) { t.memos[0].size = 200; }, false},
      {"memo binary", [](TableDeclaration& t) { t.memos[0].flags = MEMO_BINARY; }, false},
      {"extra key", [](TableDeclaration& t) { t.keys.push_back(t.keys[0]); }, false},
  };
  for (const auto& c : cases) {
    TableDeclaration changed = base;
    c.change(changed);
    EXPECT_EQ(sameStructure(base, changed), c.same) << c.what;
  }
}

TEST(DefinitionStream, RefusesUnusableDeclarations) {
  EXPECT_EQ(validateDeclaration(sample()), 0);
  struct Case {
    const char* what;
    void (*change)(TableDeclaration&);
    int error;
  } cases[] = {
      {"array component", [](TableDeclaration& t) { t.fields[2].elements = 2; t.fields[2].size = 4; }, 75},
      {"field past the record", [](TableDeclaration& t) { t.fields[2].offset = 12; }, 47},
      {"key over a missing field", [](TableDeclaration& t) { t.keys[0].components[0].field = 9; }, 47},
      {"memo over 64000", [](TableDeclaration& t) { t.memos[0].size = 64001; }, 47},
      {"record too long", [](TableDeclaration& t) { t.recordLength = 15085; }, 47},
      {"no record", [](TableDeclaration& t) { t.recordLength = 0; t.fields.clear(); t.keys.clear(); }, 47},
  };
  for (const auto& c : cases) {
    TableDeclaration changed = sample();
    c.change(changed);
    EXPECT_EQ(validateDeclaration(changed), c.error) << c.what;
  }
}

TEST(MemoPieces, TextIsCutIn256BytePiecesWithoutTrailingSpaces) {
  const MemoDeclaration memo{"", "M", 600, 0};
  auto pieces = [&](std::size_t length) {
    Bytes value(length, 'x');
    value.resize(600, ' ');
    return cutMemo(memo, value);
  };
  EXPECT_TRUE(pieces(0).empty());
  ASSERT_EQ(pieces(256).size(), 1u);
  EXPECT_EQ(pieces(256)[0].size(), 256u);
  ASSERT_EQ(pieces(257).size(), 2u);
  EXPECT_EQ(pieces(257)[1], Bytes{'x'});
  // Joined back, the memo is filled with spaces to its size.
  const Bytes back = joinMemo(memo, pieces(257));
  ASSERT_EQ(back.size(), 600u);
  EXPECT_EQ(back[256], 'x');
  EXPECT_EQ(back[257], ' ');
}

TEST(MemoPieces, ABlobKeepsItsBytesAndLength) {
  const MemoDeclaration blob{"", "B", 0, MEMO_BLOB};
  Bytes value(300, ' ');
  value[0] = 0;
  const auto pieces = cutMemo(blob, value);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].size(), 4u + 256u);
  EXPECT_EQ(Bytes(pieces[0].begin(), pieces[0].begin() + 4), (Bytes{0x2C, 0x01, 0, 0}));
  EXPECT_EQ(joinMemo(blob, pieces), value);
}

TEST(RecordKinds, KeysOfEveryKind) {
  EXPECT_EQ(dataRecordKey(0x01020304, 0x0A0B0C0D), (Bytes{1, 2, 3, 4, 0xF3, 0x0A, 0x0B, 0x0C, 0x0D}));
  EXPECT_EQ(counterKey(5, RecordKind::DATA), (Bytes{0, 0, 0, 5, 0xF6, 0xF3}));
  EXPECT_EQ(definitionPieceKey(5, 0x0102), (Bytes{0, 0, 0, 5, 0xFA, 0x02, 0x01}));
  EXPECT_EQ(characterTablesKey(5), (Bytes{0, 0, 0, 5, 0xFB, 0x01}));
  EXPECT_EQ(memoPieceKey(5, 9, 1, 0x0102), (Bytes{0, 0, 0, 5, 0xFC, 0, 0, 0, 9, 1, 0x01, 0x02}));
  EXPECT_EQ(tableNameKey("AB"), (Bytes{0xFE, 'A', 'B'}));
  EXPECT_EQ((Counter{3, 0x01020304}.payload()), (Bytes{3, 0, 0, 0, 4, 3, 2, 1}));
}

TEST(RecordKinds, FileNamesSelectATable) {
  struct Case {
    const char* name;
    const char* path;
    const char* table;
  } cases[] = {
      {"/x/GLIMRA.GLM", "/x/GLIMRA.GLM", "UNNAMED"},
      {"/x/stock", "/x/stock.DAT", "UNNAMED"},
      {"/x.dir/stock\\!Orders", "/x.dir/stock.DAT", "ORDERS"},
      {"a.col\\!t", "a.col", "T"},
  };
  for (const auto& c : cases) {
    const TableAddress a = TableAddress::parse(c.name);
    EXPECT_EQ(a.path, c.path) << c.name;
    EXPECT_EQ(a.table, c.table) << c.name;
  }
}

}  // namespace
}  // namespace glimra::datafile
