// SPDX-License-Identifier: GPL-3.0-or-later
// Small tables for the record layer's tests: a temporary directory, a record
// of a few fields with keys of every sort, and helpers to fill and walk it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "temp_dir.h"

namespace glimra::datafile::testing {

#pragma pack(push, 1)
struct Item {
  char name[8];
  std::int32_t number;
  double amount;
  char code[4];
};
#pragma pack(pop)

enum ItemKey : std::size_t { NAMEKEY = 0, NUMBERKEY, AMOUNTKEY, CODEKEY, CODEUNIQUE };

// NAMEKEY: name, case-insensitive, duplicates. NUMBERKEY: number, unique.
// AMOUNTKEY: amount descending, duplicates. CODEKEY: code, duplicates, left
// out when blank. CODEUNIQUE: code, case-insensitive and unique, left out when
// blank.
inline TableDeclaration itemDeclaration() {
  TableDeclaration t;
  t.label = "ITEM";
  t.recordLength = sizeof(Item);
  t.fields = {
      {FieldType::STRING, 0, "IT:NAME", 1, 8, 0, "@s8"},
      {FieldType::LONG, 8, "IT:NUMBER", 1, 4},
      {FieldType::REAL, 12, "IT:AMOUNT", 1, 8},
      {FieldType::STRING, 20, "IT:CODE", 1, 4, 0, "@s4"},
  };
  t.keys = {
      {"", "IT:NAMEKEY", KeyFlag::DUP | KeyFlag::NOCASE, {{0, false}}},
      {"", "IT:NUMBERKEY", 0, {{1, false}}},
      {"", "IT:AMOUNTKEY", KeyFlag::DUP, {{2, true}}},
      {"", "IT:CODEKEY", KeyFlag::DUP | KeyFlag::OPT, {{3, false}}},
      {"", "IT:CODEUNIQUE", KeyFlag::NOCASE | KeyFlag::OPT, {{3, false}}},
  };
  return t;
}

inline void fill(char* field, std::size_t size, const std::string& text) {
  std::memset(field, ' ', size);
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

inline Item item(const std::string& name, std::int32_t number, double amount = 0, const std::string& code = "") {
  Item it;
  fill(it.name, sizeof it.name, name);
  it.number = number;
  it.amount = amount;
  fill(it.code, sizeof it.code, code);
  return it;
}

inline std::string trimmed(const char* field, std::size_t size) {
  std::string s(field, size);
  return s.erase(s.find_last_not_of(' ') + 1);
}

// Walks a key (or record order when key is npos) to its end; the record
// numbers in the order met.
inline std::vector<std::uint32_t> walk(DataFile& file, std::size_t key, bool forward = true) {
  std::vector<std::uint32_t> seen;
  EXPECT_EQ(key == std::size_t(-1) ? file.setFile() : file.setKey(key), 0);
  while ((forward ? file.next() : file.previous()) == 0) seen.push_back(file.pointer());
  EXPECT_EQ(file.errorCode(), 33) << file.errorText();
  return seen;
}

constexpr std::size_t RECORD_ORDER = std::size_t(-1);

}  // namespace glimra::datafile::testing
