// SPDX-License-Identifier: GPL-3.0-or-later
// Key values: each field type's encoding, the order it gives, case folding,
// collating weights, OEM text, descending components and the entry layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datafile/character_tables.h"
#include "datafile/key_encoding.h"

namespace glimra::datafile {
namespace {

template <class T>
Bytes encode(FieldType type, T value, bool descending = false) {
  std::uint8_t raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  Bytes out(sizeof(T));
  encodeComponent(type, raw, sizeof(T), descending, false, CharacterTables::defaults(), out.data());
  return out;
}

Bytes encodeText(FieldType type, std::string value, bool caseInsensitive = false, bool descending = false,
                 const CharacterTables& tables = CharacterTables::defaults()) {
  Bytes out(value.size());
  encodeComponent(type, reinterpret_cast<const std::uint8_t*>(value.data()), value.size(), descending,
                  caseInsensitive, tables, out.data());
  return out;
}

TEST(KeyEncoding, IntegersBecomeBigEndianWithTheSignFlipped) {
  struct Case {
    const char* what;
    Bytes got;
    Bytes want;
  } cases[] = {
      {"LONG -1", encode(FieldType::LONG, std::int32_t{-1}), {0x7F, 0xFF, 0xFF, 0xFF}},
      {"LONG 0", encode(FieldType::LONG, std::int32_t{0}), {0x80, 0x00, 0x00, 0x00}},
      {"LONG 258", encode(FieldType::LONG, std::int32_t{258}), {0x80, 0x00, 0x01, 0x02}},
      {"SHORT -2", encode(FieldType::SHORT, std::int16_t{-2}), {0x7F, 0xFE}},
      {"USHORT 258", encode(FieldType::USHORT, std::uint16_t{258}), {0x01, 0x02}},
      {"ULONG 0x80000001", encode(FieldType::ULONG, std::uint32_t{0x80000001}), {0x80, 0x00, 0x00, 0x01}},
      {"DATE 78500", encode(FieldType::DATE, std::int32_t{78500}), {0x00, 0x01, 0x32, 0xA4}},
      {"TIME 1", encode(FieldType::TIME, std::int32_t{1}), {0x00, 0x00, 0x00, 0x01}},
      {"BYTE 200", encode(FieldType::BYTE, std::uint8_t{200}), {200}},
      {"LONG 0 descending", encode(FieldType::LONG, std::int32_t{0}, true), {0x7F, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

// Encoded values must sort like the numbers, and the other way round when the
// component is descending.
template <class T>
void expectOrder(FieldType type, const std::vector<T>& ascending) {
  for (std::size_t i = 1; i < ascending.size(); ++i) {
    EXPECT_LT(encode(type, ascending[i - 1]), encode(type, ascending[i])) << ascending[i - 1] << " < " << ascending[i];
    EXPECT_GT(encode(type, ascending[i - 1], true), encode(type, ascending[i], true))
        << ascending[i - 1] << " descending";
  }
}

TEST(KeyEncoding, NumbersSortInNumericOrderBothWays) {
  expectOrder<double>(FieldType::REAL, {-1e300, -2.0, -1.0, -0.5, 0.0, 1e-300, 1.0, 2.0, 1e300});
  expectOrder<float>(FieldType::SREAL, {-3.5f, -1.0f, 0.0f, 0.25f, 7.0f});
  expectOrder<std::int32_t>(FieldType::LONG, {INT32_MIN, -70000, -1, 0, 1, 70000, INT32_MAX});
  expectOrder<std::int16_t>(FieldType::SHORT, {-32768, -1, 0, 1, 32767});
  expectOrder<std::uint32_t>(FieldType::ULONG, {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu});
}

TEST(KeyEncoding, PackedDecimalsSortByValue) {
  // Three-byte packed decimals, sign in the first nibble: -12.5, -1.0, 0, 1.0, 12.5
  // with one decimal place: F0 01 25 / F0 00 10 / 00 00 00 / 00 00 10 / 00 01 25.
  const std::vector<Bytes> ascending = {
      {0xF0, 0x01, 0x25}, {0xF0, 0x00, 0x10}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x10}, {0x00, 0x01, 0x25}};
  auto enc = [](const Bytes& v, bool descending) {
    Bytes out(v.size());
    encodeComponent(FieldType::DECIMAL, v.data(), v.size(), descending, false, CharacterTables::defaults(),
                    out.data());
    return out;
  };
  for (std::size_t i = 1; i < ascending.size(); ++i) {
    EXPECT_LT(enc(ascending[i - 1], false), enc(ascending[i], false)) << i;
    EXPECT_GT(enc(ascending[i - 1], true), enc(ascending[i], true)) << i;
  }
  EXPECT_EQ(enc({0x00, 0x00, 0x10}, false), (Bytes{0x80, 0x00, 0x10}));
}

TEST(KeyEncoding, TextTypesCopyTheirCharactersAndPadWithZeros) {
  EXPECT_EQ(encodeText(FieldType::STRING, "ab  "), (Bytes{'a', 'b', ' ', ' '}));
  EXPECT_EQ(encodeText(FieldType::CSTRING, std::string("ab\0xy", 5)), (Bytes{'a', 'b', 0, 0, 0}));
  EXPECT_EQ(encodeText(FieldType::PSTRING, std::string("\x02" "abzz", 5)), (Bytes{'a', 'b', 0, 0, 0}));
  // A length byte beyond the field is cut to the field.
  EXPECT_EQ(encodeText(FieldType::PSTRING, std::string("\x09" "abc", 4)), (Bytes{'a', 'b', 'c', 0}));
  EXPECT_EQ(encodeText(FieldType::STRING, "ab", false, true), (Bytes{0x9E, 0x9D}));
}

TEST(KeyEncoding, CaseInsensitiveKeysFoldWindowsLettersToUpperCase) {
  EXPECT_EQ(encodeText(FieldType::STRING, "abc", true), encodeText(FieldType::STRING, "ABC", true));
  EXPECT_NE(encodeText(FieldType::STRING, "abc", false), encodeText(FieldType::STRING, "ABC", false));
  // é -> É, š -> Š, ÿ -> Ÿ; the division sign and digits stay.
  EXPECT_EQ(encodeText(FieldType::STRING, "\xE9\x9A\xFF\xF7" "1", true), (Bytes{0xC9, 0x8A, 0x9F, 0xF7, '1'}));
}

TEST(KeyEncoding, TextIsMappedThroughTheFilesCollatingWeights) {
  CharacterTables tables = CharacterTables::defaults();
  tables.windowsWeights['b'] = 'a';  // b sorts as a
  EXPECT_EQ(encodeText(FieldType::STRING, "b", false, false, tables), (Bytes{'a'}));
  tables.oem = true;
  tables.oemWeights[0x82] = 0x01;  // the OEM é
  EXPECT_EQ(encodeText(FieldType::STRING, "\xE9", false, false, tables), (Bytes{0x01}));
}

TEST(CharacterSets, OemConversionRoundTripsEveryByte) {
  bool seen[256] = {};
  for (int c = 0; c < 256; ++c) {
    const std::uint8_t oem = windowsToOem(static_cast<std::uint8_t>(c));
    EXPECT_FALSE(seen[oem]) << "two characters map to " << int(oem);
    seen[oem] = true;
    EXPECT_EQ(oemToWindows(oem), c);
  }
  EXPECT_EQ(windowsToOem(0xE9), 0x82);  // é
  EXPECT_EQ(windowsToOem(0xC7), 0x80);  // Ç
  EXPECT_EQ(windowsToOem(0xA3), 0x9C);  // £
  EXPECT_EQ(windowsToOem('A'), 'A');
}

TEST(CharacterSets, TablesSurviveTheirStoredForm) {
  CharacterTables tables = CharacterTables::defaults();
  tables.oem = true;
  tables.windowsWeights[7] = 99;
  const std::string stored = tables.serialize();
  ASSERT_EQ(stored.size(), 1 + CharacterTables::STORED_SIZE);
  CharacterTables back;
  ASSERT_TRUE(back.parse(std::span(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size())));
  EXPECT_EQ(back, tables);
  EXPECT_FALSE(back.parse(std::span(reinterpret_cast<const std::uint8_t*>(stored.data()), 100)));
}

TEST(KeyEntries, DuplicatesCarryTheRecordNumberInTheKeyUniqueKeysInThePayload) {
  TableDeclaration table;
  table.recordLength = 8;
  FieldDeclaration name;
  name.type = FieldType::STRING;
  name.size = 4;
  FieldDeclaration number;
  number.type = FieldType::LONG;
  number.offset = 4;
  number.size = 4;
  table.fields = {name, number};
  KeyDeclaration unique{"", "U", 0, {{0, false}, {1, true}}};
  KeyDeclaration dup{"", "D", KeyFlag::DUP | KeyFlag::OPT, {{0, false}}};
  table.keys = {unique, dup};
  const CharacterTables tables = CharacterTables::defaults();
  KeyEncoder encoder(table, tables);
  std::uint8_t image[8] = {'a', 'b', ' ', ' ', 0, 0, 0, 0};

  const auto u = encoder.entry(0x01020304, 0, image, 7);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->keyLength, 5 + 4 + 4);
  EXPECT_EQ(u->bytes, (Bytes{1, 2, 3, 4, 0, 'a', 'b', ' ', ' ', 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 7}));
  const auto d = encoder.entry(0x01020304, 1, image, 7);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->keyLength, d->bytes.size());
  EXPECT_EQ(entryRecordNumber(*d), 7u);

  std::memset(image, ' ', 4);  // an all-space value leaves the OPT key out
  EXPECT_FALSE(encoder.entry(1, 1, image, 7));
  EXPECT_TRUE(encoder.entry(1, 0, image, 7));
}

TEST(KeyEntries, EmptyValuesByType) {
  const std::uint8_t spaces[3] = {' ', ' ', ' '};
  const std::uint8_t zeros[3] = {0, 0, 0};
  const std::uint8_t cstring[3] = {0, 'x', 'y'};
  EXPECT_TRUE(isEmptyValue(FieldType::STRING, spaces, 3));
  EXPECT_FALSE(isEmptyValue(FieldType::STRING, zeros, 3));
  EXPECT_TRUE(isEmptyValue(FieldType::GROUP, spaces, 3));
  EXPECT_TRUE(isEmptyValue(FieldType::CSTRING, cstring, 3));
  EXPECT_TRUE(isEmptyValue(FieldType::PSTRING, cstring, 3));
  EXPECT_TRUE(isEmptyValue(FieldType::LONG, zeros, 3));
  EXPECT_FALSE(isEmptyValue(FieldType::LONG, spaces, 3));
}

}  // namespace
}  // namespace glimra::datafile
